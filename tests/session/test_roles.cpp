#include <QFile>
#include <QTest>
#include <functional>

#include "data/database.h"
#include "masterdata/master_list.h"
#include "masterdata/restore_rights.h"
#include "masterdata/shop_profile.h"
#include "session/connection_settings.h"
#include "session/current_operator.h"
#include "session/operators.h"
#include "session/roles.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"
#include "support/scratch_settings.h"

namespace {

using Attempt = std::function<QString()>;

template <class T>
QString Refusal(const DbResult<T>& result) {
    return result ? QString() : result.error();
}

// Everything the tables an administrator keeps hold, to tell that a refusal changed nothing.
QString Kept() {
    return TestDatabase::rowsText(QStringLiteral(
               "select user_name, user_pass, user_role, user_enabled, user_reset from user_table "
               "order by rowid")) +
           TestDatabase::rowsText(QStringLiteral("select * from xm_table order by xm_code")) +
           TestDatabase::rowsText(QStringLiteral("select * from wxjs_table order by wxjs_code")) +
           TestDatabase::rowsText(
               QStringLiteral("select re_name, re_address, re_tele from regedit_table"));
}

}  // namespace

Q_DECLARE_METATYPE(Attempt)

class TestRoles : public RuleTest {
    Q_OBJECT

    std::unique_ptr<ScratchSettings> settings_;

private Q_SLOTS:
    void init() {
        RuleTest::init();
        settings_ = std::make_unique<ScratchSettings>();
        TestDatabase::exec(
            QStringLiteral("insert into xm_table (xm_code, xm_name, xm_je) values "
                           "('{I1}', '换机油', 120)"));
        TestDatabase::exec(QStringLiteral(
            "insert into wxjs_table (wxjs_code, wxjs_name) values ('{T1}', '张师傅')"));
        TestDatabase::exec(
            QStringLiteral("insert into user_table (user_name, user_pass, user_role) values "
                           "('老王', '', '店员')"));
    }

    // Every store function behind an administrator's action refuses a clerk with the reason,
    // and changes nothing, whatever window called it.
    void aClerkIsRefusedInTheStore_data() {
        QTest::addColumn<Attempt>("attempt");
        const QString name = QStringLiteral("老王");
        const QString password = QStringLiteral("abcdef");
        QTest::newRow("add an operator") << Attempt(
            [=] { return Refusal(AddOperator(QStringLiteral("小周"), password, password)); });
        QTest::newRow("list the operators") << Attempt([] { return Refusal(ListOperators()); });
        QTest::newRow("reset a password")
            << Attempt([=] { return Refusal(ResetPassword(name, password, password)); });
        QTest::newRow("disable an operator")
            << Attempt([=] { return Refusal(SetOperatorEnabled(name, false)); });
        QTest::newRow("make oneself administrator") << Attempt(
            [] { return Refusal(SetOperatorRole(QStringLiteral("小李"), Role::Administrator)); });
        QTest::newRow("shop profile") << Attempt([] {
            return Refusal(SaveShopProfile({QStringLiteral("别家"), QString(), QString()}));
        });
        QTest::newRow("add to the price list")
            << Attempt([] { return Refusal(AddMasterRow(RepairItemTable())); });
        QTest::newRow("change a price") << Attempt([] {
            return Refusal(SaveMasterRows(RepairItemTable(),
                                          {{QStringLiteral("{I1}"), QStringLiteral("换机油"),
                                            QStringLiteral("1"), std::nullopt}}));
        });
        QTest::newRow("delete a technician") << Attempt(
            [] { return Refusal(DeleteMasterRow(TechnicianTable(), QStringLiteral("{T1}"))); });
        QTest::newRow("rename a technician") << Attempt([] {
            return Refusal(SaveMasterRows(
                TechnicianTable(),
                {{QStringLiteral("{T1}"), QStringLiteral("李师傅"), QString(), std::nullopt}}));
        });
        QTest::newRow("store a server") << Attempt([] {
            return Refusal(StoreServer(
                Database::DataDir(),
                {QStringLiteral("db.example"), QString(), QStringLiteral("shop"), QString()},
                QStringLiteral("secret")));
        });
        QTest::newRow("go back to the file")
            << Attempt([] { return Refusal(ForgetServer(Database::DataDir())); });
        QTest::newRow("restore the server") << Attempt([] {
            const QString refusal = Refusal(CloseForServerRestore());
            return Database::IsOpen() ? refusal : QStringLiteral("closed");
        });
    }
    void aClerkIsRefusedInTheStore() {
        QFETCH(Attempt, attempt);
        TestDatabase::logInAs(QStringLiteral("小李"), Role::Clerk);
        const QString before = Kept();
        const QString refusal = attempt();
        QVERIFY2(refusal.startsWith(QStringLiteral("只有管理员可以")), qPrintable(refusal));
        QVERIFY2(refusal.contains(QStringLiteral("“小李”是店员")), qPrintable(refusal));
        QCOMPARE(Kept(), before);
        QVERIFY(!StoredServer(Database::DataDir()));
    }

