#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "masterdata/operator_add_window.h"
#include "masterdata/operator_list_window.h"
#include "masterdata/password_change_window.h"
#include "session/current_operator.h"
#include "session/operators.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/window_host.h"

namespace {

OperatorListWindow* Open() {
    auto* window = ui::WindowHost::instance<OperatorListWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    return window;
}

// The rows as shown: name, role, state and last login.
QStringList Shown(const OperatorListWindow* window) {
    QStringList rows;
    for (int row = 0; row < window->grid1->rows(); ++row) {
        QStringList cells;
        for (int col = 1; col <= 4; ++col) {
            cells << window->grid1->cellText(row, col);
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void Choose(OperatorListWindow* window, const QString& name) {
    for (int row = 1; row < window->grid1->rows(); ++row) {
        if (window->grid1->cellText(row, 1) == name) {
            window->grid1->setCurrentCell(row, 1);
            return;
        }
    }
    QFAIL(qPrintable(name));
}

QString Stored() {
    return TestDatabase::rowsText(QStringLiteral(
        "select user_name, user_role, user_enabled, user_reset from user_table order by rowid"));
}

}  // namespace

class TestOperatorListWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        WindowTest::init();
        TestDatabase::exec(QStringLiteral(
            "insert into user_table (user_name, user_pass, user_role, user_login) values "
            "('小李', 'abcdef', '店员', '2026-12-01 08:30:00')"));
        SetCurrentOperator(QStringLiteral("管理员"));
    }

    // Disabled and enabled again, never deleted; the button says what it will do.
    void listsDisablesAndEnables() {
        OperatorListWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("frmOperators"));
        QCOMPARE(window->windowTitle(), QStringLiteral("用户管理"));
        QCOMPARE(Shown(window),
                 QStringList({QStringLiteral("用户名|角色|状态|最后登录"),
                              QStringLiteral("管理员|管理员|可以登录|"),
                              QStringLiteral("小李|店员|可以登录|2026-12-01 08:30:00")}));
        MessageScript messages;
        messages.expect(QStringLiteral("请先选择用户！"));
        window->Command2->click();
        VERIFY_MESSAGES(messages);

        Choose(window, QStringLiteral("小李"));
        QCOMPARE(window->Command2->text(), QStringLiteral("停用"));
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("停用后“小李”将不能登录，其姓名仍保留在维修单和回访记录中。"
                                       "是否停用？"),
                        MessageScript::Icon::Question, MessageScript::Answer::Ok);
        window->Command2->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Shown(window).last(), QStringLiteral("小李|店员|已停用|2026-12-01 08:30:00"));
        QCOMPARE(window->Command2->text(), QStringLiteral("启用"));
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("abcdef")), Login::Disabled);
        window->Command2->click();
        QCOMPARE(Shown(window).last(), QStringLiteral("小李|店员|可以登录|2026-12-01 08:30:00"));
    }

    // The last administrator keeps the role and stays enabled; the one logged in is not
    // disabled from under themselves.
    void theLastAdministratorStays() {
        OperatorListWindow* window = Open();
        const QString before = Stored();
        Choose(window, QStringLiteral("管理员"));
        MessageScript messages;
        messages.expect(QStringLiteral("不能停用当前登录的用户！"))
            .expect(QStringLiteral("系统提示"), QStringLiteral("是否将“管理员”的角色改为店员？"),
                    MessageScript::Icon::Question, MessageScript::Answer::Ok)
            .expect(QStringLiteral("至少要保留一个可以登录的管理员！"));
        window->Command2->click();
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(), before);

        Choose(window, QStringLiteral("小李"));
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("是否将“小李”的角色改为管理员？"),
                        MessageScript::Icon::Question, MessageScript::Answer::Ok);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Shown(window).last(), QStringLiteral("小李|管理员|可以登录|2026-12-01 08:30:00"));
    }

    // Adding goes through Form11 and shows the new operator chosen; a reset through Form10.
    void addsAndResets() {
        OperatorListWindow* window = Open();
        ScopedModalDriver driver([](QWidget* opened) {
            if (auto* add = qobject_cast<OperatorAddWindow*>(opened)) {
                add->Text[0]->setText(QStringLiteral("老王"));
                add->Text[1]->setText(QStringLiteral("abcdef"));
                add->Text[2]->setText(QStringLiteral("abcdef"));
                add->Combo1->setCurrentText(QStringLiteral("管理员"));
                add->Command1->click();
            } else if (auto* reset = qobject_cast<PasswordChangeWindow*>(opened)) {
                QCOMPARE(reset->Text1->text(), QStringLiteral("老王"));
                reset->Text[1]->setText(QStringLiteral("temp-123"));
                reset->Text[2]->setText(QStringLiteral("temp-123"));
                reset->Command1->click();
            } else {
                QFAIL(qPrintable(opened->objectName()));
            }
        });
        MessageScript messages;
        messages.expect(QStringLiteral("用户信息添加成功！"))
            .expect(QStringLiteral("密码已重置，“老王”下次登录时需要设置新密码。"));
        window->Command1->click();
        QCOMPARE(Shown(window).last(), QStringLiteral("老王|管理员|可以登录|"));
        QCOMPARE(window->selectedRow(), 3);
        window->Command4->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(*CheckLogin(QStringLiteral("老王"), QStringLiteral("temp-123")),
                 Login::PasswordDue);
    }

    // A clerk who reaches the window all the same sees no one: the list itself is refused.
    void aClerkSeesNoOne() {
        TestDatabase::logInAs(QStringLiteral("小王"), Role::Clerk);
        MessageScript messages;
        messages.expect(
            QStringLiteral("系统提示"),
            QStringLiteral("数据库操作失败：只有管理员可以管理用户，当前用户“小王”是店员。"),
            MessageScript::Icon::Stop);
        OperatorListWindow* window = Open();
        VERIFY_MESSAGES(messages);
        QCOMPARE(window->grid1->rows(), 1);
    }
};

QTEST_MAIN(TestOperatorListWindow)
#include "test_operator_list_window.moc"
