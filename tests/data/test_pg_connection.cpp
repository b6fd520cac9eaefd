#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <memory>

#include "data/pg_connection.h"
#include "support/pg_server.h"

namespace {

// Run as a child with this argument, the test program starts a server, says where it is and
// waits to be killed.
constexpr char kServeUntilKilled[] = "--serve-until-killed";

int ServeUntilKilled(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PgServer server;
    QTextStream out(stdout);
    if (!server.ok()) {
        out << "failed " << server.message() << Qt::endl;
        return 1;
    }
    out << server.processTag() << ' ' << server.folder() << Qt::endl;
    QThread::sleep(600);
    return 0;
}

// Waits until no process of the server is left; the ones still there otherwise.
QStringList WaitForNoProcesses(const QString& tag, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QStringList left = PgServer::processesTagged(tag);
    while (!left.isEmpty() && !deadline.hasExpired()) {
        QThread::msleep(100);
        left = PgServer::processesTagged(tag);
    }
    return left;
}

QString Scalar(PgConnection& connection, const QString& statement,
               const QVariantList& params = {}) {
    const PgResult result = connection.exec(statement, params);
    if (!result.ok() || result.rows() != 1) {
        return QStringLiteral("<%1>").arg(result.error());
    }
    return result.row(0).text(0);
}

}  // namespace

class TestPgConnection : public QObject {
    Q_OBJECT

    std::unique_ptr<PgServer> server_;
    std::unique_ptr<PgConnection> db_;

private Q_SLOTS:
    void initTestCase() {
        QElapsedTimer timer;
        timer.start();
        server_ = std::make_unique<PgServer>();
        QVERIFY2(server_->ok(), qPrintable(server_->message()));
        qInfo("private server up in %lld ms", timer.elapsed());
        // The clean-up check below only means something if it can see a running server.
        QVERIFY(!PgServer::processesTagged(server_->processTag()).isEmpty());
    }

    void init() {
        const QString database = server_->createDatabase();
        QVERIFY2(!database.isEmpty(), qPrintable(server_->message()));
        db_ = std::make_unique<PgConnection>(server_->uri(database));
        QVERIFY2(db_->ok(), qPrintable(db_->error()));
    }

    void cleanup() { db_.reset(); }

    void cleanupTestCase() {
        QVERIFY(server_);
        const QString tag = server_->processTag();
        const QString folder = server_->folder();
        QElapsedTimer timer;
        timer.start();
        server_.reset();
        qInfo("private server down in %lld ms", timer.elapsed());
        const QStringList left = PgServer::processesTagged(tag);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
        QVERIFY(!QDir(folder).exists());
    }

