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
        TestDatabase::exec(QStringLiteral("insert into user_table values ('小李', '1')"));
        TestDatabase::exec(QStringLiteral("insert into user_table values ('老王', '2')"));
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
        TestDatabase::exec(QStringLiteral("insert into user_table values ('双', ?)"),
                           {HashPassword(QStringLiteral("first"))});
        TestDatabase::exec(QStringLiteral("insert into user_table values ('双', ?)"),
                           {HashPassword(QStringLiteral("second"))});
        TestDatabase::exec(QStringLiteral("insert into user_table values ('空', '')"));
        const DbResult<Login> login = CheckLogin(name, password);
        QVERIFY(login.ok());
        QCOMPARE(int(*login), expected);
    }

    // A password kept as plain text is hashed once it has matched, and still works afterwards.
    void plainPasswordIsHashedOnFirstLogin() {
        TestDatabase::exec(QStringLiteral("insert into user_table values ('旧', 'abc')"));
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
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<int>("expected");
        QTest::newRow("changed") << "管理员"
                                 << "n3w-pass"
                                 << "n3w-pass" << int(PasswordChange::Changed);
        QTest::newRow("empty password, before the lookup")
            << "无名"
            << ""
            << "x" << int(PasswordChange::PasswordEmpty);
        QTest::newRow("empty confirmation") << "管理员"
                                            << "x"
                                            << "" << int(PasswordChange::ConfirmationEmpty);
        QTest::newRow("unknown operator, before the comparison")
            << "无名"
            << "a"
            << "b" << int(PasswordChange::UnknownOperator);
        QTest::newRow("letter case counts") << "管理员"
                                            << "New"
                                            << "new" << int(PasswordChange::Mismatch);
        QTest::newRow("blanks are a password") << "管理员"
                                               << "      "
                                               << "      " << int(PasswordChange::Changed);
        QTest::newRow("five characters") << "管理员"
                                         << "abcde"
                                         << "abcde" << int(PasswordChange::Refused);
        QTest::newRow("the seed password again") << "管理员"
                                                 << "888888"
                                                 << "888888" << int(PasswordChange::Refused);
    }
    void changePassword() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(int, expected);
        const QString stored = StoredPassword(QStringLiteral("管理员"));
        const DbResult<PasswordChange> changed = ChangePassword(name, password, confirmation);
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
        QCOMPARE(*ChangePassword(QStringLiteral("管理员"), QStringLiteral("first-1"),
                                 QStringLiteral("first-1")),
                 PasswordChange::Changed);
        const QString stored = StoredPassword(QStringLiteral("管理员"));
        QCOMPARE(*ChangePassword(QStringLiteral("管理员"), QStringLiteral("first-1"),
                                 QStringLiteral("first-1")),
                 PasswordChange::SameAsBefore);
        QCOMPARE(StoredPassword(QStringLiteral("管理员")), stored);
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
        TestDatabase::exec(QStringLiteral("insert into user_table values ('管理员', 'second')"));
        QCOMPARE(*ChangePassword(QStringLiteral("管理员"), QStringLiteral("n3w-pass"),
                                 QStringLiteral("n3w-pass")),
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
