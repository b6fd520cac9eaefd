#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>
#include <atomic>
#include <csignal>
#include <thread>

#include "core/clock.h"
#include "customers/customer_store.h"
#include "data/backup.h"
#include "data/data_folder.h"
#include "data/database.h"
#include "support/database_fixture.h"

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The single value of a query on a file, read with a connection of the test's own.
QString ValueIn(const QString& path, const char* query) {
    sqlite3* db = nullptr;
    QString value;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, query, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db);
    return value;
}

// Files in `dir` other than the database, sorted: what a copy leaves behind.
QStringList OtherFiles(const QString& dir) {
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    names.removeIf([](const QString& name) {
        return name.startsWith(Database::FileName()) || name == FolderLock::FileName();
    });
    names.sort();
    return names;
}

// Enough rows that a copy takes many steps of one page.
void FillShop(int customers) {
    TestDatabase::exec(
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where "
                       "i < ?) insert into kh_table (kh_code, kh_cph, kh_czname, kh_cx) "
                       "select printf('{F%06d}', i), printf('京A%05d', i), '顾客', "
                       "hex(randomblob(60)) from n"),
        {customers});
}

}  // namespace

class TestBackup : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db_;

    QString live() const { return db_->filePath(); }

private Q_SLOTS:
    void init() {
        db_ = std::make_unique<TestDatabase>();
        QVERIFY2(db_->ok(), qPrintable(db_->message()));
    }
    void cleanup() { db_.reset(); }

    void copyIsAStandaloneCheckedFileOnlyTheOwnerReads() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString target = db_->dir() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 6));
        QCOMPARE(QFileInfo(target).fileName(), QStringLiteral("2026-12-06.db"));
        const DbStatus copied = CopyDatabaseFile(live(), target);
        QVERIFY2(copied.ok(), qPrintable(copied.error()));
        QCOMPARE(CheckDatabaseFile(target), QString());
        QCOMPARE(ValueIn(target, "select kh_cph from kh_table"), QStringLiteral("京A11111"));
        QCOMPARE(ValueIn(target, "pragma journal_mode"), QStringLiteral("delete"));
        struct stat status {};
        QCOMPARE(stat(QFile::encodeName(target).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
        QCOMPARE(OtherFiles(db_->dir()), QStringList{QStringLiteral("2026-12-06.db")});
    }

    // Another connection commits rows all through the copy; the copy is one moment of the
    // database: every row committed before it began, and no half of anything after.
    void copyWhileAnotherConnectionWrites() {
        FillShop(3000);
        std::atomic<int> committed{0};
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            sqlite3* db = nullptr;
            sqlite3_open_v2(QFile::encodeName(live()).constData(), &db, SQLITE_OPEN_READWRITE,
                            nullptr);
            sqlite3_busy_timeout(db, 5000);
            sqlite3_stmt* insert = nullptr;
            sqlite3_prepare_v2(db,
                               "insert into kh_tele_table (kh_tele_code, kh_tele_txnr) "
                               "values (printf('{W%06d}', ?), hex(randomblob(500)))",
                               -1, &insert, nullptr);
            for (int i = 1; !stop; ++i) {
                sqlite3_bind_int(insert, 1, i);
                if (sqlite3_step(insert) != SQLITE_DONE) {
                    break;
                }
                sqlite3_reset(insert);
                committed = i;
            }
            sqlite3_finalize(insert);
            sqlite3_close_v2(db);
        });
        while (committed < 50) {
            QThread::msleep(1);
        }
        const int before = committed;
        BackupOptions options;
        options.pagesPerStep = 1;
        options.progress = [&](qint64 done, qint64) {
            // Let the writer commit between the first steps, so the copy really overlaps it.
            if (done < 4) {
                const int now = committed;
                QElapsedTimer waited;
                waited.start();
                while (committed < now + 5 && waited.elapsed() < 5000) {
                    std::this_thread::yield();
                }
            }
        };
        const QString target = db_->dir() + QStringLiteral("/copy.db");
        const DbStatus copied = CopyDatabaseFile(live(), target, options);
        const int after = committed;
        stop = true;
        writer.join();
        QVERIFY2(copied.ok(), qPrintable(copied.error()));
        QVERIFY(after > before + 10);

        QCOMPARE(CheckDatabaseFile(target), QString());
        const int rows = ValueIn(target, "select count(*) from kh_tele_table").toInt();
        QVERIFY2(rows >= before, qPrintable(QStringLiteral("%1 < %2").arg(rows).arg(before)));
        // Rows 1..n and nothing else: a snapshot, not pages from different moments.
        QCOMPARE(ValueIn(target, "select max(kh_tele_code) from kh_tele_table"),
                 QStringLiteral("{W%1}").arg(rows, 6, 10, QLatin1Char('0')));
        QCOMPARE(ValueIn(target, "select count(*) from kh_table").toInt(), 3000);
    }

    // A copy that fails leaves the earlier file of that name as it was and no draft behind;
    // each of these fails for root too.
    void failedCopyLeavesEarlierFileAlone_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("parent is a file") << "parent file";
        QTest::newRow("target is a folder") << "folder";
        QTest::newRow("file size limit, as on a full disk") << "size limit";
    }
    void failedCopyLeavesEarlierFileAlone() {
        QFETCH(QString, how);
        const QString dir = db_->dir();
        QString target = dir + QStringLiteral("/2026-12-06.db");
        if (how == QLatin1String("parent file")) {
            Write(dir + QStringLiteral("/plain"), "not a folder");
            target = dir + QStringLiteral("/plain/2026-12-06.db");
        } else if (how == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        } else {
            QVERIFY(CopyDatabaseFile(live(), target).ok());
        }
        const QByteArray earlier = Bytes(target);
        const QStringList files = OtherFiles(dir);
        FillShop(2000);

        DbStatus copied = DbOk();
        if (how == QLatin1String("size limit")) {
            rlimit saved{};
            QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
            copied = CopyDatabaseFile(live(), target);
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previous);
        } else {
            copied = CopyDatabaseFile(live(), target);
        }
        QVERIFY(!copied.ok());
        QVERIFY(!copied.error().isEmpty());
        QCOMPARE(Bytes(target), earlier);
        QCOMPARE(OtherFiles(dir), files);
    }

    void checkRefusesWhatIsNotOurs_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no database") << QByteArray("just text, no database at all");
        QTest::newRow("empty") << QByteArray();
    }
    void checkRefusesWhatIsNotOurs() {
        QFETCH(QByteArray, content);
        const QString path = db_->dir() + QStringLiteral("/other.db");
        Write(path, content);
        QVERIFY(!CheckDatabaseFile(path).isEmpty());
        QVERIFY(!CheckDatabaseFile(db_->dir() + QStringLiteral("/missing.db")).isEmpty());
    }

    void dailyBackupOnceADayKeepingThirty() {
        const QString dir = db_->dir();
        const QDate today(2026, 12, 6);
        for (int day = 1; day <= 35; ++day) {
            Write(dir + QLatin1Char('/') + BackupFileName(today.addDays(-day)), "old");
        }
        const QStringList others = {QStringLiteral("2026-02-30.db"), QStringLiteral("notes.db"),
                                    QStringLiteral("2026-12-01.db.txt"),
                                    SafetyCopyName(QDateTime(QDate(2020, 1, 1), QTime(8, 0)))};
        for (const QString& name : others) {
            Write(dir + QLatin1Char('/') + name, "keep");
        }

        const DbResult<DailyBackup> first = MakeDailyBackup(today, 30);
        QVERIFY2(first.ok(), qPrintable(first.error()));
        QVERIFY(first->made);
        QCOMPARE(first->path, dir + QStringLiteral("/2026-12-06.db"));
        QCOMPARE(first->removed.size(), 6);
        QCOMPARE(CheckDatabaseFile(first->path), QString());
        for (int day = 1; day <= 35; ++day) {
            QCOMPARE(
                QFileInfo::exists(dir + QLatin1Char('/') + BackupFileName(today.addDays(-day))),
                day <= 29);
        }
        for (const QString& name : others) {
            QVERIFY2(QFileInfo::exists(dir + QLatin1Char('/') + name), qPrintable(name));
        }

        // Later starts of the same day keep the day's file as it is.
        const QByteArray made = Bytes(first->path);
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));
        const DbResult<DailyBackup> again = MakeDailyBackup(today, 30);
        QVERIFY(again.ok());
        QVERIFY(!again->made);
        QVERIFY(again->removed.isEmpty());
        QCOMPARE(Bytes(first->path), made);

        const DbResult<DailyBackup> tomorrow = MakeDailyBackup(today.addDays(1), 30);
        QVERIFY(tomorrow.ok() && tomorrow->made);
        QCOMPARE(ValueIn(tomorrow->path, "select count(*) from kh_table"), QStringLiteral("1"));
        QCOMPARE(tomorrow->removed,
                 QStringList{dir + QLatin1Char('/') + BackupFileName(today.addDays(-29))});
    }

    void restoreBringsBackADeletedCustomer() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString backup = db_->dir() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 5));
        QVERIFY(CopyDatabaseFile(live(), backup).ok());
        QVERIFY(RemoveCustomer(QStringLiteral("{C1}")).ok());
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));

        const QString safetyName = SafetyCopyName(QDateTime(QDate(2026, 12, 6), QTime(15, 30, 12)));
        QCOMPARE(safetyName, QStringLiteral("before-restore-2026-12-06-153012.db"));
        const DbResult<QString> restored = RestoreDatabase(backup, safetyName);
        QVERIFY2(restored.ok(), qPrintable(restored.error()));
        QVERIFY(Database::IsOpen());
        const auto customer = FindCustomerByKey(QStringLiteral("{C1}"));
        QVERIFY(customer.ok() && customer->has_value());
        QCOMPARE((*customer)->owner, QStringLiteral("张三"));
        QCOMPARE(TestDatabase::scalar("select count(*) from kh_table").toInt(), 1);

        // What was replaced is kept, under its own name, and listed with the backups.
        QCOMPARE(*restored, db_->dir() + QLatin1Char('/') + safetyName);
        QCOMPARE(CheckDatabaseFile(*restored), QString());
        QCOMPARE(ValueIn(*restored, "select group_concat(kh_code) from kh_table"),
                 QStringLiteral("{C2}"));
        const QList<BackupFile> listed = ListBackups(db_->dir());
        QCOMPARE(listed.size(), 2);
        QVERIFY(listed[0].safetyCopy);
        QCOMPARE(listed[1].path, backup);

        // A second restore in the same second does not overwrite the first safety copy.
        const DbResult<QString> second = RestoreDatabase(backup, safetyName);
        QVERIFY(second.ok());
        QVERIFY(*second != *restored);
        QCOMPARE(ValueIn(*restored, "select group_concat(kh_code) from kh_table"),
                 QStringLiteral("{C2}"));
    }

    void restoreRefusesAFileThatIsNotOurs() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString foreign = db_->dir() + QStringLiteral("/2026-12-05.db");
        {
            sqlite3* db = nullptr;
            sqlite3_open_v2(QFile::encodeName(foreign).constData(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
            sqlite3_exec(db, "create table kh_table (kh_code text)", nullptr, nullptr, nullptr);
            sqlite3_close_v2(db);
        }
        const QStringList files = OtherFiles(db_->dir());
        const DbResult<QString> restored =
            RestoreDatabase(foreign, SafetyCopyName(QDateTime(QDate(2026, 12, 6), QTime(9, 0))));
        QVERIFY(!restored.ok());
        QVERIFY(Database::IsOpen());
        QCOMPARE(TestDatabase::scalar("select count(*) from kh_table").toInt(), 1);
        QCOMPARE(OtherFiles(db_->dir()), files);
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
