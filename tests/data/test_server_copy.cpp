#include <QProcess>
#include <QTest>
#include <memory>

#include "data/database.h"
#include "data/pg_connection.h"
#include "data/pg_schema.h"
#include "data/run_sql.h"
#include "data/server_copy.h"
#include "support/database_fixture.h"
#include "support/pg_server.h"

namespace {

// Every table of the shop, in the order the schema makes them.
const QStringList& Tables() {
    static const QStringList tables = SchemaTables();
    return tables;
}

PgServer& Server() {
    static PgServer server;
    return server;
}

// Every row of every table in save order, row ids included, as the program reads them.
QStringList Everything() {
    QStringList all;
    for (const QString& table : Tables()) {
        // On the server "select *" carries the row id last, as "select *, rowid" does on a file.
        const QString select = Database::Engine() == sql::Engine::Postgres
                                   ? QStringLiteral("select * from %1 order by rowid")
                                   : QStringLiteral("select *, rowid from %1 order by rowid");
        all << table + QLatin1Char(':') + TestDatabase::rowsText(select.arg(table));
    }
    return all;
}

QStringList ServerTables(const QString& uri) {
    PgConnection connection(uri);
    const PgResult tables = connection.exec(QStringLiteral(
        "select tablename from pg_tables where schemaname = 'public' order by tablename"));
    QStringList names;
    for (int i = 0; i < tables.rows(); ++i) {
        names << tables.row(i).text(0);
    }
    return names;
}

// A shop with texts the copy format must escape, rows deleted in between (gaps in the save
// order) and orders with lines.
void FillShop() {
    const QStringList owners = {QStringLiteral("张\t三"), QStringLiteral("李\n四"),
                                QStringLiteral("王\\N五"), QStringLiteral("O'Brien \"老王\" 😀")};
    for (int i = 0; i < owners.size(); ++i) {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{C%1}").arg(i), QStringLiteral("京A%1").arg(i), owners[i]));
    }
    TestDatabase::exec(QStringLiteral("delete from kh_table where kh_code = '{C1}'"));
    Order order =
        TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), QStringLiteral("京A0"), 155.5);
    order.lines = {{QStringLiteral("更换机油"), QStringLiteral("5W-30\\全合成"), 1, 120, 120},
                   {QStringLiteral("机滤"), QString(), 1, 35.5, 35.5}};
    TestDatabase::addOrder(order);
    TestDatabase::addOrder(TestDatabase::sampleOrder(QStringLiteral(" 20261206002"),
                                                     QStringLiteral("京A2"), 0.1 + 0.2));
    TestDatabase::exec(
        QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, "
                       "kh_tele_txnr) values ('{T1}', '京A0', '保养\r\n提醒')"));
}

}  // namespace

