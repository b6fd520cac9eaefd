#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/clock.h"
#include "data/database.h"
#include "data/pg_connection.h"
#include "data/pg_schema.h"
#include "data/run_sql.h"
#include "data/server_backup.h"
#include "masterdata/day_backup.h"
#include "support/database_fixture.h"
#include "support/pg_server.h"

namespace {

PgServer& Server() {
    static PgServer server;
    return server;
}

// A seeded database that each test's database is copied from, so the seed is made once.
QString TemplateDatabase() {
    static QTemporaryDir dir;
    static QString name;
    if (name.isEmpty()) {
        name = Server().createDatabase();
        if (name.isEmpty() || !Database::OpenServer(Server().uri(name), dir.path()).ok) {
            qFatal("cannot make the template database: %s", qPrintable(Server().message()));
        }
        Database::Close();
    }
    return name;
}

// A connection of the test's own that no restore takes for a station.
QString Unnamed(const QString& uri, const QString& application = QStringLiteral("test-check")) {
    return uri + QStringLiteral("&application_name=") + application;
}

// Every row of every table of ours, as the server writes the whole row.
QStringList Snapshot(const QString& uri) {
    PgConnection connection(Unnamed(uri));
    QStringList rows;
    for (const QString& table : SchemaTables()) {
        const PgResult result =
            connection.exec(QStringLiteral("select x::text from %1 x order by 1").arg(table));
        if (!result.ok()) {
            return {table + QStringLiteral(": ") + result.error()};
        }
        for (int i = 0; i < result.rows(); ++i) {
            rows << table + QLatin1Char(':') + result.row(i).text(0);
        }
    }
    return rows;
}

int Mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

QStringList Files(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void MakeShop() {
    Customer customer = TestDatabase::sampleCustomer(
        QStringLiteral("{C1}"), QStringLiteral("苏E12345"), QStringLiteral("O'Brien 张\\三 50%"));
    TestDatabase::addCustomer(customer);
    TestDatabase::addCustomer(TestDatabase::sampleCustomer(
        QStringLiteral("{C2}"), QStringLiteral("京A11111"), QStringLiteral("李四")));
    Order order = TestDatabase::sampleOrder(QStringLiteral(" 20261206001"),
                                            QStringLiteral("苏E12345"), 321.5);
    order.lines = {{QStringLiteral("换机油"), QStringLiteral("全合成"), 1, 300, 300},
                   {QStringLiteral("工时"), QString(), 1, 21.5, 21.5}};
    TestDatabase::addOrder(order);
}

void ChangeShop() {
    QVERIFY(!RunSql(QStringLiteral("delete from kh_table where kh_code = '{C1}'")).isNull());
    QVERIFY(!RunSql(QStringLiteral("update kh_wx_table set kh_wx_hj = 1")).isNull());
    QVERIFY(
        !RunSql(QStringLiteral("insert into kh_table (kh_code, kh_cph) values ('{C3}', '浙B1')"))
             .isNull());
}

}  // namespace

// Dumps and restores on a real server: the round trip, the files, the checks, and the refusals
// that keep the database as it was.
class TestServerBackup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString uri_;
    ServerBackupTarget target_;

    QString dir() const { return dir_->path(); }