    void storesValuesAsBound_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("null");
        QTest::newRow("chinese") << QVariant(QStringLiteral("苏E12345 张三")) << "苏E12345 张三"
                                 << false;
        QTest::newRow("quotes") << QVariant(QStringLiteral("O'Brien \"老王\"; --"))
                                << "O'Brien \"老王\"; --" << false;
        QTest::newRow("backslash, percent, underscore")
            << QVariant(QStringLiteral("C:\\tmp\\50%_off")) << "C:\\tmp\\50%_off" << false;
        QTest::newRow("outside the basic plane")
            << QVariant(QStringLiteral("𠮷野 🚗\t换行\n")) << "𠮷野 🚗\t换行\n"
            << false;
        QTest::newRow("placeholder-like text")
            << QVariant(QStringLiteral("$1 ? :name")) << "$1 ? :name" << false;
        QTest::newRow("empty text") << QVariant(QStringLiteral("")) << "" << false;
        QTest::newRow("null text is empty") << QVariant(QString()) << "" << false;
        QTest::newRow("no value is NULL") << QVariant() << QString() << true;
        QTest::newRow("null number is NULL")
            << QVariant(QMetaType::fromType<int>()) << QString() << true;
        QTest::newRow("int64") << QVariant(qlonglong(-9223372036854775807LL))
                               << "-9223372036854775807" << false;
        QTest::newRow("bool") << QVariant(true) << "1" << false;
        QTest::newRow("date") << QVariant(QDate(2026, 12, 7)) << "2026-12-07" << false;
    }
    void storesValuesAsBound() {
        QFETCH(QVariant, value);
        QFETCH(QString, stored);
        QFETCH(bool, null);
        QVERIFY(db_->exec(QStringLiteral("create table t (id serial primary key, v text)")).ok());
        QVERIFY(db_->prepare("add", QStringLiteral("insert into t (v) values ($1) returning id")));
        const PgResult added = db_->execPrepared("add", {value});
        QVERIFY2(added.ok(), qPrintable(added.error()));
        QCOMPARE(added.rows(), 1);
        const QString id = added.row(0).text(0);

        const PgResult read = db_->exec(QStringLiteral("select v from t where id = $1"), {id});
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.rows(), 1);
        QCOMPARE(read.row(0).isNull(0), null);
        QCOMPARE(read.row(0).text(0), stored);
        QCOMPARE(read.row(0).text(0).isNull(), null);
        // Matched exactly as typed: no wildcard or escape is read into a value.
        const QString matches =
            null ? Scalar(*db_, QStringLiteral("select count(*) from t where v is null"))
                 : Scalar(*db_, QStringLiteral("select count(*) from t where v = $1"), {value});
        QCOMPARE(matches, QStringLiteral("1"));
    }

    void storesAmountsExactly_data() {
        QTest::addColumn<double>("amount");
        QTest::newRow("tenth") << 0.1;
        QTest::newRow("half cent") << 1234.565;
        QTest::newRow("negative") << -0.005;
        QTest::newRow("large") << 98765432.12;
        QTest::newRow("tiny") << 1e-300;
    }
    void storesAmountsExactly() {
        QFETCH(double, amount);
        QVERIFY(db_->exec(QStringLiteral("create table m (amount double precision)")).ok());
        QVERIFY(db_->exec(QStringLiteral("insert into m values ($1), ($1)"), {amount}).ok());
        const PgResult read =
            db_->exec(QStringLiteral("select amount, sum(amount) over () from m"));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.row(0).text(0).toDouble(), amount);
        QCOMPARE(read.row(0).text(1).toDouble(), amount + amount);
    }

    void sendsBytesAsBinary() {
        QVERIFY(db_->exec(QStringLiteral("create table b (v bytea)")).ok());
        const QByteArray bytes("\0\xff'\\", 4);
        QVERIFY(db_->exec(QStringLiteral("insert into b values ($1)"), {bytes}).ok());
        QCOMPARE(Scalar(*db_, QStringLiteral("select encode(v, 'hex') from b")),
                 QStringLiteral("00ff275c"));
    }

    void streamsManyRows() {
        constexpr int kRows = 100000;
        const PgResult filled = db_->exec(
            QStringLiteral("create table big as select g as id, '第' || g || '行' as label "
                           "from generate_series(1, $1::int) g"),
            {kRows});
        QVERIFY2(filled.ok(), qPrintable(filled.error()));
        QCOMPARE(filled.affectedRows(), kRows);
        QVERIFY(db_->prepare("rows_from", QStringLiteral("select id, label from big "
                                                         "where id >= $1 order by id")));

        PgQuery query = db_->queryPrepared("rows_from", {1});
        qint64 count = 0;
        qint64 sum = 0;
        qint64 previous = 0;
        QString lastLabel;
        while (query.next()) {
            const qint64 id = query.row().view(0).toLongLong();
            QVERIFY(id > previous);
            previous = id;
            sum += id;
            ++count;
            lastLabel = query.row().text(1);
        }
        QVERIFY2(query.ok(), qPrintable(query.error()));
        QCOMPARE(count, kRows);
        QCOMPARE(sum, qint64(kRows) * (kRows + 1) / 2);
        QCOMPARE(lastLabel, QStringLiteral("第100000行"));
        // Done reading: the connection takes the next statement.
        QCOMPARE(Scalar(*db_, QStringLiteral("select count(*) from big")), QString::number(kRows));
    }

    void streamsRowsBeforeAFailure() {
        // Row by row, the rows before the failing one arrive; read whole, none would.
        PgQuery query =
            db_->query(QStringLiteral("select 10 / (3 - g) from generate_series(1, 5) g"));
        QStringList values;
        while (query.next()) {
            values << query.row().text(0);
        }
        QCOMPARE(values, QStringList({QStringLiteral("5"), QStringLiteral("10")}));
        QVERIFY(!query.ok());
        QVERIFY2(query.error().contains(QStringLiteral("division by zero")),
                 qPrintable(query.error()));
        QCOMPARE(query.failure().sqlState, QByteArray("22012"));
        QVERIFY(!query.failure().connectionLost);
        QCOMPARE(Scalar(*db_, QStringLiteral("select 1")), QStringLiteral("1"));
    }

    // A schema named after the user would be searched before public; the shop's tables are
    // always found in public.
    void findsTablesInPublic() {
        const QString user = Scalar(*db_, QStringLiteral("select current_user"));
        QVERIFY(db_->exec(QStringLiteral("create table public.t (v text)")).ok());
        QVERIFY(db_->exec(QStringLiteral("insert into public.t values ('public')")).ok());
        QVERIFY(db_->exec(QStringLiteral("create schema \"%1\"").arg(user)).ok());
        QVERIFY(db_->exec(QStringLiteral("create table \"%1\".t (v text)").arg(user)).ok());
        QVERIFY(db_->exec(QStringLiteral("insert into \"%1\".t values ('own')").arg(user)).ok());
        PgConnection fresh(server_->uri(Scalar(*db_, QStringLiteral("select current_database()"))));
        QVERIFY2(fresh.ok(), qPrintable(fresh.error()));
        QCOMPARE(Scalar(fresh, QStringLiteral("select v from t")), QStringLiteral("public"));
    }

    void runsOneStatementAtATime() {
        PgQuery query = db_->query(QStringLiteral("select g from generate_series(1, 10000000) g"));
        QVERIFY(query.next());
        QVERIFY(query.next());
        QCOMPARE(query.row().text(0), QStringLiteral("2"));
        const PgResult refused = db_->exec(QStringLiteral("select 1"));
        QVERIFY(!refused.ok());
        QVERIFY(!refused.failure().connectionLost);
        QVERIFY(!db_->prepare("later", QStringLiteral("select 1")));

        // Dropped half-read: the rest is cancelled, not read, and the connection is free.
        QElapsedTimer timer;
        timer.start();
        query = PgQuery();
        qInfo("dropping a half-read query of 10,000,000 rows took %lld ms", timer.elapsed());
        QVERIFY(!query.next());
        QCOMPARE(Scalar(*db_, QStringLiteral("select 42")), QStringLiteral("42"));

        // Dropped after its only row, which most lookups are: the end is read, not cancelled.
        for (int i = 0; i < 3; ++i) {
            query = db_->query(QStringLiteral("select g from generate_series(1, 3) g limit 1"));
            QVERIFY(query.next());
            query = PgQuery();
            QCOMPARE(Scalar(*db_, QStringLiteral("select %1").arg(i)), QString::number(i));
        }
    }

    void reportsTheServersReason_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QVariantList>("params");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("sqlState");
        QTest::newRow("syntax error") << "selec 1" << QVariantList()
                                      << "syntax error at or near \"selec\"" << QByteArray("42601");
        QTest::newRow("missing table")
            << "select * from nosuch" << QVariantList() << "relation \"nosuch\" does not exist"
            << QByteArray("42P01");
        QTest::newRow("duplicate key")
            << "insert into k values ($1)" << QVariantList({1})
            << "duplicate key value violates unique constraint \"k_pkey\": "
               "Key (id)=(1) already exists."
            << QByteArray("23505");
        QTest::newRow("too many values")
            << "select $1::int" << QVariantList({1, 2})
            << "bind message supplies 2 parameters, but prepared statement \"\" requires 1"
            << QByteArray("08P01");
        QTest::newRow("value of the wrong type")
            << "select $1::int" << QVariantList({"一"}) << "invalid input syntax for type integer"
            << QByteArray("22P02");
        QTest::newRow("copy") << "copy k from stdin" << QVariantList() << "不支持复制语句"
                              << QByteArray();
        QTest::newRow("two statements") << "select 1; select 2" << QVariantList()
                                        << "cannot insert multiple commands into a prepared "
                                           "statement"
                                        << QByteArray("42601");
    }
    void reportsTheServersReason() {
        QFETCH(QString, statement);
        QFETCH(QVariantList, params);
        QFETCH(QString, reason);
        QFETCH(QByteArray, sqlState);
        QVERIFY(db_->exec(QStringLiteral("create table k (id int primary key)")).ok());
        QVERIFY(db_->exec(QStringLiteral("insert into k values (1)")).ok());

        const PgResult result = db_->exec(statement, params);
        QVERIFY(!result.ok());
        QVERIFY2(result.error().contains(reason), qPrintable(result.error()));
        QCOMPARE(result.failure().sqlState, sqlState);
        QVERIFY(!result.failure().connectionLost);
        QCOMPARE(result.rows(), 0);
        // Nothing was stored by the failed statement, and the connection carries on.
        QCOMPARE(Scalar(*db_, QStringLiteral("select count(*) from k")), QStringLiteral("1"));
        QVERIFY(db_->connected());
    }

    void reportsPreparedStatementMistakes() {
        QVERIFY(db_->prepare("one", QStringLiteral("select $1::int + 1")));
        const DbStatus again = db_->prepare("one", QStringLiteral("select 2"));
        QVERIFY(!again);
        QVERIFY2(
            again.error().contains(QStringLiteral("prepared statement \"one\" already exists")),
            qPrintable(again.error()));
        const PgResult unknown = db_->execPrepared("two", {1});
        QVERIFY2(unknown.error().contains(QStringLiteral("prepared statement \"two\" does not "
                                                         "exist")),
                 qPrintable(unknown.error()));
        QCOMPARE(db_->execPrepared("one", {41}).row(0).text(0), QStringLiteral("42"));
    }

    void refusesConnections_data() {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("reason");
        const QString folder = server_->folder();
        QTest::newRow("missing database")
            << QStringLiteral("postgresql:///nosuch_db?host=%1").arg(folder)
            << "database \"nosuch_db\" does not exist";
        QTest::newRow("unknown user")
            << QStringLiteral("postgresql://nobody_here@/postgres?host=%1").arg(folder)
            << "role \"nobody_here\" does not exist";
        QTest::newRow("no server there")
            << QStringLiteral("postgresql:///postgres?host=/nonexistent/folder")
            << "No such file or directory";
        QTest::newRow("not a connection URI")
            << QStringLiteral("postgresql:///postgres?nosuchoption=1")
            << "invalid URI query parameter: \"nosuchoption\"";
    }
    void refusesConnections() {
        QFETCH(QString, uri);
        QFETCH(QString, reason);
        PgConnection connection(uri);
        QVERIFY(!connection.ok());
        QVERIFY(!connection.connected());
        QVERIFY2(connection.error().contains(reason), qPrintable(connection.error()));
        // Statements on it fail with the same reason instead of crashing.
        const PgResult result = connection.exec(QStringLiteral("select 1"));
        QCOMPARE(result.error(), connection.error());
        QVERIFY(result.failure().connectionLost);
        PgQuery query = connection.query(QStringLiteral("select 1"));
        QVERIFY(!query.next());
        QCOMPARE(query.error(), connection.error());
        QVERIFY(!connection.prepare("p", QStringLiteral("select 1")));
    }

    void reportsAServerThatStopped() {
        PgServer server;
        QVERIFY2(server.ok(), qPrintable(server.message()));
        const QString database = server.createDatabase();
        QVERIFY2(!database.isEmpty(), qPrintable(server.message()));
        PgConnection reading(server.uri(database));
        PgConnection idle(server.uri(database));
        QVERIFY2(reading.ok() && idle.ok(), qPrintable(reading.error() + idle.error()));
        QVERIFY(idle.exec(QStringLiteral("create table kept as select 7 as n")).ok());

        PgQuery query =
            reading.query(QStringLiteral("select g from generate_series(1, 10000000) g"));
        QVERIFY(query.next());
        QElapsedTimer timer;
        timer.start();
        QVERIFY2(server.stop(), qPrintable(server.message()));
        qInfo("immediate stop took %lld ms", timer.elapsed());

        while (query.next()) {
        }
        QVERIFY(!query.ok());
        QVERIFY(query.failure().connectionLost);
        QVERIFY(!reading.connected());
        const PgResult afterLoss = idle.exec(QStringLiteral("select n from kept"));
        QVERIFY(!afterLoss.ok());
        QVERIFY2(afterLoss.failure().connectionLost,
                 qPrintable(afterLoss.error() + afterLoss.failure().sqlState));
        QVERIFY(!afterLoss.error().isEmpty());
        QVERIFY(!idle.connected());
        QVERIFY(!reading.exec(QStringLiteral("select 1")).ok());

        // Started again on the same cluster, a new connection finds what was committed.
        QVERIFY2(server.start(), qPrintable(server.message()));
        PgConnection again(server.uri(database));
        QVERIFY2(again.ok(), qPrintable(again.error()));
        QCOMPARE(Scalar(again, QStringLiteral("select n from kept")), QStringLiteral("7"));
    }

    void killedTestLeavesNoServer() {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kServeUntilKilled)});
        QVERIFY(child.waitForStarted());
        const QDeadlineTimer started(120000);
        while (!child.canReadLine() && !started.hasExpired() &&
               child.state() == QProcess::Running) {
            child.waitForReadyRead(1000);
        }
        const QStringList said = QString::fromLocal8Bit(child.readLine()).trimmed().split(' ');
        QVERIFY2(said.size() == 2 && said[0] != QStringLiteral("failed"),
                 qPrintable(said.join(' ')));
        const QString tag = said[0];
        QVERIFY(!PgServer::processesTagged(tag).isEmpty());

        child.kill();
        QVERIFY(child.waitForFinished());
        const QStringList left = WaitForNoProcesses(tag, 60000);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(said[1]).exists(), 30000);
    }
};

int main(int argc, char** argv) {
    if (argc == 2 && qstrcmp(argv[1], kServeUntilKilled) == 0) {
        return ServeUntilKilled(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestPgConnection test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_pg_connection.moc"
