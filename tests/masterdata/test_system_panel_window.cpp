#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <cstring>

#include "app/main_window.h"
#include "core/clock.h"
#include "data/backup.h"
#include "masterdata/backup_window.h"
#include "masterdata/password_change_window.h"
#include "masterdata/system_panel_window.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "ui/link_label.h"
#include "ui/window_host.h"

namespace {

SystemPanelWindow* Open() {
    auto* window = ui::WindowHost::instance<SystemPanelWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    return window;
}

// "数据备份" opens its window; its first button backs up.
void BackUp(SystemPanelWindow* panel) {
    panel->Picture30->click();
    auto* window = ui::WindowHost::find<BackupWindow>();
    QVERIFY(window && window->isVisible());
    window->Command1->click();
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestSystemPanelWindow : public WindowTest {
    Q_OBJECT

    QString todaysBackup() const { return db_->dir() + QLatin1Char('/') + BackupFileName(Today()); }

private Q_SLOTS:
    void theMainWindowOpensThePanel() {
        auto* main = new MainWindow;
        main->show();
        QVERIFY(main->Label2->isEnabled());
        QCOMPARE(main->Label2->text(), QStringLiteral("系统管理"));
        main->Label2_Click();
        auto* panel = ui::WindowHost::find<SystemPanelWindow>();
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->objectName(), QStringLiteral("Form5"));
        QCOMPARE(panel->windowTitle(), QStringLiteral("系统管理"));
        QVERIFY(!panel->isModal());
    }

    // Each picture opens its window, not modally; the captions only name them.
    void entriesOpenTheirWindows_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("opens");
        QTest::newRow("technicians") << "Picture2"
                                     << "Label2"
                                     << "维修技师"
                                     << "Form24";
        QTest::newRow("add operator") << "Picture21"
                                      << "Label11"
                                      << "用户添加"
                                      << "Form11";
        QTest::newRow("price list") << "Picture22"
                                    << "Label21"
                                    << "维修项目"
                                    << "Form7";
        QTest::newRow("password") << "Picture29"
                                  << "Label30"
                                  << "密码修改"
                                  << "Form10";
        QTest::newRow("plate prefix") << "Picture60"
                                      << "Label56"
                                      << "车牌前缀"
                                      << "Form6";
        QTest::newRow("backup") << "Picture30"
                                << "Label37"
                                << "数据备份"
                                << "frmBackup";
        QTest::newRow("restore") << "restorePicture"
                                 << "restoreLabel"
                                 << "数据恢复"
                                 << "frmRestore";
        QTest::newRow("shop profile") << "shopPicture"
                                      << "shopLabel"
                                      << "店铺信息"
                                      << "frmShopProfile";
        QTest::newRow("database connection") << "connectionPicture"
                                             << "connectionLabel"
                                             << "数据库连接"
                                             << "frmDatabaseConnection";
        QTest::newRow("operators") << "operatorsPicture"
                                   << "operatorsLabel"
                                   << "用户管理"
                                   << "frmOperators";
    }
    void entriesOpenTheirWindows() {
        QFETCH(QString, picture);
        QFETCH(QString, label);
        QFETCH(QString, caption);
        QFETCH(QString, opens);
        SystemPanelWindow* panel = Open();
        auto* button = panel->findChild<QToolButton*>(picture);
        auto* text = panel->findChild<QLabel*>(label);
        QVERIFY(button && text);
        QCOMPARE(text->text(), caption);
        QCOMPARE(text->buddy(), button);
        QVERIFY(button->isEnabled());
        QVERIFY(!button->icon().isNull());
        QTest::mouseClick(text, Qt::LeftButton);
        QVERIFY(!ui::WindowHost::findNamed(opens));
        button->click();
        QWidget* window = ui::WindowHost::findNamed(opens);
        QVERIFY(window && window->isVisible());
        QVERIFY(!window->isModal());
        // A second click raises the same window.
        button->click();
        QCOMPARE(ui::WindowHost::findNamed(opens), window);
    }

