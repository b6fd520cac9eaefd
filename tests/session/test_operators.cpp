#include <QTest>

#include "core/clock.h"
#include "data/password.h"
#include "session/operators.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

QString StoredPassword(const QString& name) {
    return TestDatabase::scalar(
               QStringLiteral("select user_pass from user_table where user_name=? order by rowid"),
               {name})
        .toString();
}

}  // namespace

class TestOperators : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    void namesInStoredOrder() {
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('小李', '1')"));
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('老王', '2')"));
        const DbResult<QStringList> names = OperatorNames();
        QVERIFY(names.ok());
        QCOMPARE(*names, QStringList({QStringLiteral("管理员"), QStringLiteral("小李"),
                                      QStringLiteral("老王")}));
    }

    void checkLogin_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("expected");
        QTest::newRow("seed operator") << "管理员"
                                       << "888888" << int(Login::Accepted);
        QTest::newRow("wrong password") << "管理员"
                                        << "888889" << int(Login::WrongPassword);
        QTest::newRow("empty password") << "管理员"
                                        << "" << int(Login::WrongPassword);
        QTest::newRow("unknown name") << "无名"
                                      << "888888" << int(Login::UnknownOperator);
        QTest::newRow("first of two rows counts") << "双"
                                                  << "first" << int(Login::Accepted);
        QTest::newRow("second row's password") << "双"
                                               << "second" << int(Login::WrongPassword);
        QTest::newRow("empty stored password") << "空"
                                               << "" << int(Login::Accepted);
    }
    void checkLogin() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(int, expected);
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('双', ?)"),
            {HashPassword(QStringLiteral("first"))});
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('双', ?)"),
            {HashPassword(QStringLiteral("second"))});
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('空', '')"));
        const DbResult<Login> login = CheckLogin(name, password);
        QVERIFY(login.ok());
        QCOMPARE(int(*login), expected);
    }

    // A password kept as plain text is hashed once it has matched, and still works afterwards.
    void plainPasswordIsHashedOnFirstLogin() {
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass) values ('旧', 'abc')"));
        QCOMPARE(*CheckLogin(QStringLiteral("旧"), QStringLiteral("abd")), Login::WrongPassword);
        QCOMPARE(StoredPassword(QStringLiteral("旧")), QStringLiteral("abc"));
        QCOMPARE(*CheckLogin(QStringLiteral("旧"), QStringLiteral("abc")), Login::Accepted);
        QVERIFY(IsPasswordHash(StoredPassword(QStringLiteral("旧"))));
        QCOMPARE(*CheckLogin(QStringLiteral("旧"), QStringLiteral("abc")), Login::Accepted);
    }

    // The checks run in a fixed order: a name already stored is refused before the passwords
    // are looked at, even when both are empty.
    void addOperator_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<int>("expected");
        QTest::newRow("added") << "小李"
                               << "abcdef"
                               << "abcdef" << int(OperatorAdd::Added);
        QTest::newRow("empty name") << ""
                                    << "abc"
                                    << "abc" << int(OperatorAdd::NameEmpty);
        QTest::newRow("blank name, before the passwords") << "  "
                                                          << ""
                                                          << "" << int(OperatorAdd::NameEmpty);
        QTest::newRow("taken, before the passwords") << "管理员"
                                                     << ""
                                                     << "" << int(OperatorAdd::NameTaken);
        QTest::newRow("name matched exactly") << "管理员 "
                                              << "abcdef"
                                              << "abcdef" << int(OperatorAdd::Added);
        QTest::newRow("empty password") << "小李"
                                        << ""
                                        << "abc" << int(OperatorAdd::PasswordEmpty);
        QTest::newRow("empty confirmation") << "小李"
                                            << "abc"
                                            << "" << int(OperatorAdd::ConfirmationEmpty);
        QTest::newRow("letter case counts") << "小李"
                                            << "Abc"
                                            << "abc" << int(OperatorAdd::Mismatch);
        QTest::newRow("blanks are a password") << "小李"
                                               << "      "
                                               << "      " << int(OperatorAdd::Added);
        QTest::newRow("five characters") << "小李"
                                         << "abcde"
                                         << "abcde" << int(OperatorAdd::Refused);
        QTest::newRow("the seed password") << "小李"
                                           << "888888"
                                           << "888888" << int(OperatorAdd::Refused);
    }
    void addOperator() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(int, expected);
        const int before = TestDatabase::scalar("select count(*) from user_table").toInt();
        const DbResult<OperatorAdd> added = AddOperator(name, password, confirmation);
        QVERIFY2(added.ok(), qPrintable(added.error()));
        QCOMPARE(int(*added), expected);
        const int after = TestDatabase::scalar("select count(*) from user_table").toInt();
        QCOMPARE(after, before + (expected == int(OperatorAdd::Added) ? 1 : 0));
        if (expected == int(OperatorAdd::Added)) {
            QVERIFY(IsPasswordHash(StoredPassword(name)));
            QCOMPARE(*CheckLogin(name, password), Login::Accepted);
            QCOMPARE(*CheckLogin(name, password + QLatin1Char('x')), Login::WrongPassword);
        }
    }

    void changePassword_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<int>("expected");
        QTest::newRow("changed") << "管理员"
                                 << "888888"
                                 << "n3w-pass"
                                 << "n3w-pass" << int(PasswordChange::Changed);
        QTest::newRow("empty password, before the lookup")
            << "无名"
            << ""
            << ""
            << "x" << int(PasswordChange::PasswordEmpty);
        QTest::newRow("empty confirmation") << "管理员"
                                            << "888888"
                                            << "x"
                                            << "" << int(PasswordChange::ConfirmationEmpty);
        QTest::newRow("unknown operator, before the comparison")
            << "无名"
            << "888888"
            << "a"
            << "b" << int(PasswordChange::UnknownOperator);
        QTest::newRow("wrong current password, before the comparison")
            << "管理员"
            << "888889"
            << "a"
            << "b" << int(PasswordChange::WrongCurrent);
        QTest::newRow("no current password") << "管理员"
                                             << ""
                                             << "n3w-pass"
                                             << "n3w-pass" << int(PasswordChange::WrongCurrent);
        QTest::newRow("letter case counts") << "管理员"
                                            << "888888"
                                            << "New"
                                            << "new" << int(PasswordChange::Mismatch);
        QTest::newRow("blanks are a password") << "管理员"
                                               << "888888"
                                               << "      "
                                               << "      " << int(PasswordChange::Changed);
        QTest::newRow("five characters") << "管理员"
                                         << "888888"
                                         << "abcde"
                                         << "abcde" << int(PasswordChange::Refused);
        QTest::newRow("the seed password again") << "管理员"
                                                 << "888888"
                                                 << "888888"
                                                 << "888888" << int(PasswordChange::Refused);
    }
    void changePassword() {
        QFETCH(QString, name);
        QFETCH(QString, current);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(int, expected);
        const QString stored = StoredPassword(QStringLiteral("管理员"));
        const DbResult<PasswordChange> changed =
            ChangePassword(name, current, password, confirmation);
        QVERIFY2(changed.ok(), qPrintable(changed.error()));
        QCOMPARE(int(*changed), expected);
        if (expected == int(PasswordChange::Changed)) {
            QCOMPARE(*CheckLogin(name, QStringLiteral("888888")), Login::WrongPassword);
            QCOMPARE(*CheckLogin(name, password), Login::Accepted);
        } else {
            QCOMPARE(StoredPassword(QStringLiteral("管理员")), stored);
        }
    }

    // The operator's own password again changes nothing and is said so, not "changed".
    void theCurrentPasswordIsNoChange() {
        QCOMPARE(*ChangePassword(QStringLiteral("管理员"), QStringLiteral("888888"),
                                 QStringLiteral("first-1"), QStringLiteral("first-1")),
                 PasswordChange::Changed);
        const QString stored = StoredPassword(QStringLiteral("管理员"));
        QCOMPARE(*ChangePassword(QStringLiteral("管理员"), QStringLiteral("first-1"),
                                 QStringLiteral("first-1"), QStringLiteral("first-1")),
                 PasswordChange::SameAsBefore);
        QCOMPARE(StoredPassword(QStringLiteral("管理员")), stored);
    }

    // The seed operator is an administrator; an operator added without a role is a clerk. The
    // list shows every operator with role, state and last login.
    void rolesAndTheList() {
        QCOMPARE(*AddOperator(QStringLiteral("小李"), QStringLiteral("abcdef"),
                              QStringLiteral("abcdef")),
                 OperatorAdd::Added);
        QCOMPARE(*AddOperator(QStringLiteral("老王"), QStringLiteral("abcdef"),
                              QStringLiteral("abcdef"), Role::Administrator),
                 OperatorAdd::Added);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("abcdef")), Login::Accepted);
        QCOMPARE(*SetOperatorEnabled(QStringLiteral("老王"), false), OperatorChange::Changed);
        const DbResult<QList<OperatorAccount>> list = ListOperators();
        QVERIFY2(list.ok(), qPrintable(list.error()));
        QStringList shown;
        for (const OperatorAccount& account : *list) {
            shown << QStringLiteral("%1|%2|%3|%4")
                         .arg(account.name, RoleName(account.role), account.enabled ? "1" : "0",
                              account.lastLogin);
        }
        QCOMPARE(shown, QStringList({QStringLiteral("管理员|管理员|1|"),
                                     QStringLiteral("小李|店员|1|") +
                                         Now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                     QStringLiteral("老王|管理员|0|")}));
    }

    // A disabled operator is not offered and cannot log in, but stays listed; enabled again,
    // they log in as before.
    void disabledOperatorsCannotLogIn() {
        TestDatabase::exec(QStringLiteral(
            "insert into user_table (user_name, user_pass) values ('小李', 'abcdef')"));
        QCOMPARE(*SetOperatorEnabled(QStringLiteral("小李"), false), OperatorChange::Changed);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("abcdef")), Login::Disabled);
        // A wrong password says nothing about the account.
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("abcdeg")),
                 Login::WrongPassword);
        QCOMPARE(*OperatorNames(), QStringList{QStringLiteral("管理员")});
        QCOMPARE(*SetOperatorEnabled(QStringLiteral("小李"), true), OperatorChange::Changed);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("abcdef")), Login::Accepted);
        QCOMPARE(*SetOperatorEnabled(QStringLiteral("无名"), false),
                 OperatorChange::UnknownOperator);
    }

    // A reset password lets the operator in once, to set their own; the reset asks for no
    // current password, their own change does.
    void resetPasswordMustBeReplaced() {
        TestDatabase::exec(QStringLiteral(
            "insert into user_table (user_name, user_pass) values ('小李', 'forgotten')"));
        QCOMPARE(*ResetPassword(QStringLiteral("小李"), QStringLiteral("temp-123"),
                                QStringLiteral("temp-123")),
                 PasswordChange::Changed);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("forgotten")),
                 Login::WrongPassword);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("temp-123")),
                 Login::PasswordDue);
        QCOMPARE(*ChangePassword(QStringLiteral("小李"), QStringLiteral("temp-123"),
                                 QStringLiteral("mine-456"), QStringLiteral("mine-456")),
                 PasswordChange::Changed);
        QCOMPARE(*CheckLogin(QStringLiteral("小李"), QStringLiteral("mine-456")), Login::Accepted);
    }

    // Neither disabling nor another role may leave no enabled administrator; what was refused
    // is taken back whole.
    void oneEnabledAdministratorRemains() {
        const QString admin = QStringLiteral("管理员");
        const QString other = QStringLiteral("老王");
        auto state = [] {
            return TestDatabase::rowsText(QStringLiteral(
                "select user_name, user_role, user_enabled from user_table order by rowid"));
        };
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_role) "
                           "values ('小李', '店员')"));
        const QString alone = state();
        QCOMPARE(*SetOperatorEnabled(admin, false), OperatorChange::LastAdministrator);
        QCOMPARE(*SetOperatorRole(admin, Role::Clerk), OperatorChange::LastAdministrator);
        QCOMPARE(state(), alone);

        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_role) "
                           "values ('老王', '管理员')"));
        QCOMPARE(*SetOperatorEnabled(admin, false), OperatorChange::Changed);
        QCOMPARE(*SetOperatorEnabled(other, false), OperatorChange::LastAdministrator);
        QCOMPARE(*SetOperatorRole(other, Role::Clerk), OperatorChange::LastAdministrator);
        // A disabled administrator does not count; made a clerk, they may still be.
        QCOMPARE(*SetOperatorRole(admin, Role::Clerk), OperatorChange::Changed);
        QCOMPARE(*SetOperatorRole(QStringLiteral("小李"), Role::Administrator),
                 OperatorChange::Changed);
        QCOMPARE(*SetOperatorEnabled(other, false), OperatorChange::Changed);
        QCOMPARE(state(), QStringLiteral("管理员|店员|0;小李|管理员|1;老王|管理员|0"));
    }

    // Each failure doubles the pause before that name's next attempt; a success ends it, and
    // other names are not held up.
    void failedLoginsSlowTheNextAttempt() {
        const QDateTime pinned = Now();
        const QDateTime start(QDate(2026, 12, 8), QTime(9, 0));
        SetClock(start);
        LoginThrottle throttle;
        const QString name = QStringLiteral("管理员");
        QCOMPARE(throttle.secondsToWait(name), 0);
        const int expected[] = {1, 2, 4, 8, 16, 32, 60, 60};
        for (const int pause : expected) {
            throttle.failed(name);
            QCOMPARE(throttle.secondsToWait(name), pause);
        }
        QCOMPARE(throttle.secondsToWait(QStringLiteral("张三")), 0);
        SetClock(start.addSecs(45));
        QCOMPARE(throttle.secondsToWait(name), 15);
        SetClock(start.addSecs(60));
        QCOMPARE(throttle.secondsToWait(name), 0);
        // A clock set back does not serve the pause.
        SetClock(start.addSecs(-3600));
        QCOMPARE(throttle.secondsToWait(name), 60);
        throttle.succeeded(name);
        QCOMPARE(throttle.secondsToWait(name), 0);
        throttle.failed(name);
        QCOMPARE(throttle.secondsToWait(name), 1);
        SetClock(pinned);
    }

    // With two rows of one name the login checks the first, so that is the one changed.
    void changePasswordOfTheRowTheLoginChecks() {
        TestDatabase::exec(QStringLiteral(
            "insert into user_table (user_name, user_pass) values ('管理员', 'second')"));
        QCOMPARE(*ChangePassword(QStringLiteral("管理员"), QStringLiteral("888888"),
                                 QStringLiteral("n3w-pass"), QStringLiteral("n3w-pass")),
                 PasswordChange::Changed);
        QCOMPARE(*CheckLogin(QStringLiteral("管理员"), QStringLiteral("n3w-pass")),
                 Login::Accepted);
        QCOMPARE(TestDatabase::scalar(
                     "select user_pass from user_table where user_name='管理员' order by rowid "
                     "limit 1 offset 1")
                     .toString(),
                 QStringLiteral("second"));
    }
};

QTEST_GUILESS_MAIN(TestOperators)
#include "test_operators.moc"
