#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include "app/start_up.h"
#include "core/clock.h"
#include "customers/customer_store.h"
#include "data/database.h"
#include "data/pg_connection.h"
#include "data/server_backup.h"
#include "masterdata/background_backup.h"
#include "masterdata/backup_window.h"
#include "masterdata/restore_window.h"
#include "session/current_operator.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

template <class Window>
Window* Open() {
    auto* window = ui::WindowHost::instance<Window>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    return window;
}

void ClickRow(ui::Grid* grid, int row) {
    const QPoint centre = grid->visualRect(grid->gridModel()->index(row, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

bool Visible(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name && window->isVisible()) {
            return true;
        }
    }
    return false;
}

bool HasCustomer(const QString& key) {
    const auto customer = FindCustomerByKey(key);
    return customer.ok() && customer->has_value();
}

const QString kConfirm = QStringLiteral(
    "当前数据将被所选备份替换（恢复前会先另存一份），恢复后需要重新登录。是否恢复？");

}  // namespace

// The backup and restore windows on a shop whose database is on a server.
class TestServerBackupWindow : public WindowTest {
    Q_OBJECT

    QString inDataFolder(const QString& name) const {
        return QDir::toNativeSeparators(db_->dir() + QLatin1Char('/') + name);
    }

    // Removes C1, which the day's dump holds.
    void dumpAndRemoveACustomer() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        BackupWindow* backup = Open<BackupWindow>();
        MessageScript messages;
        messages.expect(QStringLiteral("提示！"),
                        QStringLiteral("数据备份成功，备份文件路径:") +
                            inDataFolder(BackupFileName(Today(), BackupKind::Dump)),
                        MessageScript::Icon::Information);
        QTest::mouseClick(backup->Command1, Qt::LeftButton);
        VERIFY_MESSAGES(messages);
        backup->close();
        QVERIFY(RemoveCustomer(QStringLiteral("{C1}")).ok());
    }

private Q_SLOTS:
    void initTestCase() {
        if (!TestDatabase::onServer()) {
            QSKIP("drives the windows against a server: run with RUVASO_TEST_ENGINE=postgres");
        }
        WindowTest::initTestCase();
        // The shell's answer to a restore, as the program's start sets it.
        SetSessionEndHandler(&LogInAgain);
    }

    void theDayDumpIsListedAndRestored() {
        dumpAndRemoveACustomer();
        RestoreWindow* window = Open<RestoreWindow>();
        ui::Grid* grid = window->grid1;
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->cellText(1, 0),
                 db_->dir() + QLatin1Char('/') + BackupFileName(Today(), BackupKind::Dump));
        QCOMPARE(grid->cellText(1, 3), QStringLiteral("每日备份"));
        ClickRow(grid, 1);

        MessageScript messages;
        messages.expect(kConfirm, MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("数据恢复成功，恢复前的数据已备份到:%1\n请重新登录。")
                        .arg(inDataFolder(SafetyCopyName(Now(), BackupKind::Dump))),
                    MessageScript::Icon::Information);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        VERIFY_MESSAGES(messages);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QVERIFY(Visible(QStringLiteral("Form9")));
        QVERIFY(!Visible(QStringLiteral("frmRestore")));
    }

    // What the start hands the day's work to: on a server it dumps, says nothing when all went
    // well, and starts no check of a file.
    void theStartOfADayDumpsInTheBackground() {
        StartOfDayWork work(db_->dir(), {});
        work.waitForBackup();
        QVERIFY(work.backup()->outcome().daily.ok());
        QCOMPARE(ListBackups(db_->dir(), BackupKind::Dump).size(), 1);
        QVERIFY(!work.check());
    }

    // Another station keeps the restore from starting; the window stays, and so does the data.
    void anotherStationIsNamedAndNothingChanges() {
        dumpAndRemoveACustomer();
        PgConnection station(Database::Server()->uri());
        QVERIFY2(station.ok(), qPrintable(station.error()));
        RestoreWindow* window = Open<RestoreWindow>();
        ClickRow(window->grid1, 1);

        QList<ui::MessageBox::Message> shown;
        const ui::MessageBox::Handler previous =
            ui::MessageBox::setScriptHandler([&shown](const ui::MessageBox::Message& message) {
                shown << message;
                return ui::MessageBox::Answer::Ok;
            });
        QTest::keyClick(window->Command1, Qt::Key_Space);
        ui::MessageBox::setScriptHandler(previous);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, kConfirm);
        QCOMPARE(shown[1].icon, ui::MessageBox::Icon::Stop);
        QVERIFY2(shown[1].text.startsWith(
                     QStringLiteral("数据恢复失败：还有其他工作站连接着数据库：\n本机（ruvaso，")),
                 qPrintable(shown[1].text));
        QVERIFY(window->isVisible());
        QVERIFY(Database::IsOpen());
        QVERIFY(!HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(window->grid1->rows(), 2);
        QCOMPARE(ListBackups(db_->dir(), BackupKind::Dump).size(), 1);
    }
};

QTEST_MAIN(TestServerBackupWindow)
#include "test_server_backup_window.moc"
