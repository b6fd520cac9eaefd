#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "masterdata/operator_add_window.h"
#include "session/operators.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

OperatorAddWindow* Open() {
    auto* window = ui::WindowHost::instance<OperatorAddWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

int Operators() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from user_table")).toInt();
}

}  // namespace

class TestOperatorAddWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void showsItsFields() {
        OperatorAddWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("Form11"));
        QCOMPARE(window->Label1->text(), QStringLiteral("用户添加"));
        QCOMPARE(window->Text[0]->objectName(), QStringLiteral("Text(0)"));
        QCOMPARE(window->Text[0]->echoMode(), QLineEdit::Normal);
        QCOMPARE(window->Text[1]->echoMode(), QLineEdit::Password);
        QCOMPARE(window->Text[2]->echoMode(), QLineEdit::Password);
        QCOMPARE(window->Command1->text(), QStringLiteral("确 定"));
        QCOMPARE(window->Command2->text(), QStringLiteral("取 消"));
    }

    // Each refusal names the fault, puts the focus where it is and adds nothing.
    void refusals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("taken, before the empty passwords") << "管理员"
                                                           << ""
                                                           << ""
                                                           << "用户重复，请重新录入！"
                                                           << "Text(0)";
        QTest::newRow("blank name") << "   "
                                    << "a"
                                    << "a"
                                    << "用户名不允许为空！"
                                    << "Text(0)";
        QTest::newRow("empty password") << "小李"
                                        << ""
                                        << "a"
                                        << "验证密码不允许为空！"
                                        << "Text(1)";
        QTest::newRow("empty confirmation") << "小李"
                                            << "a"
                                            << ""
                                            << "验证密码不允许为空！"
                                            << "Text(2)";
        QTest::newRow("letter case differs") << "小李"
                                             << "Secret"
                                             << "secret"
                                             << "验证密码不一致，请重新录入！"
                                             << "Text(1)";
        QTest::newRow("too short") << "小李"
                                   << "Secre"
                                   << "Secre"
                                   << "密码至少要有 6 个字符，请重新输入！"
                                   << "Text(1)";
    }
    void refusals() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        OperatorAddWindow* window = Open();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->Text[0]->setText(name);
        window->Text[1]->setText(password);
        window->Text[2]->setText(confirmation);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(FocusName(), focus);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Text[0]->text(), name);
        QCOMPARE(Operators(), 1);
    }

    // Typed and confirmed with Enter; a password of blanks is a password, kept as its hash.
    void addsAnOperatorWhoCanLogIn() {
        OperatorAddWindow* window = Open();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->Text[0]->setFocus();
        TypeText(window->Text[0], QStringLiteral("小李"));
        QTest::keyClick(window->Text[0], Qt::Key_Return);
        QCOMPARE(FocusName(), QStringLiteral("Text(1)"));
        TypeText(window->Text[1], QStringLiteral("      "));
        QTest::keyClick(window->Text[1], Qt::Key_Return);
        TypeText(window->Text[2], QStringLiteral("      "));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("用户信息添加成功！"),
                        MessageScript::Icon::Information);
        QPointer<OperatorAddWindow> open(window);
        QTest::keyClick(window->Text[2], Qt::Key_Return);
        VERIFY_MESSAGES(messages);
        QVERIFY(!open || !open->isVisible());
        QCOMPARE(Operators(), 2);
        QVERIFY(TestDatabase::scalar(
                    QStringLiteral("select user_pass from user_table where user_name='小李'"))
                    .toString()
                    .startsWith(QLatin1String("$argon2id$")));
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("      ")), Login::Accepted);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QString()), Login::WrongPassword);
        // Unless an administrator is chosen, the new operator is a clerk.
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select user_role from user_table where user_name='小李'"))
                     .toString(),
                 QStringLiteral("店员"));
    }

    void anAdministratorIsChosenOnPurpose() {
        OperatorAddWindow* window = Open();
        QCOMPARE(window->Combo1->currentText(), QStringLiteral("店员"));
        window->Text[0]->setText(QStringLiteral("老王"));
        window->Text[1]->setText(QStringLiteral("abcdef"));
        window->Text[2]->setText(QStringLiteral("abcdef"));
        window->Combo1->setCurrentText(QStringLiteral("管理员"));
        MessageScript messages;
        messages.expect(QStringLiteral("用户信息添加成功！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select user_role from user_table where user_name='老王'"))
                     .toString(),
                 QStringLiteral("管理员"));
    }

    void cancelAddsNothing() {
        OperatorAddWindow* window = Open();
        window->Text[0]->setText(QStringLiteral("小李"));
        window->Text[1]->setText(QStringLiteral("a"));
        window->Text[2]->setText(QStringLiteral("a"));
        window->Command2->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(Operators(), 1);
    }
};

QTEST_MAIN(TestOperatorAddWindow)
#include "test_operator_add_window.moc"
