#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "core/data_changes.h"
#include "data/database.h"
#include "data/pg_connection.h"
#include "data/run_sql.h"
#include "support/pg_server.h"

namespace {

PgServer& Server() {
    static PgServer server;
    return server;
}

// What a second station on the same database hears within `ms`.
QStringList HeardBy(PgConnection& station, int ms = 3000) {
    QStringList heard;
    QElapsedTimer waited;
    waited.start();
    while (heard.isEmpty() && waited.elapsed() < ms) {
        for (const auto& notice : station.takeNotifications()) {
            heard << notice.second;
        }
        QTest::qWait(20);
    }
    return heard;
}

}  // namespace

// Lists on one station follow what the other stations save.
class TestServerNotices : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString uri_;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(Server().ok(), qPrintable(Server().message())); }

    void init() {
        const QString name = Server().createDatabase();
        QVERIFY2(!name.isEmpty(), qPrintable(Server().message()));
        uri_ = Server().uri(name);
        const Database::OpenResult opened = Database::OpenServer(uri_, dir_.path());
        QVERIFY2(opened.ok, qPrintable(opened.message));
    }

    void cleanup() {
        Database::Close();
        if (!Server().running()) {
            QVERIFY2(Server().start(), qPrintable(Server().message()));
        }
    }

    void anotherStationsSavesReachTheWindows() {
        QSignalSpy customers(DataChanges::instance(), &DataChanges::customers);
        QSignalSpy orders(DataChanges::instance(), &DataChanges::order);
        PgConnection other(uri_);
        QVERIFY(other.exec(QStringLiteral("select pg_notify('ruvaso_changes', 'customers')")).ok());
        QVERIFY(
            other.exec(QStringLiteral("select pg_notify('ruvaso_changes', 'order:京A1')")).ok());
        QTRY_COMPARE(customers.count(), 1);
        QTRY_COMPARE(orders.count(), 1);
        QCOMPARE(orders.first().first().toString(), QStringLiteral("京A1"));
    }

    // This station's saves reach the others once, and do not come back to itself.
    void ownSavesGoOutOnce() {
        PgConnection other(uri_);
        QVERIFY(other.exec(QStringLiteral("listen ruvaso_changes")).ok());
        QSignalSpy customers(DataChanges::instance(), &DataChanges::customers);
        DataChanges::orderSaved(QStringLiteral("京B2"));
        QCOMPARE(HeardBy(other), QStringList{QStringLiteral("order:京B2")});
        DataChanges::customersChanged();
        QCOMPARE(customers.count(), 1);
        QTest::qWait(1500);
        QCOMPARE(customers.count(), 1);
    }

    // A list checks the change mark on every page; another station's save moves it at once,
    // without a round trip, and what it says reaches the windows later from the event loop.
    void anotherStationsSaveMovesTheChangeMark() {
        const auto before = Database::ChangeMark();
        QSignalSpy orders(DataChanges::instance(), &DataChanges::order);
        PgConnection other(uri_);
        QVERIFY(
            other.exec(QStringLiteral("select pg_notify('ruvaso_changes', 'order:京C3')")).ok());
        QElapsedTimer waited;
        waited.start();
        while (Database::ChangeMark() == before && waited.elapsed() < 3000) {
            QThread::msleep(10);
        }
        QVERIFY(Database::ChangeMark() != before);
        QCOMPARE(orders.count(), 0);
        QTRY_COMPARE(orders.count(), 1);
        // This station's own writes move it too.
        const auto mine = Database::ChangeMark();
        QVERIFY(!RunSql(QStringLiteral("insert into cp_table (cp_name) values ('苏')")).isNull());
        QVERIFY(Database::ChangeMark() != mine);
    }

    // After the server restarts, the station reconnects and listens again.
    void listensAgainAfterAReconnect() {
        QVERIFY(Server().stop());
        QVERIFY(Server().start());
        QVERIFY(RunSql(QStringLiteral("select 1")).isNull());   // tells the loss
        QVERIFY(!RunSql(QStringLiteral("select 1")).isNull());  // reconnects
        QSignalSpy customers(DataChanges::instance(), &DataChanges::customers);
        PgConnection other(uri_);
        QVERIFY(other.exec(QStringLiteral("select pg_notify('ruvaso_changes', 'customers')")).ok());
        QTRY_COMPARE(customers.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestServerNotices)
#include "test_server_notices.moc"
