#include <signal.h>

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "core/clock.h"
#include "customers/customer_store.h"
#include "data/database.h"
#include "data/pg_connection.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "repairs/order_entry.h"
#include "support/pg_server.h"

// Several workstations on one server, each its own process with its own connection, as a shop
// runs them: the test starts this same program again as a station.
namespace {

const QDate kDay(2026, 12, 7);

Order StationOrder(const QString& number) {
    Order order;
    order.key = NewRecordKey();
    order.number = number;
    order.plate = QStringLiteral("京A1");
    order.owner = QStringLiteral("张三");
    order.total = 155.5;
    order.operatorName = QStringLiteral("管理员");
    order.date = kDay;
    order.nextReminder = kDay.addMonths(3);
    order.lines = {{QStringLiteral("更换机油"), QString(), 1, 120, 120},
                   {QStringLiteral("机滤"), QString(), 1, 35.5, 35.5}};
    return order;
}

Customer StationCustomer(const QString& plate) {
    Customer customer;
    customer.key = NewRecordKey();
    customer.plate = plate;
    customer.owner = QStringLiteral("李四");
    return customer;
}

// What a station process does; its exit status says how it went.
int RunStation(const QStringList& arguments) {
    const QString task = arguments.value(0);
    const QString uri = arguments.value(1);
    QTemporaryDir dir;
    if (!Database::OpenServer(uri, dir.path()).ok) {
        return 10;
    }
    SetClock(QDateTime(kDay, QTime(9, 0)));
    if (task == QLatin1String("orders")) {
        // Each order under the number the window would offer when it opens.
        for (int i = 0; i < arguments.value(2).toInt(); ++i) {
            const DbResult<QString> next = ProposeOrderSequence(kDay);
            if (!next) {
                return 11;
            }
            const auto saved =
                SaveOrder(StationOrder(OrderDatePart(kDay) + *next), NumberSource::Offered);
            if (!saved || saved->outcome != OrderSave::Saved) {
                return 12;
            }
        }
        return 0;
    }
    if (task == QLatin1String("plate")) {
        const auto added = AddCustomer(StationCustomer(arguments.value(2)));
        return !added ? 13 : *added == CustomerAdd::Added ? 0 : 1;
    }
    if (task == QLatin1String("edit")) {
        const auto found = FindCustomerByPlate(QStringLiteral("京A1"));
        if (!found || !found->has_value()) {
            return 16;
        }
        Customer edited = **found;
        edited.telephone = arguments.value(2);
        const auto updated = UpdateCustomer(edited, **found);
        return updated && *updated == CustomerUpdate::Updated ? 0 : 17;
    }
    if (task == QLatin1String("hang")) {
        // A save that stops between its header and its lines until the process is killed: a
        // trigger set up by the test waits on a lock the test holds.
        std::printf("saving\n");
        std::fflush(stdout);
        SaveOrder(StationOrder(OrderDatePart(kDay) + QStringLiteral("900")), NumberSource::Typed);
        return 14;
    }
    return 15;
}

PgServer& Server() {
    static PgServer server;
    return server;
}

std::unique_ptr<QProcess> StartStation(const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QCoreApplication::applicationFilePath(),
                   QStringList{QStringLiteral("--station")} + arguments);
    return process;
}

}  // namespace

