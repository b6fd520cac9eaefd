#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "app/login_window.h"
#include "masterdata/password_change_window.h"
#include "session/operators.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

const QString kOperator = QStringLiteral("管理员");

PasswordChangeWindow* Open(const QString& name = kOperator) {
    auto* window = ui::WindowHost::instance<PasswordChangeWindow>();
    window->load(name);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

QString Stored() {
    return TestDatabase::scalar(QStringLiteral("select user_pass from user_table")).toString();
}

// Logs in through the login window; true when the main window opened.
bool LogIn(const QString& name, const QString& password, MessageScript& messages) {
    auto* login = new LoginWindow;
    login->show();
    login->Combo1->setEditText(name);
    login->Text1->setText(password);
    bool opened = false;
    QObject::connect(login, &LoginWindow::loggedIn, [&opened] { opened = true; });
    login->Command1->click();
    if (!opened) {
        delete login;
    }
    return opened && messages.allShown();
}

}  // namespace

class TestPasswordChangeWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void showsWhoseItIs() {
        PasswordChangeWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("Form10"));
        QCOMPARE(window->Label1->text(), QStringLiteral("密码修改"));
        QCOMPARE(window->Text1->text(), kOperator);
        QVERIFY(window->Text1->isReadOnly());
        QCOMPARE(window->Text[0]->objectName(), QStringLiteral("Text(0)"));
        QCOMPARE(window->Text[1]->objectName(), QStringLiteral("Text(1)"));
        for (ui::TextBox* box : window->Text) {
            QCOMPARE(box->echoMode(), QLineEdit::Password);
        }
        QVERIFY(window->Text[0]->isVisible());
        QCOMPARE(FocusName(), QStringLiteral("Text(0)"));
    }

    void refusals_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("empty password") << "888888"
                                        << ""
                                        << "a"
                                        << "密码不允许为空，请重新输入！"
                                        << "Text(1)";
        QTest::newRow("empty confirmation") << "888888"
                                            << "a"
                                            << ""
                                            << "密码不允许为空，请重新输入！"
                                            << "Text(2)";
        QTest::newRow("wrong current password") << "888889"
                                                << "Neu 12"
                                                << "Neu 12"
                                                << "原密码错误，请重新输入！"
                                                << "Text(0)";
        QTest::newRow("no current password") << ""
                                             << "Neu 12"
                                             << "Neu 12"
                                             << "原密码错误，请重新输入！"
                                             << "Text(0)";
        // The focus stays where it was.
        QTest::newRow("letter case differs") << "888888"
                                             << "Neu"
                                             << "neu"
                                             << "密码不一致，请重新输入！"
                                             << "Text(2)";
        QTest::newRow("too short") << "888888"
                                   << "Neu12"
                                   << "Neu12"
                                   << "密码至少要有 6 个字符，请重新输入！"
                                   << "Text(1)";
        // The forced change at the first login must not take the seed password back.
        QTest::newRow("the seed password") << "888888"
                                           << "888888"
                                           << "888888"
                                           << "不能使用系统默认密码，请换一个密码！"
                                           << "Text(1)";
    }
    void refusals() {
        QFETCH(QString, current);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        const QString before = Stored();
        PasswordChangeWindow* window = Open();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->Text[0]->setText(current);
        window->Text[1]->setText(password);
        window->Text[2]->setText(confirmation);
        window->Text[2]->setFocus();
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(FocusName(), focus);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Text[1]->text(), password);
        QCOMPARE(window->Text[2]->text(), confirmation);
        QCOMPARE(Stored(), before);
    }

    // After the change the old password is refused and the new one logs in.
    void theNewPasswordLogsIn() {
        PasswordChangeWindow* window = Open();
        QVERIFY(QTest::qWaitForWindowActive(window));
        TypeText(window->Text[0], QStringLiteral("888888"));
        QTest::keyClick(window->Text[0], Qt::Key_Return);
        QCOMPARE(FocusName(), QStringLiteral("Text(1)"));
        TypeText(window->Text[1], QStringLiteral("Neu 12"));
        QTest::keyClick(window->Text[1], Qt::Key_Return);
        QCOMPARE(FocusName(), QStringLiteral("Text(2)"));
        TypeText(window->Text[2], QStringLiteral("Neu 12"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("修改成功！"),
                        MessageScript::Icon::Information);
        QPointer<PasswordChangeWindow> open(window);
        QTest::keyClick(window->Text[2], Qt::Key_Return);
        VERIFY_MESSAGES(messages);
        QVERIFY(!open || !open->isVisible());

        messages.expect(QStringLiteral("密码错误！"));
        QVERIFY(!LogIn(kOperator, QStringLiteral("888888"), messages));
        VERIFY_MESSAGES(messages);
        QVERIFY(LogIn(kOperator, QStringLiteral("Neu 12"), messages));
        VERIFY_MESSAGES(messages);
    }

    // An administrator gives another operator a password without knowing theirs; it lasts until
    // that operator's next login.
    void anAdministratorResetsAPassword() {
        TestDatabase::exec(QStringLiteral(
            "insert into user_table (user_name, user_pass) values ('小李', 'forgotten')"));
        auto* window = ui::WindowHost::instance<PasswordChangeWindow>();
        window->loadReset(QStringLiteral("小李"));
        ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
        QCOMPARE(window->Label1->text(), QStringLiteral("重置密码"));
        QVERIFY(window->Text[0]->isHidden());
        window->Text[1]->setText(QStringLiteral("temp-123"));
        window->Text[2]->setText(QStringLiteral("temp-123"));
        MessageScript messages;
        messages.expect(QStringLiteral("密码已重置，“小李”下次登录时需要设置新密码。"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("temp-123")),
                 Login::PasswordDue);
    }

    // An account that is gone has nothing to change: the window closes without a word.
    void anUnknownOperatorClosesTheWindow() {
        PasswordChangeWindow* window = Open(QStringLiteral("无名"));
        window->Text[1]->setText(QStringLiteral("a"));
        window->Text[2]->setText(QStringLiteral("b"));
        const QString before = Stored();
        window->Command1->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(Stored(), before);
    }
};

QTEST_MAIN(TestPasswordChangeWindow)
#include "test_password_change_window.moc"