    // The day's dump of the database as it is now.
    QString dumpNow() {
        BackupOptions options;
        options.written = Now();
        const DbResult<DailyBackup> daily = MakeDailyServerBackup(target_, Today(), {}, options);
        if (!daily.ok() || !daily->made) {
            qWarning("no dump: %s", qPrintable(daily.error()));
            return {};
        }
        return daily->path;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(Server().ok(), qPrintable(Server().message()));
        SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 30, 15)));
    }

    void init() {
        const QString name = Server().createDatabase(TemplateDatabase());
        QVERIFY2(!name.isEmpty(), qPrintable(Server().message()));
        uri_ = Server().uri(name);
        dir_ = std::make_unique<QTemporaryDir>();
        const Database::OpenResult opened = Database::OpenServer(uri_, dir());
        QVERIFY2(opened.ok, qPrintable(opened.message));
        const DbResult<ServerBackupTarget> target =
            ServerBackupTargetFor(CurrentServerBackupSource());
        QVERIFY2(target.ok(), qPrintable(target.error()));
        target_ = *target;
    }

    void cleanup() { Database::Close(); }

    void aRestoreBringsBackExactlyWhatWasDumped() {
        MakeShop();
        const QStringList before = Snapshot(uri_);
        const QString dump = dumpNow();
        QCOMPARE(dump, dir() + QStringLiteral("/2026-12-07.dump"));
        QCOMPARE(Mode(dump), 0600);
        QCOMPARE(Files(dir()), QStringList{QStringLiteral("2026-12-07.dump")});
        QCOMPARE(ListBackups(dir(), BackupKind::Dump).value(0).taken,
                 QDateTime(QDate(2026, 12, 7), QTime(9, 30)));

        ChangeShop();
        const QStringList changed = Snapshot(uri_);
        QVERIFY(changed != before);
        Database::Close();
        const DbResult<QString> safety = RestoreServerDatabase(target_, dump, Now());
        QVERIFY2(safety.ok(), qPrintable(safety.error()));
        QCOMPARE(*safety, dir() + QStringLiteral("/before-restore-2026-12-07-093015.dump"));
        QCOMPARE(Mode(*safety), 0600);
        QCOMPARE(Snapshot(uri_), before);

        // The program opens it as its own, and new rows still get keys of their own.
        const Database::OpenResult opened = Database::OpenServer(uri_, dir());
        QVERIFY2(opened.ok, qPrintable(opened.message));
        const Recordset added = RunSql(
            QStringLiteral("insert into kh_table (kh_code, kh_cph) values ('{C4}', '沪C1')"));
        QVERIFY2(!added.isNull(), qPrintable(added.error()));
        Database::Close();

        // The safety dump holds the database the restore replaced.
        const DbResult<QString> back = RestoreServerDatabase(target_, *safety, Now().addSecs(1));
        QVERIFY2(back.ok(), qPrintable(back.error()));
        QCOMPARE(Snapshot(uri_), changed);
        QCOMPARE(ListBackups(dir(), BackupKind::Dump).size(), 3);
    }

    // Made once a day; the retention prunes old dumps and never touches file copies.
    void theDayDumpIsMadeOnceAndPruned() {
        const QDate today = Today();
        for (int age = 1; age <= 40; ++age) {
            QFile old(dir() + QLatin1Char('/') +
                      BackupFileName(today.addDays(-age), BackupKind::Dump));
            QVERIFY(old.open(QIODevice::WriteOnly));
        }
        QFile copy(dir() + QLatin1Char('/') + BackupFileName(today.addDays(-30)));
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.close();

        const DbResult<DailyBackup> first = MakeDailyServerBackup(target_, today);
        QVERIFY2(first.ok(), qPrintable(first.error()));
        QVERIFY(first->made);
        QVERIFY(!first->removed.isEmpty());
        QVERIFY(copy.exists());
        const QList<QDate> kept = BackupDaysToKeep([&] {
            QList<QDate> days;
            for (int age = 0; age <= 40; ++age) {
                days << today.addDays(-age);
            }
            return days;
        }());
        QCOMPARE(ListBackups(dir(), BackupKind::Dump).size(), kept.size());

        const DbResult<DailyBackup> again = MakeDailyServerBackup(target_, today);
        QVERIFY(again.ok());
        QVERIFY(!again->made);
    }

    // The start of a day dumps into the data folder and copies the dump to the backup folder.
    void theStartOfADayDumpsAndCopiesToTheBackupFolder() {
        QTemporaryDir stick;
        DayBackupRequest request;
        request.dataDir = dir();
        request.folder = stick.path();
        request.now = Now();
        request.server = CurrentServerBackupSource();
        QVERIFY(request.server.onServer());
        const DayBackupOutcome outcome = MakeDayBackup(request);
        QVERIFY2(outcome.daily.ok(), qPrintable(outcome.daily.error()));
        QVERIFY(outcome.daily->made);
        QVERIFY2(outcome.folderCopied, qPrintable(outcome.folderError));
        QCOMPARE(outcome.newestInFolder, Today());
        const QString copy = stick.filePath(QStringLiteral("2026-12-07.dump"));
        QCOMPARE(Files(stick.path()), QStringList{QStringLiteral("2026-12-07.dump")});
        QCOMPARE(Mode(copy), 0600);
        QCOMPARE(CheckDumpFile(target_.tools, copy), QString());

        // Without a server's tools that can read it, nothing is made and the reason is told.
        request.server.uri = QStringLiteral("postgresql:///nosuchdatabase?host=/nonexistent");
        const DayBackupOutcome refused = MakeDayBackup(request);
        QVERIFY(!refused.daily.ok());
        QVERIFY2(refused.daily.error().startsWith(QStringLiteral("无法连接数据库服务器：")),
                 qPrintable(refused.daily.error()));
    }

    // Nothing is restored from a file that is not a whole dump of ours at a version this
    // program knows; the database and the folder stay as they were.
    void aDumpThatCannotBeUsedIsRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("garbage") << "garbage"
                                 << "pg_restore: error:";
        QTest::newRow("cut short") << "truncated"
                                   << "pg_restore: error:";
        QTest::newRow("another database") << "foreign"
                                          << "不是本系统数据库的备份（缺少数据表 meta）";
        QTest::newRow("newer program") << "newer"
                                       << "所选备份由更新版本的程序建立";
        QTest::newRow("missing") << "missing"
                                 << "找不到文件";
    }
    void aDumpThatCannotBeUsedIsRefused() {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        MakeShop();
        const QString path = dir() + QStringLiteral("/chosen.dump");
        if (kind == QLatin1String("garbage")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("PGDMP but not really");
        } else if (kind == QLatin1String("truncated")) {
            const QString whole = dumpNow();
            QFile in(whole);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(in.read(in.size() * 2 / 3));
            in.close();
            QFile::remove(whole);
        } else if (kind == QLatin1String("foreign") || kind == QLatin1String("newer")) {
            const QString other = Server().createDatabase(
                kind == QLatin1String("newer") ? TemplateDatabase() : QString());
            PgConnection connection(Unnamed(Server().uri(other)));
            QVERIFY(connection
                        .exec(kind == QLatin1String("newer")
                                  ? QStringLiteral("update meta set version = 99")
                                  : QStringLiteral("create table foo (a int)"))
                        .ok());
            const DbResult<PgToolLogin> login =
                PgToolLoginFor(Server().uri(other), QStringLiteral("test-dump"));
            QVERIFY(login.ok());
            const PgToolRun run =
                RunPgTool(target_.tools.dump,
                          {QStringLiteral("--format=custom"), QStringLiteral("--file=") + path,
                           QStringLiteral("--dbname=") + login->conninfo},
                          *login);
            QVERIFY2(run.ok, qPrintable(run.error));
        }
        const QStringList before = Snapshot(uri_);
        const QStringList files = Files(dir());
        Database::Close();
        const DbResult<QString> restored = RestoreServerDatabase(target_, path, Now());
        QVERIFY(!restored.ok());
        QVERIFY2(restored.error().contains(refusal), qPrintable(restored.error()));
        QCOMPARE(Snapshot(uri_), before);
        QCOMPARE(Files(dir()), files);
    }

    void aRestoreWaitsUntilNoOtherStationIsConnected() {
        MakeShop();
        const QString dump = dumpNow();
        ChangeShop();
        const QStringList changed = Snapshot(uri_);
        Database::Close();
        {
            PgConnection station(uri_);
            QVERIFY2(station.ok(), qPrintable(station.error()));
            const DbResult<QString> refused = RestoreServerDatabase(target_, dump, Now());
            QVERIFY(!refused.ok());
            QVERIFY2(refused.error().startsWith(
                         QStringLiteral("还有其他工作站连接着数据库：\n本机（ruvaso，")),
                     qPrintable(refused.error()));
            QVERIFY(refused.error().endsWith(
                QStringLiteral(" 连接）\n请先退出这些工作站上的程序，再恢复数据。")));
            QCOMPARE(Snapshot(uri_), changed);
            QCOMPARE(Files(dir()), QStringList{QStringLiteral("2026-12-07.dump")});
        }
        const DbResult<QString> restored = RestoreServerDatabase(target_, dump, Now());
        QVERIFY2(restored.ok(), qPrintable(restored.error()));
    }

    // A restore held up by another connection's lock is cancelled and rolled back whole, even
    // though it had already dropped tables it got to first.
    void aRestoreThatFailsLeavesTheDatabaseAsItWas() {
        MakeShop();
        const QString dump = dumpNow();
        ChangeShop();
        const QStringList changed = Snapshot(uri_);
        Database::Close();
        PgConnection report(Unnamed(uri_, QStringLiteral("report-tool")));
        QVERIFY(report.exec(QStringLiteral("begin")).ok());
        QVERIFY(report.exec(QStringLiteral("select count(*) from kh_wx_mx_table")).ok());

        BackupOptions options;
        options.lockWaitMs = 300;
        QElapsedTimer took;
        took.start();
        const DbResult<QString> failed = RestoreServerDatabase(target_, dump, Now(), options);
        QVERIFY(!failed.ok());
        QVERIFY2(failed.error().startsWith(QStringLiteral("恢复没有完成，数据库保持原样：")),
                 qPrintable(failed.error()));
        QVERIFY2(failed.error().contains(QStringLiteral("本机（report-tool，")),
                 qPrintable(failed.error()));
        QVERIFY(took.elapsed() < 30000);
        QVERIFY(report.exec(QStringLiteral("commit")).ok());
        QCOMPARE(Snapshot(uri_), changed);
        QCOMPARE(Files(dir()), QStringList{QStringLiteral("2026-12-07.dump")});
    }

    void toolsOlderThanTheServerAreRefused() {
        const int older = target_.serverMajor - 1;
        const DbResult<ServerBackupTarget> refused = ServerBackupTargetFor(
            CurrentServerBackupSource(),
            {PgClientTools{older, target_.tools.dump, target_.tools.restore}});
        QVERIFY(!refused.ok());
        QCOMPARE(refused.error(),
                 QStringLiteral("数据库服务器是 PostgreSQL %1，本机的备份工具是 PostgreSQL %2，"
                                "不能备份更新版本的服务器。请安装 postgresql-client-%1。")
                     .arg(target_.serverMajor)
                     .arg(older));
    }

    void aStoppedDumpLeavesNothing() {
        std::atomic<bool> stop{true};
        BackupOptions options;
        options.stop = &stop;
        const DbStatus dumped =
            DumpServerDatabase(target_, dir() + QStringLiteral("/x.dump"), options);
        QVERIFY(!dumped.ok());
        QCOMPARE(dumped.error(), QStringLiteral("备份已停止"));
        QCOMPARE(Files(dir()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestServerBackup)
#include "test_server_backup.moc"
