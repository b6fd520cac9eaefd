#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "core/clock.h"
#include "data/backup.h"
#include "data/database.h"
#include "masterdata/recovery_window.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ClickRow(ui::Grid* grid, int row) {
    const QPoint centre = grid->visualRect(grid->gridModel()->index(row, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

}  // namespace

class TestRecoveryWindow : public WindowTest {
    Q_OBJECT

    QString backup_;
    QByteArray damaged_;

    // Two sound backups, then a database file that does not open.
    RecoveryWindow* openOverDamagedFile() {
        backup_ = db_->dir() + QLatin1Char('/') + BackupFileName(Today().addDays(-1));
        CopyDatabaseFile(db_->filePath(), backup_);
        CopyDatabaseFile(db_->filePath(),
                         db_->dir() + QLatin1Char('/') + BackupFileName(Today().addDays(-3)));
        Database::Close();
        QFile live(db_->filePath());
        live.open(QIODevice::ReadWrite);
        live.write(QByteArray(100, 'x'));
        live.close();
        damaged_ = Bytes(db_->filePath());
        Recovery recovery;
        recovery.dataDir = db_->dir();
        recovery.problem = Database::Open(db_->dir()).message;
        recovery.backups = UsableBackups(db_->dir());
        auto* window = ui::WindowHost::instance<RecoveryWindow>();
        window->load(recovery);
        ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
        return window;
    }

    // Nothing happened: the damaged file is as it was and nothing was kept beside it.
    void verifyUntouched(RecoveryWindow* window) {
        QVERIFY(window->isVisible());
        QVERIFY(!Database::IsOpen());
        QCOMPARE(Bytes(db_->filePath()), damaged_);
        QVERIFY(!QFileInfo::exists(db_->dir() + QLatin1Char('/') + DamagedCopyName(Now())));
        QVERIFY(!QFileInfo::exists(db_->filePath() + QStringLiteral(".restore")));
    }

private Q_SLOTS:
    void listsNewestFirstAndNeedsAChoiceAndAYes() {
        RecoveryWindow* window = openOverDamagedFile();
        QSignalSpy recovered(window, &RecoveryWindow::recovered);
        QCOMPARE(window->grid1->rows(), 3);
        QCOMPARE(window->grid1->cellText(1, 0), backup_);
        QCOMPARE(window->grid1->cellText(2, 1), Today().addDays(-3).toString(Qt::ISODate));
        QCOMPARE(window->grid1->cellText(2, 3), QStringLiteral("每日备份"));

        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("请选择要恢复的备份！"),
                        MessageScript::Icon::Stop);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        ClickRow(window->grid1, 2);
        messages.expect(QStringLiteral("将用 %1 的备份替换已损坏的数据库文件。是否恢复？")
                            .arg(Today().addDays(-3).toString(Qt::ISODate)),
                        MessageScript::Answer::Cancel);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        verifyUntouched(window);
        QCOMPARE(recovered.count(), 0);

        window->Command2->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(recovered.count(), 0);
    }

    // A backup that went bad after the list was made is refused; the damaged file stays.
    void aBackupThatWentBadChangesNothing() {
        RecoveryWindow* window = openOverDamagedFile();
        QSignalSpy recovered(window, &RecoveryWindow::recovered);
        {
            QFile file(backup_);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(2048));
        }
        ClickRow(window->grid1, 1);
        MessageScript messages;
        messages.expect(QStringLiteral("将用 %1 的备份替换已损坏的数据库文件。是否恢复？")
                            .arg(Today().addDays(-1).toString(Qt::ISODate)),
                        MessageScript::Answer::Ok);
        window->Command1->click();
        QVERIFY(messages.allShown());
        const QList<ui::MessageBox::Message> all = messages.shown();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[1].icon, ui::MessageBox::Icon::Stop);
        QVERIFY2(all[1].text.startsWith(QStringLiteral("数据恢复失败：所选备份文件不能使用：")),
                 qPrintable(all[1].text));
        messages.takeProblems();
        verifyUntouched(window);
        QCOMPARE(recovered.count(), 0);
    }
};

QTEST_MAIN(TestRecoveryWindow)
#include "test_recovery_window.moc"
