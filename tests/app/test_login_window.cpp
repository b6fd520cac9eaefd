#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/localization.h"
#include "app/login_window.h"
#include "app/main_window.h"
#include "core/clock.h"
#include "data/database.h"
#include "data/password.h"
#include "masterdata/password_change_window.h"
#include "masterdata/shop_profile_window.h"
#include "session/current_operator.h"
#include "session/operators.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "support/windows.h"

namespace {

MainWindow* OpenMainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* main = qobject_cast<MainWindow*>(w); main && main->isVisible()) {
            return main;
        }
    }
    return nullptr;
}

const QString kSetPassword =
    QStringLiteral("您使用的是系统默认密码，任何人都知道它。请先设置一个新密码，然后再进入系统。");

QString StoredPassword(int rowid) {
    return TestDatabase::scalar(QStringLiteral("select user_pass from user_table where rowid=?"),
                                {rowid})
        .toString();
}

}  // namespace

class TestLoginWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void showsOperatorsAndDefaultPassword() {
        TestDatabase::exec(QStringLiteral(
            "insert into user_table (user_name, user_pass) values ('张三', 'a'), ('管理员', 'b')"));
        LoginWindow login;
        QCOMPARE(login.objectName(), QStringLiteral("Form9"));
        QCOMPARE(login.Combo1->count(), 3);
        QCOMPARE(login.Combo1->itemText(0), QStringLiteral("管理员"));
        QCOMPARE(login.Combo1->itemText(1), QStringLiteral("张三"));
        QCOMPARE(login.Combo1->itemText(2), QStringLiteral("管理员"));
        QCOMPARE(login.Combo1->currentText(), QString());
        QCOMPARE(login.Label1->text(), QStringLiteral("系统默认密码：888888"));
        QCOMPARE(login.Label5->text(), QStringLiteral("version 2.7"));
        QCOMPARE(login.Label3->text(), QStringLiteral("用户名:"));
        QCOMPARE(login.Label4->text(), QStringLiteral("密  码:"));
        QCOMPARE(login.Command1->text(), QStringLiteral("登录"));
        QCOMPARE(login.Command2->text(), QStringLiteral("关闭"));
        QCOMPARE(login.Text1->echoMode(), QLineEdit::Password);
        QCOMPARE(login.Label3->buddy(), login.Combo1);
        QCOMPARE(login.Label4->buddy(), login.Text1);
    }

    // The login says which database it opens; a long path is shortened in the middle so the
    // window keeps its width, and is whole in the tip.
    void showsWhichDatabaseItOpens_data() {
        QTest::addColumn<QString>("subfolder");
        QTest::newRow("short") << "";
        QTest::newRow("long") << QStringLiteral("/蓝天汽修连锁店第一分店的数据").repeated(6);
    }
    void showsWhichDatabaseItOpens() {
        QFETCH(QString, subfolder);
        // The short case in a folder of a short name: the fixture's own folder name is random,
        // and one of wide letters may not fit.
        QTemporaryDir shortDir(QStringLiteral("/tmp/rv-XXXXXX"));
        const QString dir = subfolder.isEmpty() ? shortDir.path() : db_->dir() + subfolder;
        QVERIFY(QDir().mkpath(dir));
        Database::Close();
        QVERIFY(QFile::copy(db_->filePath(), dir + QStringLiteral("/database.db")));
        QVERIFY(Database::Open(dir).ok);
        const QString text = QStringLiteral("数据库：") + Database::Location();
        QVERIFY(Database::Location().endsWith(subfolder + QStringLiteral("/database.db")));
        LoginWindow login;
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        QCOMPARE(login.databaseLabel->toolTip(), text);
        QCOMPARE(login.databaseLabel->text() == text, subfolder.isEmpty());
        QVERIFY(login.databaseLabel->text().endsWith(QStringLiteral("/database.db")));
        QVERIFY(login.databaseLabel->text().startsWith(QStringLiteral("数据库：/")));
        QVERIFY(login.databaseLabel->fontMetrics().horizontalAdvance(login.databaseLabel->text()) <=
                login.databaseLabel->contentsRect().width());
        QVERIFY2(login.width() >= 360 && login.width() <= 520,
                 qPrintable(QString::number(login.width())));
    }

    // A wrong password holds that name's next attempt back, by the program's clock: the right
    // password typed at once is not even checked; after the pause it logs in.
    void aFailedLoginSlowsTheNextAttempt() {
        QCOMPARE(*ChangePassword(QStringLiteral("管理员"), QStringLiteral("888888"),
                                 QStringLiteral("Secret7"), QStringLiteral("Secret7")),
                 PasswordChange::Changed);
        const QDateTime pinned = Now();
        auto* login = new LoginWindow;
        login->show();
        QSignalSpy spy(login, &LoginWindow::loggedIn);
        login->Combo1->setCurrentIndex(0);
        MessageScript messages;
        messages.expect(QStringLiteral("密码错误！"))
            .expect(QStringLiteral("登录失败次数过多，请 1 秒后再试。"))
            .expect(QStringLiteral("密码错误！"))
            .expect(QStringLiteral("登录失败次数过多，请 2 秒后再试。"));
        login->Text1->setText(QStringLiteral("wrong1"));
        login->Command1->click();
        login->Text1->setText(QStringLiteral("Secret7"));
        login->Command1->click();
        SetClock(pinned.addSecs(1));
        login->Text1->setText(QStringLiteral("wrong2"));
        login->Command1->click();
        login->Text1->setText(QStringLiteral("Secret7"));
        login->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(spy.count(), 0);
        SetClock(pinned.addSecs(3));
        login->Text1->setText(QStringLiteral("Secret7"));
        login->Command1->click();
        SetClock(pinned);
        QCOMPARE(spy.count(), 1);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<MainWindow*>(window)) {
                window->close();
            }
        }
    }

    // The seed password opens the door once: the operator sets a new one before going on, and
    // the login no longer shows the hint.
    void seedOperatorSetsANewPasswordAndMainWindowShowsTheName() {
        // A shop that has its name is not asked for it again.
        TestDatabase::exec(QStringLiteral("update regedit_table set re_name = '蓝天'"));
        auto* login = new LoginWindow;
        login->show();
        QVERIFY(login->Label1->isVisible());
        QSignalSpy spy(login, &LoginWindow::loggedIn);
        login->Combo1->setCurrentIndex(0);
        QTest::keyClicks(login->Text1, QStringLiteral("888888"));
        MessageScript messages;
        messages.expect(kSetPassword).expect(QStringLiteral("修改成功！"));
        ScopedModalDriver driver([](QWidget* window) {
            auto* change = qobject_cast<PasswordChangeWindow*>(window);
            QVERIFY(change);
            QCOMPARE(change->Text1->text(), QStringLiteral("管理员"));
            QTest::keyClicks(change->Text[1], QStringLiteral("Secret7"));
            QTest::keyClicks(change->Text[2], QStringLiteral("Secret7"));
            change->Command1->click();
        });
        QTest::keyClick(login->Text1, Qt::Key_Return);
        VERIFY_MESSAGES(messages);

        QCOMPARE(spy.count(), 1);
        QCOMPARE(CheckPassword(StoredPassword(1), QStringLiteral("Secret7")), PasswordCheck::Match);
        LoginWindow again;
        QVERIFY(again.Label1->isHidden());
        MainWindow* main = OpenMainWindow();
        QVERIFY(main);
        QCOMPARE(main->objectName(), QStringLiteral("Form1"));
        QCOMPARE(main->windowTitle(), QStringLiteral("Ruvaso汽车维修保养客户管理系统"));
        QCOMPARE(main->Label14->text(), QStringLiteral("操作员"));
        QCOMPARE(main->Label13->text(), QStringLiteral("管理员"));
        QCOMPARE(CurrentOperator(), QStringLiteral("管理员"));
        QVERIFY(!login->isVisible());
    }

    // A new shop's first login asks for its name once the password is set; the operator may
    // put it off, and then the paper keeps asking for it instead of the login.
    void firstLoginAsksForTheShopName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("saved");
        QTest::newRow("named") << "蓝天汽修" << true;
        QTest::newRow("put off") << "" << false;
    }
    void firstLoginAsksForTheShopName() {
        QFETCH(QString, typed);
        QFETCH(bool, saved);
        auto* login = new LoginWindow;
        login->show();
        login->Combo1->setCurrentIndex(0);
        QTest::keyClicks(login->Text1, QStringLiteral("888888"));
        MessageScript messages;
        messages.expect(kSetPassword)
            .expect(QStringLiteral("修改成功！"))
            .expect(QStringLiteral("请填写店铺名称、地址和电话，维修单和报表上将打印这些信息。"));
        if (saved) {
            messages.expect(QStringLiteral("保存成功！"));
        }
        QStringList opened;
        ScopedModalDriver driver([&](QWidget* window) {
            opened << window->objectName();
            if (auto* change = qobject_cast<PasswordChangeWindow*>(window)) {
                QTest::keyClicks(change->Text[1], QStringLiteral("Secret7"));
                QTest::keyClicks(change->Text[2], QStringLiteral("Secret7"));
                change->Command1->click();
                return;
            }
            auto* shop = qobject_cast<ShopProfileWindow*>(window);
            QVERIFY(shop);
            QCOMPARE(shop->focusWidget(), shop->Text1);
            if (!saved) {
                QTest::keyClick(shop, Qt::Key_Escape);
                return;
            }
            TypeText(shop->Text1, typed);
            QTest::keyClick(shop->Text1, Qt::Key_Return);
            QCOMPARE(shop->focusWidget(), shop->Text2);
            TypeText(shop->Text2, QStringLiteral("人民路1号"));
            QTest::keyClick(shop->Text2, Qt::Key_Return);
            TypeText(shop->Text3, QStringLiteral("0512-66668888"));
            QTest::keyClick(shop->Text3, Qt::Key_Return);
        });
        QTest::keyClick(login->Text1, Qt::Key_Return);
        VERIFY_MESSAGES(messages);
        QCOMPARE(opened, QStringList({"Form10", "frmShopProfile"}));
        QVERIFY(OpenMainWindow());
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select re_name || '/' || re_address || '/' "
                                                     "|| re_tele from regedit_table"))
                     .toString(),
                 saved ? typed + QStringLiteral("/人民路1号/0512-66668888") : QStringLiteral("//"));
    }

    // Closing the password window without a new password goes back to the login.
    void seedPasswordMustBeReplaced() {
        LoginWindow login;
        login.show();
        login.Combo1->setCurrentIndex(0);
        login.Text1->setText(QStringLiteral("888888"));
        MessageScript messages;
        messages.expect(kSetPassword);
        ScopedModalDriver driver([](QWidget* window) {
            auto* change = qobject_cast<PasswordChangeWindow*>(window);
            QVERIFY(change);
            change->Command2->click();
        });
        login.Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!OpenMainWindow());
        QVERIFY(login.isVisible());
        QCOMPARE(login.Text1->text(), QString());
        QCOMPARE(CheckPassword(StoredPassword(1), QStringLiteral("888888")), PasswordCheck::Match);
    }

    void refusals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("no name") << ""
                                 << "888888"
                                 << "请选择用户名称！"
                                 << "Combo1";
        QTest::newRow("wrong password") << "管理员"
                                        << "888888 "
                                        << "密码错误！"
                                        << "Text1";
        QTest::newRow("case counts") << "张三"
                                     << "ABC"
                                     << "密码错误！"
                                     << "Text1";
        QTest::newRow("unknown name") << "李四"
                                      << "abc"
                                      << "用户名或密码错误！"
                                      << "Combo1";
    }
    void refusals() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('张三', 'abc')"));
        LoginWindow login;
        login.show();
        login.Combo1->setEditText(name);
        login.Text1->setText(password);
        MessageScript messages;
        if (!message.isEmpty()) {
            messages.expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
        }
        login.Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!OpenMainWindow());
        QVERIFY(login.isVisible());
        if (!focus.isEmpty()) {
            QCOMPARE(login.focusWidget()->objectName(), focus);
        }
        if (focus == QLatin1String("Text1")) {
            QCOMPARE(login.Text1->selectedText(), password);
        }
        QCOMPARE(StoredPassword(2), QStringLiteral("abc"));
    }

    // The first row of a name counts; a plain stored password is replaced by its hash once used.
    void duplicateNamesAndPlainPasswords() {
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('张三', "
                           "'first'), ('张三', 'second')"));
        {
            LoginWindow login;
            login.Combo1->setEditText(QStringLiteral("张三"));
            login.Text1->setText(QStringLiteral("second"));
            MessageScript messages;
            messages.expect(QStringLiteral("密码错误！"));
            login.Command1->click();
            VERIFY_MESSAGES(messages);
            QCOMPARE(StoredPassword(2), QStringLiteral("first"));

            // After the pause a failed attempt costs.
            const QDateTime pinned = Now();
            SetClock(pinned.addSecs(LoginThrottle::kFirstPauseSeconds));
            login.Text1->setText(QStringLiteral("first"));
            login.Command1->click();
            SetClock(pinned);
            QVERIFY(OpenMainWindow());
        }
        QVERIFY(IsPasswordHash(StoredPassword(2)));
        QCOMPARE(CheckPassword(StoredPassword(2), QStringLiteral("first")), PasswordCheck::Match);
        QCOMPARE(StoredPassword(3), QStringLiteral("second"));
    }

    void emptyStoredPasswordAcceptsEmptyEntry() {
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('王五', '')"));
        for (int attempt = 0; attempt < 2; ++attempt) {
            LoginWindow login;
            login.Combo1->setEditText(QStringLiteral("王五"));
            login.Command1->click();
            MainWindow* main = OpenMainWindow();
            QVERIFY(main);
            QCOMPARE(main->Label13->text(), QStringLiteral("王五"));
            delete main;
        }
        QVERIFY(IsPasswordHash(StoredPassword(2)));
    }

    // The operator who logged in last on this data folder is offered again, with the cursor in
    // the password box; another data folder remembers its own.
    void remembersTheLastOperatorOfTheFolder() {
        TestDatabase::exec(QStringLiteral(
            "insert into user_table (user_name, user_pass) values ('王五', ''), ('赵六', '')"));
        {
            LoginWindow first;
            QCOMPARE(first.Combo1->currentText(), QString());
            first.Combo1->setEditText(QStringLiteral("赵六"));
            first.Command1->click();
            MainWindow* main = OpenMainWindow();
            QVERIFY(main);
            delete main;
        }
        auto* login = new LoginWindow;
        login->show();
        QVERIFY(QTest::qWaitForWindowActive(login));
        QCOMPARE(login->Combo1->currentText(), QStringLiteral("赵六"));
        QCOMPARE(QApplication::focusWidget(), login->Text1);
        QTest::keyClick(login->Text1, Qt::Key_Return);
        MainWindow* main = OpenMainWindow();
        QVERIFY(main);
        QCOMPARE(main->Label13->text(), QStringLiteral("赵六"));
        delete main;

        // A name no longer among the operators is not offered.
        TestDatabase::exec(QStringLiteral("delete from user_table where user_name = '赵六'"));
        LoginWindow again;
        QCOMPARE(again.Combo1->currentText(), QString());
    }

    // What Qt itself shows speaks Chinese whatever the system's language (the tests run under
    // LANG=C.UTF-8): buttons, a text box's own menu, the calendar, the file dialog.
    void qtDialogsSpeakChinese() {
        QCOMPARE(qgetenv("LANG"), QByteArray("C.UTF-8"));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));

        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                texts << action->text();
            }
        }
        for (const char* expected : {"撤", "重做", "剪切", "复制", "粘贴", "删除", "全选"}) {
            QVERIFY2(texts.join(QLatin1Char(' ')).contains(QString::fromUtf8(expected)),
                     qPrintable(texts.join(QLatin1Char(' '))));
        }

        QCalendarWidget calendar;
        QCOMPARE(calendar.locale().monthName(1), QStringLiteral("一月"));

        QFileDialog dialog(nullptr, QString(), QDir::tempPath());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
        QVERIFY2(buttons->button(QDialogButtonBox::Open)->text().contains(QStringLiteral("打开")),
                 qPrintable(buttons->button(QDialogButtonBox::Open)->text()));
    }

    // A password an administrator reset lets the operator in only to set their own: the change
    // asks for no current password (it was just typed), and a clerk is not asked for the shop's
    // name. A disabled operator is not let in at all.
    void aResetPasswordIsReplacedAtTheLogin() {
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values "
                           "('小李', 'old-pass'), ('老王', 'abcdef')"));
        QCOMPARE(*ResetPassword(QStringLiteral("小李"), QStringLiteral("temp-123"),
                                QStringLiteral("temp-123")),
                 PasswordChange::Changed);
        QCOMPARE(*SetOperatorEnabled(QStringLiteral("老王"), false), OperatorChange::Changed);
        auto* login = new LoginWindow;
        login->show();
        QSignalSpy spy(login, &LoginWindow::loggedIn);
        MessageScript messages;
        messages.expect(QStringLiteral("该用户已被停用，请与管理员联系！"))
            .expect(QStringLiteral("您的密码已由管理员重置。请先设置一个新密码，然后再进入系统。"))
            .expect(QStringLiteral("修改成功！"));
        login->Combo1->setEditText(QStringLiteral("老王"));
        login->Text1->setText(QStringLiteral("abcdef"));
        login->Command1->click();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(CurrentOperator(), QString());

        ScopedModalDriver driver([](QWidget* window) {
            auto* change = qobject_cast<PasswordChangeWindow*>(window);
            QVERIFY(change);
            QVERIFY(change->Text[0]->isHidden());
            QTest::keyClicks(change->Text[1], QStringLiteral("mine-456"));
            QTest::keyClicks(change->Text[2], QStringLiteral("mine-456"));
            change->Command1->click();
        });
        login->Combo1->setEditText(QStringLiteral("小李"));
        login->Text1->setText(QStringLiteral("temp-123"));
        login->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(CurrentOperator(), QStringLiteral("小李"));
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("mine-456")), Login::Accepted);
        delete OpenMainWindow();
    }

    void closingBeforeLoginEndsTheProgram() {
        auto* login = new LoginWindow;
        login->show();
        QSignalSpy quit(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(0, login->Command2, &QPushButton::click);
        QTimer::singleShot(10000, qApp, [] { QApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(quit.count(), 1);
        QVERIFY(!OpenMainWindow());
    }
};

QTEST_MAIN(TestLoginWindow)
#include "test_login_window.moc"