    // A restore prepared meanwhile is not put in place for a clerk, and its files go.
    void aClerkCannotFinishARestore() {
        TestDatabase::logInAs(QStringLiteral("小李"), Role::Clerk);
        RestorePlan plan;
        plan.dataDir = db_->dir();
        plan.live = Database::FilePath();
        plan.staged = db_->dir() + QStringLiteral("/staged.db");
        plan.safetyDraft = db_->dir() + QStringLiteral("/safety.draft");
        for (const QString& path : {plan.staged, plan.safetyDraft}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const DbStatus finished = FinishRestoreAsOperator(plan);
        QVERIFY(!finished);
        QVERIFY(finished.error().startsWith(QStringLiteral("只有管理员可以恢复数据")));
        QVERIFY(!QFile::exists(plan.staged));
        QVERIFY(!QFile::exists(plan.safetyDraft));
        QVERIFY(Database::IsOpen());
    }

    // Who is asked: an administrator may do everything; a clerk, an administrator disabled or
    // removed meanwhile (at another station) may not; with nobody logged in (the command line)
    // nothing is refused. A clerk may still change their own password.
    void whoMay_data() {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("administrator") << ""
                                       << "";
        QTest::newRow("clerk")
            << "update user_table set user_role = '店员' where user_name = '小李'"
            << "只有管理员可以%1，当前用户“小李”是店员。";
        QTest::newRow("disabled")
            << "update user_table set user_enabled = 0 where user_name = '小李'"
            << "当前用户“小李”已被停用，不能%1。";
        QTest::newRow("removed") << "delete from user_table where user_name = '小李'"
                                 << "当前用户“小李”已不在用户列表中，不能%1。";
        QTest::newRow("nobody logged in") << "-"
                                          << "";
    }
    void whoMay() {
        QFETCH(QString, setUp);
        QFETCH(QString, refusal);
        TestDatabase::logInAs(QStringLiteral("小李"), Role::Administrator);
        if (setUp == QLatin1String("-")) {
            SetCurrentOperator(QString());
        } else if (!setUp.isEmpty()) {
            TestDatabase::exec(setUp);
        }
        const std::pair<Guarded, QString> actions[] = {
            {Guarded::Operators, QStringLiteral("管理用户")},
            {Guarded::Restore, QStringLiteral("恢复数据")},
            {Guarded::DatabaseConnection, QStringLiteral("更改数据库连接")},
            {Guarded::ShopProfile, QStringLiteral("修改店铺信息")},
            {Guarded::PriceList, QStringLiteral("修改维修项目")},
            {Guarded::Technicians, QStringLiteral("修改维修技师")},
            {Guarded::CorrectOrder, QStringLiteral("修改维修单")},
            {Guarded::VoidOrder, QStringLiteral("作废维修单")},
            {Guarded::CorrectPlate, QStringLiteral("更正车牌")},
        };
        for (const auto& [action, words] : actions) {
            QCOMPARE(RefusalFor(action), refusal.isEmpty() ? QString() : refusal.arg(words));
        }
    }

    void aClerkChangesTheirOwnPassword() {
        TestDatabase::exec(
            QStringLiteral("update user_table set user_pass = 'old-pass' where "
                           "user_name = '老王'"));
        SetCurrentOperator(QStringLiteral("老王"));
        QCOMPARE(*ChangePassword(QStringLiteral("老王"), QStringLiteral("old-pass"),
                                 QStringLiteral("new-pass"), QStringLiteral("new-pass")),
                 PasswordChange::Changed);
        QCOMPARE(*CheckLogin(QStringLiteral("老王"), QStringLiteral("new-pass")), Login::Accepted);
    }
};

QTEST_GUILESS_MAIN(TestRoles)
#include "test_roles.moc"