    // A clerk sees the administrator's entries unavailable, with the reason as their tip, and
    // cannot open them even by the handler; an administrator sees every entry available.
    void aClerkSeesWhatIsNotTheirs_data() {
        QTest::addColumn<bool>("clerk");
        QTest::newRow("clerk") << true;
        QTest::newRow("administrator") << false;
    }
    void aClerkSeesWhatIsNotTheirs() {
        QFETCH(bool, clerk);
        TestDatabase::logInAs(QStringLiteral("小王"), clerk ? Role::Clerk : Role::Administrator);
        SystemPanelWindow* panel = Open();
        const std::pair<QToolButton*, QString> guarded[] = {
            {panel->Picture2, QStringLiteral("修改维修技师")},
            {panel->Picture22, QStringLiteral("修改维修项目")},
            {panel->Picture21, QStringLiteral("管理用户")},
            {panel->operatorsPicture, QStringLiteral("管理用户")},
            {panel->restorePicture, QStringLiteral("恢复数据")},
            {panel->shopPicture, QStringLiteral("修改店铺信息")},
            {panel->connectionPicture, QStringLiteral("更改数据库连接")},
        };
        for (const auto& [button, action] : guarded) {
            const QString reason =
                QStringLiteral("只有管理员可以%1，当前用户“小王”是店员。").arg(action);
            QCOMPARE(button->isEnabled(), !clerk);
            QCOMPARE(button->toolTip() == reason, clerk);
        }
        for (QToolButton* open : {panel->Picture1, panel->Picture60, panel->Picture29,
                                  panel->Picture30, panel->printerPicture}) {
            QVERIFY(open->isEnabled());
        }
        QCOMPARE(panel->shopLabel->isEnabled(), !clerk);
        QCOMPARE(panel->shopLabel->toolTip().isEmpty(), !clerk);
        if (clerk) {
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"),
                            QStringLiteral("只有管理员可以修改维修项目，当前用户“小王”是店员。"),
                            MessageScript::Icon::Stop);
            panel->Picture22_Click();
            VERIFY_MESSAGES(messages);
            QVERIFY(!ui::WindowHost::findNamed(QStringLiteral("Form7")));
        }
    }

    void importOpensItsWindowModally() {
        SystemPanelWindow* panel = Open();
        QCOMPARE(panel->Label1->text(), QStringLiteral("客户资料导入"));
        QString opened;
        {
            ScopedModalDriver driver([&opened](QWidget* window) {
                opened = window->objectName() + (window->isModal() ? "/modal" : "");
            });
            panel->Picture1->click();
        }
        QCOMPARE(opened, QStringLiteral("frmDemo2/modal"));
    }

    void passwordWindowShowsTheOperatorLoggedIn() {
        SetCurrentOperator(QStringLiteral("小李"));
        Open()->Picture29->click();
        auto* window = ui::WindowHost::find<PasswordChangeWindow>();
        QVERIFY(window);
        QCOMPARE(window->Text1->text(), QStringLiteral("小李"));
    }

    // The second backup of a day asks first; Cancel leaves the first file as it was.
    void backupFromThePanel() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        SystemPanelWindow* panel = Open();
        const QString path = todaysBackup();
        MessageScript messages;
        messages.expect(
            QStringLiteral("提示！"),
            QStringLiteral("数据备份成功，备份文件路径:") + QDir::toNativeSeparators(path),
            MessageScript::Icon::Information);
        BackUp(panel);
        VERIFY_MESSAGES(messages);
        QCOMPARE(CheckDatabaseFile(path), QString());
        const QByteArray first = Bytes(path);

        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));
        messages.expect(
            QStringLiteral("提示！"),
            QStringLiteral("备份文件已存在，是否替换？\n") + QDir::toNativeSeparators(path),
            MessageScript::Icon::Question, MessageScript::Answer::Cancel);
        BackUp(panel);
        VERIFY_MESSAGES(messages);
        QCOMPARE(Bytes(path), first);

        messages
            .expect(QStringLiteral("备份文件已存在，是否替换？\n") + QDir::toNativeSeparators(path),
                    MessageScript::Answer::Ok)
            .expect(QStringLiteral("数据备份成功，备份文件路径:") + QDir::toNativeSeparators(path));
        BackUp(panel);
        VERIFY_MESSAGES(messages);
        QVERIFY(Bytes(path) != first);
        QCOMPARE(CheckDatabaseFile(path), QString());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // A backup that cannot be written says so, and what stood under that name stays.
    void aFailedBackupIsReported() {
        const QString path = todaysBackup();
        QVERIFY(QDir().mkpath(path + QStringLiteral("/keep")));
        SystemPanelWindow* panel = Open();
        MessageScript messages;
        messages
            .expect(QStringLiteral("备份文件已存在，是否替换？\n") + QDir::toNativeSeparators(path),
                    MessageScript::Answer::Ok)
            .expect(QStringLiteral("提示！"),
                    QStringLiteral("数据备份失败：无法写入“%1”：%2")
                        .arg(QDir::toNativeSeparators(path),
                             QString::fromLocal8Bit(std::strerror(EISDIR))),
                    MessageScript::Icon::Stop);
        BackUp(panel);
        VERIFY_MESSAGES(messages);
        QVERIFY(QFileInfo(path + QStringLiteral("/keep")).isDir());
        QCOMPARE(QDir(db_->dir()).entryList({QStringLiteral("*.part")}, QDir::Files),
                 QStringList());
    }
};

QTEST_MAIN(TestSystemPanelWindow)
#include "test_system_panel_window.moc"