class TestServerCopy : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> db_;
    QString uri_;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(Server().ok(), qPrintable(Server().message())); }

    void init() {
        db_ = std::make_unique<TestDatabase>();
        QVERIFY2(db_->ok(), qPrintable(db_->message()));
        const QString name = Server().createDatabase();
        QVERIFY2(!name.isEmpty(), qPrintable(Server().message()));
        uri_ = Server().uri(name);
    }

    void cleanup() {
        Database::Close();
        db_.reset();
    }

    // The server ends up with exactly the file's rows, in the same save order, and new rows
    // continue after the copied ones.
    void copiesEveryRowInSaveOrder() {
        FillShop();
        const QStringList before = Everything();
        QStringList told;
        const CopyReport report =
            CopyShopToServer(uri_, [&](const CopyProgress& step) { told << step.table; });
        QVERIFY2(report.ok, qPrintable(report.message));
        QCOMPARE(report.tables.size(), Tables().size());
        for (const CopiedTable& table : report.tables) {
            QVERIFY(table.matches());
        }
        QVERIFY(told.contains(QStringLiteral("kh_wx_mx_table")));
        QCOMPARE(report.textAmounts, 0);

        const qint64 lastCustomer =
            TestDatabase::scalar(QStringLiteral("select max(rowid) from kh_table")).toLongLong();
        Database::Close();
        QVERIFY(Database::OpenServer(uri_, db_->dir()).ok);
        QCOMPARE(Everything(), before);
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{NEW}"), QStringLiteral("京B1"), QStringLiteral("新")));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select rowid from kh_table where kh_code = '{NEW}'"))
                     .toLongLong(),
                 lastCustomer + 1);
    }

    // An amount a file holds as text is stored as the number the file's own sums read.
    void textAmountsBecomeTheirNumbers() {
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), QStringLiteral("京A1"), 1));
        TestDatabase::exec(QStringLiteral("update kh_wx_table set kh_wx_hj = '12.5元'"));
        const CopyReport report = CopyShopToServer(uri_);
        QVERIFY2(report.ok, qPrintable(report.message));
        QCOMPARE(report.textAmounts, 1);
        Database::Close();
        QVERIFY(Database::OpenServer(uri_, db_->dir()).ok);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_wx_hj from kh_wx_table")),
                 QVariant(12.5));
    }

    // A database that holds anything is not ours to fill.
    void refusesADatabaseThatIsNotEmpty() {
        {
            PgConnection connection(uri_);
            QVERIFY(connection.exec(QStringLiteral("create table accounts (id int)")).ok());
        }
        const CopyReport report = CopyShopToServer(uri_);
        QVERIFY(!report.ok);
        QVERIFY2(report.message.contains(QStringLiteral("不是空的")), qPrintable(report.message));
        QCOMPARE(ServerTables(uri_), QStringList{QStringLiteral("accounts")});
    }

    // The server going away halfway leaves nothing behind; the copy can simply be run again.
    void aServerLostHalfwayKeepsNothing() {
        TestDatabase::exec(QStringLiteral(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 30000) "
            "insert into kh_wx_mx_table (kh_wx_mx_code, kh_wx_mx_dh, kh_wx_mx_hj) "
            "select 'L' || i, ' 20261206001', i from n"));
        bool stopped = false;
        const CopyReport report = CopyShopToServer(uri_, [&](const CopyProgress& step) {
            if (step.table == QLatin1String("kh_wx_mx_table") && step.copied > 0 && !stopped) {
                stopped = Server().stop();
            }
        });
        QVERIFY(stopped);
        QVERIFY(!report.ok);
        QVERIFY(!report.message.isEmpty());
        QVERIFY2(Server().start(), qPrintable(Server().message()));
        QCOMPARE(ServerTables(uri_), QStringList());
        const CopyReport again = CopyShopToServer(uri_);
        QVERIFY2(again.ok, qPrintable(again.message));
        QCOMPARE(again.tables.at(Tables().indexOf(QStringLiteral("kh_wx_mx_table"))).serverRows,
                 30000);
    }

    // The command line a script uses: counts on standard output, a refusal with status 1.
    void copiesFromTheCommandLine() {
        FillShop();
        Database::Close();
        auto run = [&](QProcess& process) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
                environment.remove(QString::fromLatin1(name));
            }
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(RUVASO_PROGRAM), {QStringLiteral("--data-dir"), db_->dir(),
                                                           QStringLiteral("--copy-to"), uri_});
            QVERIFY(process.waitForFinished(60000));
        };
        QProcess first;
        run(first);
        const QString out = QString::fromUtf8(first.readAllStandardOutput());
        QCOMPARE(first.exitCode(), 0);
        QVERIFY2(out.contains(QStringLiteral("kh_table\t3 行")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("kh_wx_table\t2 行\t金额合计 155.80")),
                 qPrintable(out));
        QProcess second;
        run(second);
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(
            QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("不是空的")));
    }
};

QTEST_GUILESS_MAIN(TestServerCopy)
#include "test_server_copy.moc"