class TestStations : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString uri_;

    qint64 Count(const QString& statement) { return RunSql(statement).Text(0).toLongLong(); }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(Server().ok(), qPrintable(Server().message())); }

    void init() {
        const QString name = Server().createDatabase();
        QVERIFY2(!name.isEmpty(), qPrintable(Server().message()));
        uri_ = Server().uri(name);
        QVERIFY(Database::OpenServer(uri_, dir_.path()).ok);
        QVERIFY(AddCustomer(StationCustomer(QStringLiteral("京A1"))).ok());
    }

    void cleanup() { Database::Close(); }

    // Four stations saving 250 orders each at once, each under the number its window offered:
    // 1,000 orders with 1,000 distinct numbers, and every line.
    void fourStationsNeverShareANumber() {
        std::vector<std::unique_ptr<QProcess>> stations;
        for (int i = 0; i < 4; ++i) {
            stations.push_back(
                StartStation({QStringLiteral("orders"), uri_, QStringLiteral("250")}));
        }
        for (auto& station : stations) {
            QVERIFY(station->waitForFinished(300000));
            QCOMPARE(station->exitCode(), 0);
        }
        QCOMPARE(Count(QStringLiteral("select count(*) from kh_wx_table")), 1000);
        QCOMPARE(Count(QStringLiteral("select count(distinct kh_wx_dh) from kh_wx_table")), 1000);
        QCOMPARE(Count(QStringLiteral("select count(*) from kh_wx_mx_table")), 2000);
        QCOMPARE(Count(QStringLiteral("select count(*) from kh_wx_table w where 2 <> (select "
                                      "count(*) from kh_wx_mx_table m where m.kh_wx_mx_dh = "
                                      "w.kh_wx_dh)")),
                 0);
    }

    // Two stations adding the same new plate at the same moment store one customer.
    void twoStationsAddingOnePlateStoreOne() {
        for (int round = 0; round < 5; ++round) {
            const QString plate = QStringLiteral("苏E%1").arg(round);
            auto first = StartStation({QStringLiteral("plate"), uri_, plate});
            auto second = StartStation({QStringLiteral("plate"), uri_, plate});
            QVERIFY(first->waitForFinished(60000) && second->waitForFinished(60000));
            QCOMPARE(first->exitCode() + second->exitCode(), 1);  // one added, one told taken
            QCOMPARE(
                Count(
                    QStringLiteral("select count(*) from kh_table where kh_cph = '%1'").arg(plate)),
                1);
        }
    }

    // A customer opened here and changed by another station meanwhile is not written over.
    void anEditMadeElsewhereIsNotWrittenOver() {
        const auto loaded = FindCustomerByPlate(QStringLiteral("京A1"));
        QVERIFY(loaded && loaded->has_value());
        auto other = StartStation({QStringLiteral("edit"), uri_, QStringLiteral("13900000000")});
        QVERIFY(other->waitForFinished(60000));
        QCOMPARE(other->exitCode(), 0);
        Customer edited = **loaded;
        edited.telephone = QStringLiteral("13700000000");
        const auto updated = UpdateCustomer(edited, **loaded);
        QVERIFY2(updated.ok(), qPrintable(updated.error()));
        QCOMPARE(*updated, CustomerUpdate::ChangedElsewhere);
        QCOMPARE(RunSql(QStringLiteral("select kh_tele from kh_table")).Text(0),
                 QStringLiteral("13900000000"));
    }

    // A station killed in the middle of a save leaves no half order: the server rolls back
    // what its transaction wrote.
    void aStationKilledMidSaveLeavesNoHalfOrder() {
        PgConnection test(uri_);
        QVERIFY(test.exec(QStringLiteral("create function hold() returns trigger language plpgsql "
                                         "as $$ begin perform pg_advisory_lock(4242); "
                                         "perform pg_advisory_unlock(4242); return new; end $$"))
                    .ok());
        QVERIFY(test.exec(QStringLiteral("create trigger hold before insert on kh_wx_mx_table "
                                         "for each row execute function hold()"))
                    .ok());
        QVERIFY(test.exec(QStringLiteral("select pg_advisory_lock(4242)")).ok());
        auto station = StartStation({QStringLiteral("hang"), uri_});
        QVERIFY(station->waitForReadyRead(30000));
        // Wait until the header is written and the station waits in its first line.
        QElapsedTimer waited;
        waited.start();
        bool waiting = false;
        while (!waiting && waited.elapsed() < 30000) {
            const PgResult locks = test.exec(QStringLiteral(
                "select count(*) from pg_stat_activity where wait_event_type = 'Lock' and "
                "query like 'insert into kh_wx_mx_table%'"));
            waiting = locks.ok() && locks.row(0).text(0) == QLatin1String("1");
            QTest::qWait(20);
        }
        QVERIFY(waiting);
        ::kill(pid_t(station->processId()), SIGKILL);
        QVERIFY(station->waitForFinished(10000));
        QVERIFY(test.exec(QStringLiteral("select pg_advisory_unlock(4242)")).ok());
        // The server ends the dead station's session and rolls its transaction back.
        waited.restart();
        qint64 sessions = 1;
        while (sessions > 0 && waited.elapsed() < 30000) {
            const PgResult left = test.exec(QStringLiteral(
                "select count(*) from pg_stat_activity where application_name = 'ruvaso' and "
                "pid <> pg_backend_pid() and datname = current_database()"));
            sessions = left.ok() ? left.row(0).text(0).toLongLong() - 1 : 1;
            QTest::qWait(20);
        }
        QCOMPARE(Count(QStringLiteral("select count(*) from kh_wx_table")), 0);
        QCOMPARE(Count(QStringLiteral("select count(*) from kh_wx_mx_table")), 0);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--station") {
        QStringList arguments = QCoreApplication::arguments().mid(2);
        const int status = RunStation(arguments);
        Database::Close();
        return status;
    }
    TestStations test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_stations.moc"
