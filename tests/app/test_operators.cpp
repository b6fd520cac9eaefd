#include <QTest>

#include "app/operators.h"
#include "data/password.h"
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
};

QTEST_GUILESS_MAIN(TestOperators)
#include "test_operators.moc"
