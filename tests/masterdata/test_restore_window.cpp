#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "app/current_operator.h"
#include "app/main_window.h"
#include "core/clock.h"
#include "customers/customer_store.h"
#include "data/backup.h"
#include "data/database.h"
#include "masterdata/restore_window.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

RestoreWindow* Open() {
    auto* window = ui::WindowHost::instance<RestoreWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    return window;
}

void ClickRow(ui::Grid* grid, int row) {
    const QPoint centre = grid->visualRect(grid->gridModel()->index(row, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

QWidget* OpenWindow(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool HasCustomer(const QString& key) {
    const auto customer = FindCustomerByKey(key);
    return customer.ok() && customer->has_value();
}

}  // namespace

class TestRestoreWindow : public WindowTest {
    Q_OBJECT

    QString backupOf(const QDate& day) const {
        return db_->dir() + QLatin1Char('/') + BackupFileName(day);
    }

private Q_SLOTS:
    // The deleted customer comes back, what it replaced is kept, and everyone logs in again.
    void restoreBringsBackADeletedCustomer() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString yesterday = backupOf(Today().addDays(-1));
        QVERIFY(CopyDatabaseFile(db_->filePath(), yesterday).ok());
        QVERIFY(RemoveCustomer(QStringLiteral("{C1}")).ok());
        SetCurrentOperator(QStringLiteral("小李"));
        auto* main = new MainWindow;
        main->show();

        RestoreWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("frmRestore"));
        ui::Grid* grid = window->grid1;
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->cellText(0, 1), QStringLiteral("备份日期"));
        QCOMPARE(grid->cellText(1, 0), yesterday);
        QCOMPARE(grid->cellText(1, 1), Today().addDays(-1).toString(Qt::ISODate));
        QVERIFY(grid->cellText(1, 2).endsWith(QLatin1String("KB")));
        QCOMPARE(grid->cellText(1, 3), QStringLiteral("每日备份"));
        ClickRow(grid, 1);

        const QString safety = db_->dir() + QLatin1Char('/') + SafetyCopyName(Now());
        MessageScript messages;
        messages
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("当前数据将被所选备份替换（恢复前会先另存一份），"
                                   "恢复后需要重新登录。是否恢复？"),
                    MessageScript::Icon::Question, MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("数据恢复成功，恢复前的数据已备份到:%1\n请重新登录。")
                        .arg(QDir::toNativeSeparators(safety)),
                    MessageScript::Icon::Information);
        QPointer<MainWindow> mainOpen(main);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(CheckDatabaseFile(safety), QString());
        QVERIFY(OpenWindow(QStringLiteral("Form9")));
        QVERIFY(!mainOpen);
        QVERIFY(!OpenWindow(QStringLiteral("frmRestore")));
        QCOMPARE(CurrentOperator(), QString());

        // The safety copy is offered next time, newest first.
        RestoreWindow* again = Open();
        QCOMPARE(again->grid1->rows(), 3);
        QCOMPARE(again->grid1->cellText(1, 0), safety);
        QCOMPARE(again->grid1->cellText(1, 3), QStringLiteral("恢复前的数据"));
    }

    void restoreNeedsAChoiceAndAYes() {
        QVERIFY(CopyDatabaseFile(db_->filePath(), backupOf(Today())).ok());
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        RestoreWindow* window = Open();
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("请选择要恢复的备份！"),
                        MessageScript::Icon::Stop);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        ClickRow(window->grid1, 1);
        messages.expect(QStringLiteral("当前数据将被所选备份替换（恢复前会先另存一份），"
                                       "恢复后需要重新登录。是否恢复？"),
                        MessageScript::Answer::Cancel);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(window->isVisible());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
    }

    // A damaged backup is refused; the database in use and the windows stay as they were.
    void aDamagedBackupChangesNothing() {
        {
            QFile file(backupOf(Today()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, 'x'));
        }
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        RestoreWindow* window = Open();
        ClickRow(window->grid1, 1);
        QList<ui::MessageBox::Message> shown;
        const ui::MessageBox::Handler previous =
            ui::MessageBox::setScriptHandler([&shown](const ui::MessageBox::Message& message) {
                shown << message;
                return ui::MessageBox::Answer::Ok;
            });
        window->Command1->click();
        ui::MessageBox::setScriptHandler(previous);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].icon, ui::MessageBox::Icon::Stop);
        QVERIFY2(shown[1].text.startsWith(QStringLiteral("数据恢复失败：所选备份文件不能使用：")),
                 qPrintable(shown[1].text));
        QVERIFY(window->isVisible());
        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
    }

    // A damaged database in use does not stop the restore: it is kept as it was on disk.
    void restoreOverADamagedDatabase() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QVERIFY(CopyDatabaseFile(db_->filePath(), backupOf(Today().addDays(-1))).ok());
        QVERIFY(db_->damageButKeepOpenable());
        Database::Close();
        const QByteArray damaged = Bytes(db_->filePath());
        QVERIFY(Database::Open(db_->dir()).ok);

        RestoreWindow* window = Open();
        ClickRow(window->grid1, 1);
        const QString kept = db_->dir() + QLatin1Char('/') + DamagedCopyName(Now());
        MessageScript messages;
        messages
            .expect(QStringLiteral("当前数据将被所选备份替换（恢复前会先另存一份），"
                                   "恢复后需要重新登录。是否恢复？"),
                    MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("数据恢复成功。恢复前的数据库文件已损坏，已原样保留为:%1\n"
                                   "请重新登录。")
                        .arg(QDir::toNativeSeparators(kept)),
                    MessageScript::Icon::Information);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt(), 1);
        QCOMPARE(Bytes(kept), damaged);
        QVERIFY(OpenWindow(QStringLiteral("Form9")));
        // The damaged file is not offered as a backup.
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
    }

    void showsTheSpaceBackupsTake() {
        const QDateTime first(QDate(2026, 1, 1), QTime(9, 0));
        for (int i = 0; i < 2; ++i) {
            WriteFile(db_->dir() + QLatin1Char('/') + SafetyCopyName(first.addDays(i)),
                      QByteArray(3 * 1024 * 1024, 's'));
        }
        for (int i = 1; i <= 3; ++i) {
            WriteFile(backupOf(Today().addDays(-i)), QByteArray(512 * 1024, 'd'));
        }
        RestoreWindow* window = Open();
        QCOMPARE(window->grid1->rows(), 6);
        QCOMPARE(window->Label2->text(), QStringLiteral("备份共占用 7.5 MB\n每日备份 3 个，1.5 MB；"
                                                        "恢复前的数据 2 个，6.0 MB"));
    }
};

QTEST_MAIN(TestRestoreWindow)
#include "test_restore_window.moc"
