#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <csignal>
#include <thread>

#include "core/clock.h"
#include "customers/customer_store.h"
#include "data/backup.h"
#include "data/compressed_file.h"
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

// The single value of a query on a file (a compressed one as it decompresses), read with a
// connection of the test's own.
QString ValueIn(const QString& path, const char* query) {
    QTemporaryDir scratch;
    QString file = path;
    if (compressed_file::IsCompressed(path)) {
        file = scratch.filePath(QStringLiteral("plain.db"));
        if (!compressed_file::Decompress(path, file)) {
            return QStringLiteral("(does not decompress)");
        }
    }
    sqlite3* db = nullptr;
    QString value;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
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
        QCOMPARE(QFileInfo(target).fileName(), QStringLiteral("2026-12-06.db.zst"));
        const DbStatus copied = CopyDatabaseFile(live(), target);
        QVERIFY2(copied.ok(), qPrintable(copied.error()));
        QVERIFY(compressed_file::IsCompressed(target));
        QVERIFY(QFileInfo(target).size() < QFileInfo(live()).size() / 2);
        QCOMPARE(CheckDatabaseFile(target), QString());
        QCOMPARE(ValueIn(target, "select kh_cph from kh_table"), QStringLiteral("京A11111"));
        QCOMPARE(ValueIn(target, "pragma journal_mode"), QStringLiteral("delete"));
        struct stat status {};
        QCOMPARE(stat(QFile::encodeName(target).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
        QCOMPARE(OtherFiles(db_->dir()), QStringList{QStringLiteral("2026-12-06.db.zst")});

        // A compressed backup copied to another folder stays the same file; one copied to a
        // plain name is the database again.
        QTemporaryDir stick;
        const QString there = stick.filePath(QStringLiteral("2026-12-06.db.zst"));
        QVERIFY(CopyDatabaseFile(target, there).ok());
        QCOMPARE(Bytes(there), Bytes(target));
        const QString plain = stick.filePath(QStringLiteral("plain.db"));
        QVERIFY(CopyDatabaseFile(target, plain).ok());
        QVERIFY(!compressed_file::IsCompressed(plain));
        QCOMPARE(ValueIn(plain, "select kh_cph from kh_table"), QStringLiteral("京A11111"));
        QCOMPARE(QDir(stick.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("2026-12-06.db.zst"), QStringLiteral("plain.db")}));
    }

    // Every byte of a compressed backup counts: a file damaged anywhere, cut short or run on
    // is refused by its check, and the check leaves nothing behind.
    void damagedCompressedBackupIsRefused() {
        FillShop(300);
        const QString dir = db_->dir();
        const QString target = dir + QStringLiteral("/2026-12-06.db.zst");
        QVERIFY(CopyDatabaseFile(live(), target).ok());
        const QByteArray sound = Bytes(target);
        QCOMPARE(CheckDatabaseFile(target), QString());
        // The frame's header and end byte by byte, and some 300 bytes spread over the rest.
        const qsizetype stride = std::max<qsizetype>(1, sound.size() / 300);
        int tried = 0;
        for (qsizetype at = 0; at < sound.size(); ++at) {
            if (at >= 32 && at < sound.size() - 32 && at % stride != 0) {
                continue;
            }
            QByteArray damaged = sound;
            damaged[at] = char(~damaged[at]);
            Write(target, damaged);
            QVERIFY2(!CheckDatabaseFile(target).isEmpty(), qPrintable(QString::number(at)));
            ++tried;
        }
        QVERIFY(tried > 300);
        for (const qsizetype cut : {qsizetype(4), sound.size() / 2, sound.size() - 1}) {
            Write(target, sound.left(cut));
            QVERIFY2(!CheckDatabaseFile(target).isEmpty(), qPrintable(QString::number(cut)));
        }
        Write(target, sound + QByteArray(4, '\0'));
        QVERIFY(!CheckDatabaseFile(target).isEmpty());
        Write(target, sound);
        QCOMPARE(CheckDatabaseFile(target), QString());
        QCOMPARE(OtherFiles(dir), QStringList{QStringLiteral("2026-12-06.db.zst")});
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
        QTest::addColumn<QString>("name");
        for (const QString& name :
             {QStringLiteral("2026-12-06.db.zst"), QStringLiteral("2026-12-06.db")}) {
            const QByteArray kind =
                name.endsWith(QLatin1String(".zst")) ? "compressed: " : "plain: ";
            QTest::newRow(kind + "parent is a file") << "parent file" << name;
            QTest::newRow(kind + "target is a folder") << "folder" << name;
            QTest::newRow(kind + "file size limit, as on a full disk") << "size limit" << name;
            QTest::newRow(kind + "stopped while copying") << "stop copying" << name;
            QTest::newRow(kind + "stopped while checking") << "stop checking" << name;
        }
    }
    void failedCopyLeavesEarlierFileAlone() {
        QFETCH(QString, how);
        QFETCH(QString, name);
        const QString dir = db_->dir();
        QString target = dir + QLatin1Char('/') + name;
        if (how == QLatin1String("parent file")) {
            Write(dir + QStringLiteral("/plain"), "not a folder");
            target = dir + QStringLiteral("/plain/") + name;
        } else if (how == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        } else {
            QVERIFY(CopyDatabaseFile(live(), target).ok());
        }
        const QByteArray earlier = Bytes(target);
        const QStringList files = OtherFiles(dir);
        FillShop(2000);

        DbStatus copied = DbOk();
        bool damaged = true;
        if (how == QLatin1String("size limit")) {
            rlimit saved{};
            QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
            copied = CopyDatabaseFile(live(), target, {}, &damaged);
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previous);
        } else if (how.startsWith(QLatin1String("stop"))) {
            std::atomic<bool> stop{false};
            BackupOptions options;
            options.pagesPerStep = 8;
            options.stop = &stop;
            const bool whileChecking = how == QLatin1String("stop checking");
            options.progress = [&stop, whileChecking](qint64 done, qint64 total) {
                stop = stop || !whileChecking || done == total;
            };
            copied = CopyDatabaseFile(live(), target, options, &damaged);
            QCOMPARE(copied.error(), QStringLiteral("备份已停止"));
        } else {
            copied = CopyDatabaseFile(live(), target, {}, &damaged);
        }
        QVERIFY(!copied.ok());
        // Not the database's fault: a restore must not take it for damaged.
        QVERIFY(!damaged);
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

    void retentionKeepsDaysWeeksAndMonths_data() {
        QTest::addColumn<QList<QDate>>("days");
        QTest::addColumn<QList<int>>("keep");  // daily, weekly, monthly
        QTest::addColumn<QList<QDate>>("kept");
        auto everyDay = [](const QDate& last, int count) {
            QList<QDate> days;
            for (int i = 0; i < count; ++i) {
                days << last.addDays(-i);
            }
            return days;
        };
        // 2026-12-06 is a Sunday.
        const QDate sunday(2026, 12, 6);
        QTest::newRow("fewer than a week: all")
            << everyDay(sunday, 5) << QList<int>{7, 4, 12} << everyDay(sunday, 5);
        // Seven days, then the newest of the three weeks before and of the months before.
        QTest::newRow("every day for a year")
            << everyDay(sunday, 400) << QList<int>{7, 4, 12}
            << (everyDay(sunday, 7) +
                QList<QDate>{QDate(2026, 11, 29), QDate(2026, 11, 22), QDate(2026, 11, 15),
                             QDate(2026, 10, 31), QDate(2026, 9, 30), QDate(2026, 8, 31),
                             QDate(2026, 7, 31), QDate(2026, 6, 30), QDate(2026, 5, 31),
                             QDate(2026, 4, 30), QDate(2026, 3, 31), QDate(2026, 2, 28),
                             QDate(2026, 1, 31)});
        // Weeks and months are counted among those that have a backup, not on the calendar.
        QTest::newRow("a shop that was closed for months")
            << QList<QDate>{QDate(2026, 12, 6), QDate(2026, 3, 2), QDate(2026, 3, 1),
                            QDate(2025, 6, 30), QDate(2024, 1, 1)}
            << QList<int>{1, 2, 3}
            << QList<QDate>{QDate(2026, 12, 6), QDate(2026, 3, 2), QDate(2025, 6, 30)};
        // ISO weeks: 2026-12-28 (Monday) to 2027-01-03 (Sunday) is one week.
        QTest::newRow("a week across the new year")
            << QList<QDate>{QDate(2027, 1, 3), QDate(2027, 1, 1), QDate(2026, 12, 28),
                            QDate(2026, 12, 27)}
            << QList<int>{1, 2, 0} << QList<QDate>{QDate(2027, 1, 3), QDate(2026, 12, 27)};
        QTest::newRow("unsorted, repeated and invalid days")
            << QList<QDate>{QDate(2026, 12, 1), QDate(), QDate(2026, 12, 3), QDate(2026, 12, 3),
                            QDate(2026, 12, 2)}
            << QList<int>{2, 0, 0} << QList<QDate>{QDate(2026, 12, 3), QDate(2026, 12, 2)};
        QTest::newRow("the newest is kept even when nothing is asked")
            << everyDay(sunday, 3) << QList<int>{0, 0, 0} << QList<QDate>{sunday};
        QTest::newRow("nothing") << QList<QDate>{} << QList<int>{7, 4, 12} << QList<QDate>{};
    }
    void retentionKeepsDaysWeeksAndMonths() {
        QFETCH(QList<QDate>, days);
        QFETCH(QList<int>, keep);
        QFETCH(QList<QDate>, kept);
        QCOMPARE(BackupDaysToKeep(days, {keep[0], keep[1], keep[2]}), kept);
    }

    void dailyBackupOnceADayKeepingDaysWeeksAndMonths() {
        const QString dir = db_->dir();
        const QDate today(2026, 12, 6);
        // Earlier versions wrote plain files: the days before the 60th are compressed.
        for (int day = 1; day <= 100; ++day) {
            QString name = BackupFileName(today.addDays(-day));
            if (day > 60) {
                name.chop(4);
            }
            Write(dir + QLatin1Char('/') + name, "old");
        }
        const QStringList others = {QStringLiteral("2026-02-30.db"), QStringLiteral("notes.db"),
                                    QStringLiteral("2026-12-01.db.txt"),
                                    SafetyCopyName(QDateTime(QDate(2020, 1, 1), QTime(8, 0)))};
        for (const QString& name : others) {
            Write(dir + QLatin1Char('/') + name, "keep");
        }

        const DbResult<DailyBackup> first = MakeDailyBackup(today);
        QVERIFY2(first.ok(), qPrintable(first.error()));
        QVERIFY(first->made);
        QVERIFY(!first->skippedForSpace);
        QCOMPARE(first->path, dir + QStringLiteral("/2026-12-06.db.zst"));
        QCOMPARE(CheckDatabaseFile(first->path), QString());
        // Today and six days before; the Sundays of three weeks before; the last days of the
        // three months before (the newest of November is the 29th, a Sunday already kept).
        QList<QDate> expected;
        for (int day = 0; day <= 6; ++day) {
            expected << today.addDays(-day);
        }
        expected << QDate(2026, 11, 29) << QDate(2026, 11, 22) << QDate(2026, 11, 15)
                 << QDate(2026, 10, 31) << QDate(2026, 9, 30) << QDate(2026, 8, 31);
        QList<QDate> present;
        for (const BackupFile& file : ListBackups(dir)) {
            if (!file.safetyCopy) {
                present << file.taken.date();
            }
        }
        QCOMPARE(present, expected);
        QCOMPARE(first->removed.size(), 101 - expected.size());
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/2026-08-31.db")));
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/2026-10-31.db.zst")));
        for (const QString& name : others) {
            QVERIFY2(QFileInfo::exists(dir + QLatin1Char('/') + name), qPrintable(name));
        }

        // Later starts of the same day keep the day's file as it is.
        const QByteArray made = Bytes(first->path);
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));
        const DbResult<DailyBackup> again = MakeDailyBackup(today);
        QVERIFY(again.ok());
        QVERIFY(!again->made);
        QVERIFY(again->removed.isEmpty());
        QCOMPARE(Bytes(first->path), made);

        // Monday starts a week: the day a week ago is no longer among the seven days, but
        // it stays as the newest of its week.
        const DbResult<DailyBackup> tomorrow = MakeDailyBackup(today.addDays(1));
        QVERIFY(tomorrow.ok() && tomorrow->made);
        QCOMPARE(ValueIn(tomorrow->path, "select count(*) from kh_table"), QStringLiteral("1"));
        QCOMPARE(tomorrow->removed,
                 QStringList{dir + QLatin1Char('/') + BackupFileName(QDate(2026, 11, 15))});
    }

    void diskShareLeftFree_data() {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("available");
        QTest::addColumn<qint64>("copy");
        QTest::addColumn<bool>("enough");
        QTest::newRow("plenty") << qint64(1000) << qint64(500) << qint64(100) << true;
        QTest::newRow("exactly a tenth left") << qint64(1000) << qint64(200) << qint64(100) << true;
        QTest::newRow("a byte under a tenth")
            << qint64(1000) << qint64(200) << qint64(101) << false;
        QTest::newRow("already under a tenth") << qint64(1000) << qint64(50) << qint64(0) << false;
        QTest::newRow("bigger than the disk")
            << qint64(1000) << qint64(900) << qint64(5000) << false;
        QTest::newRow("system cannot tell") << qint64(0) << qint64(0) << qint64(100) << true;
    }
    void diskShareLeftFree() {
        QFETCH(qint64, total);
        QFETCH(qint64, available);
        QFETCH(qint64, copy);
        QFETCH(bool, enough);
        const DiskSpace disk{total, available};
        QCOMPARE(LeavesEnoughFree(disk, copy, FreeReserve(disk, 0.10, qint64(1) << 40)), enough);
    }

    // A tenth of a large disk is far more than a shop's backup: there the reserve stops at a
    // fixed size, so a disk nine tenths full still takes the day's backup.
    void largeDiskKeepsAFixedReserve() {
        constexpr qint64 kGiB = qint64(1) << 30;
        const DailyBackupPolicy policy;
        const DiskSpace large{252 * kGiB, 22 * kGiB};
        QCOMPARE(policy.reserveOn(large), 2 * kGiB);
        QVERIFY(LeavesEnoughFree(large, 948 * 1024, policy.reserveOn(large)));
        QVERIFY(!LeavesEnoughFree(large, 21 * kGiB, policy.reserveOn(large)));
        const DiskSpace small{8 * kGiB, kGiB};
        QCOMPARE(policy.reserveOn(small), qint64(0.10 * double(8 * kGiB)));
        QVERIFY(!LeavesEnoughFree(small, 300 * 1024 * 1024, policy.reserveOn(small)));
    }

    // A backup that would leave too little of the disk free is not made, and no older one is
    // removed on its account.
    void dailyBackupSkippedWhenTheDiskWouldFill() {
        const QString dir = db_->dir();
        const QDate today(2026, 12, 6);
        for (int day = 1; day <= 20; ++day) {
            Write(dir + QLatin1Char('/') + BackupFileName(today.addDays(-day)), "old");
        }
        const DiskSpace disk = DiskSpaceOf(dir);
        QVERIFY(disk.total > 0 && disk.available > 0);
        const QStringList before = OtherFiles(dir);
        DailyBackupPolicy policy;
        policy.minFreeShare = double(disk.available) / double(disk.total);
        policy.maxReserve = disk.available;
        const DbResult<DailyBackup> daily = MakeDailyBackup(today, policy);
        QVERIFY2(daily.ok(), qPrintable(daily.error()));
        QVERIFY(daily->skippedForSpace);
        QVERIFY(!daily->made);
        // The plain copy of the file and its log, and the compressed file made from it.
        const qint64 plain =
            QFileInfo(live()).size() + QFileInfo(live() + QStringLiteral("-wal")).size();
        QCOMPARE(daily->needed, SpaceForBackup(live()));
        QVERIFY(daily->needed > plain);
        QVERIFY(daily->space.total > 0);
        QVERIFY(daily->reserve > 0);
        QCOMPARE(OtherFiles(dir), before);

        policy.minFreeShare = 0.0;
        const DbResult<DailyBackup> made = MakeDailyBackup(today, policy);
        QVERIFY(made.ok() && made->made && !made->skippedForSpace);
    }

    // Damage that the engine only finds by reading every page: the copy says so, a full
    // disk does not, and the day's backup neither keeps the copy nor prunes older backups.
    void copyOfADamagedDatabaseSaysSo() {
        const QString dir = db_->dir();
        const QDate today(2026, 12, 6);
        for (int day = 1; day <= 40; ++day) {
            Write(dir + QLatin1Char('/') + BackupFileName(today.addDays(-day)), "old");
        }
        QVERIFY(db_->damageButKeepOpenable());
        const QStringList before = OtherFiles(dir);
        bool damaged = false;
        const DbResult<DailyBackup> daily = MakeDailyBackup(today, {}, {}, &damaged);
        QVERIFY(!daily.ok());
        QVERIFY(damaged);
        QCOMPARE(OtherFiles(dir), before);

        damaged = false;
        QVERIFY(!CopyDatabaseFile(live(), dir + QStringLiteral("/copy.db"), {}, &damaged).ok());
        QVERIFY(damaged);
    }

    void quickCheckTellsSoundFromDamaged_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("health");
        QTest::newRow("sound") << "sound" << int(FileCheck::Health::Sound);
        QTest::newRow("a damaged page") << "page" << int(FileCheck::Health::Damaged);
        QTest::newRow("not a database") << "text" << int(FileCheck::Health::Damaged);
        QTest::newRow("missing") << "missing" << int(FileCheck::Health::Unknown);
        QTest::newRow("stopped, as at the end of the program")
            << "stopped" << int(FileCheck::Health::Unknown);
    }
    void quickCheckTellsSoundFromDamaged() {
        QFETCH(QString, kind);
        QFETCH(int, health);
        QString path = live();
        if (kind == QLatin1String("page")) {
            QVERIFY(db_->damageButKeepOpenable());
        } else if (kind == QLatin1String("text")) {
            path = db_->dir() + QStringLiteral("/other.db");
            Write(path, QByteArray(8192, 'x'));
        } else if (kind == QLatin1String("missing")) {
            path = db_->dir() + QStringLiteral("/missing.db");
        }
        const std::atomic<bool> stop{kind == QLatin1String("stopped")};
        const FileCheck check = QuickCheckDatabaseFile(path, &stop);
        QCOMPARE(int(check.health), health);
        QCOMPARE(check.detail.isEmpty(), check.health == FileCheck::Health::Sound);
        QVERIFY(!QFileInfo::exists(db_->dir() + QStringLiteral("/missing.db")));
    }

    void quickCheckIsDueOnceADay() {
        const QString dir = db_->dir();
        const QDate today(2026, 12, 6);
        QVERIFY(!LastGoodCheck(dir).isValid());
        QVERIFY(QuickCheckDue(dir, today));
        QVERIFY(RecordGoodCheck(dir, today.addDays(-1)));
        QCOMPARE(LastGoodCheck(dir), today.addDays(-1));
        QVERIFY(QuickCheckDue(dir, today));
        QVERIFY(RecordGoodCheck(dir, today));
        QVERIFY(!QuickCheckDue(dir, today));
        // A check recorded on a clock that ran ahead proves nothing about today.
        QVERIFY(RecordGoodCheck(dir, today.addDays(3)));
        QVERIFY(QuickCheckDue(dir, today));
        Write(dir + QStringLiteral("/last-good-check.txt"), "garbage");
        QVERIFY(QuickCheckDue(dir, today));
    }

    // A plain file of the day, as an earlier version wrote it, is the day's backup.
    void plainBackupOfTheDayCounts() {
        const QString plain = db_->dir() + QStringLiteral("/2026-12-06.db");
        QVERIFY(CopyDatabaseFile(live(), plain).ok());
        const DbResult<DailyBackup> daily = MakeDailyBackup(QDate(2026, 12, 6));
        QVERIFY(daily.ok());
        QVERIFY(!daily->made);
        QCOMPARE(daily->path, plain);
        QCOMPARE(ExistingBackupOf(db_->dir(), QDate(2026, 12, 6)), plain);
        QCOMPARE(ExistingBackupOf(db_->dir(), QDate(2026, 12, 7)), QString());
    }

    // Only the backups that pass the check are offered, newest first, plain and compressed.
    void usableBackupsLeaveDamagedOnesOut() {
        const QString dir = db_->dir();
        QVERIFY(CopyDatabaseFile(live(), dir + QStringLiteral("/2026-12-04.db")).ok());
        QVERIFY(CopyDatabaseFile(live(), dir + QStringLiteral("/2026-12-02.db")).ok());
        Write(dir + QStringLiteral("/2026-12-05.db"), QByteArray(8192, 'x'));
        Write(dir + QStringLiteral("/2026-12-03.db"), QByteArray());
        const QString compressed = dir + QStringLiteral("/2026-12-06.db.zst");
        QVERIFY(CopyDatabaseFile(live(), compressed).ok());
        const QString damaged = dir + QStringLiteral("/2026-12-07.db.zst");
        QByteArray bytes = Bytes(compressed);
        bytes[bytes.size() / 2] = char(~bytes[bytes.size() / 2]);
        Write(damaged, bytes);
        int rejected = 0;
        const QList<BackupFile> usable = UsableBackups(dir, {}, &rejected);
        QCOMPARE(rejected, 3);
        QCOMPARE(usable.size(), 3);
        QCOMPARE(usable[0].path, compressed);
        QCOMPARE(usable[1].path, dir + QStringLiteral("/2026-12-04.db"));
        QCOMPARE(usable[2].path, dir + QStringLiteral("/2026-12-02.db"));
        QCOMPARE(usable[0].size, QFileInfo(usable[0].path).size());
    }

    // What a killed backup or restore leaves is removed; files of others, even of like
    // names, are not.
    void draftsOfAKilledCopyAreRemoved() {
        const QString dir = db_->dir();
        const QStringList drafts = {
            QStringLiteral("2026-12-06.db.Ab12Cd.part"),
            QStringLiteral("2026-12-06.db.Ab12Cd.part-journal"),
            QStringLiteral("2026-12-06.db.zst.Ab12Cd.part"),
            QStringLiteral("2026-12-06.db.zst.Ab12Cd.part-zst"),
            QStringLiteral("before-restore-2026-12-06-153012.db.zst.part"),
            QStringLiteral("before-restore-2026-12-06-153012.db.part"),
            QStringLiteral("before-restore-2026-12-06-153012-2.db.part.x9Y8z7.part"),
            QStringLiteral("damaged-2026-12-06-153012.db.part"),
            QStringLiteral("database.db.restore"),
            QStringLiteral("database.db.restore-wal"),
            QStringLiteral("database.db.restore.QwErTy.part"),
        };
        const QStringList others = {
            QStringLiteral("notes.part"),
            QStringLiteral("2026-12-06.db.Ab12Cd.part.txt"),
            QStringLiteral("2026-12-06.db.Ab1.part"),
            QStringLiteral("mine.db.Ab12Cd.part"),
            QStringLiteral("database.db.restored"),
            QStringLiteral("before-restore-2026-12-06-153012.db"),
            QStringLiteral("damaged-2026-12-06-153012.db"),
            QStringLiteral("2026-12-06.db"),
            QStringLiteral("2026-12-06.db.zst"),
            QStringLiteral("2026-12-06.db.zst.Ab12Cd.part.zst"),
        };
        for (const QString& name : drafts + others) {
            Write(dir + QLatin1Char('/') + name, "x");
        }
        QStringList removed = RemoveDrafts(dir);
        for (QString& path : removed) {
            path = QFileInfo(path).fileName();
        }
        removed.sort();
        QStringList expected = drafts;
        expected.sort();
        QCOMPARE(removed, expected);
        for (const QString& name : others) {
            QVERIFY2(QFileInfo::exists(dir + QLatin1Char('/') + name), qPrintable(name));
        }
        QVERIFY(Database::IsOpen());
        QVERIFY(QFileInfo::exists(live()));
    }

    void safetyCopiesBeyondFiveAreRemoved() {
        const QString dir = db_->dir();
        const QDateTime first(QDate(2026, 12, 1), QTime(9, 0));
        for (int i = 0; i < 7; ++i) {
            Write(dir + QLatin1Char('/') + SafetyCopyName(first.addSecs(3600 * i)), "safe");
        }
        Write(dir + QLatin1Char('/') + BackupFileName(QDate(2020, 1, 1)), "daily");
        QCOMPARE(PruneSafetyCopies(dir),
                 (QStringList{dir + QLatin1Char('/') + SafetyCopyName(first.addSecs(3600)),
                              dir + QLatin1Char('/') + SafetyCopyName(first)}));
        const BackupTotals totals = SumBackups(ListBackups(dir));
        QCOMPARE(totals.safetyCount, 5);
        QCOMPARE(totals.safetyBytes, 5 * 4);
        QCOMPARE(totals.dailyCount, 1);
        QCOMPARE(totals.dailyBytes, 5);
    }

    void restoreBringsBackADeletedCustomer_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("compressed") << BackupFileName(QDate(2026, 12, 5));
        QTest::newRow("plain, as earlier versions wrote") << QStringLiteral("2026-12-05.db");
    }
    void restoreBringsBackADeletedCustomer() {
        QFETCH(QString, name);
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString backup = db_->dir() + QLatin1Char('/') + name;
        QVERIFY(CopyDatabaseFile(live(), backup).ok());
        QVERIFY(RemoveCustomer(QStringLiteral("{C1}")).ok());
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));

        const QDateTime stamp(QDate(2026, 12, 6), QTime(15, 30, 12));
        const QString safetyName = SafetyCopyName(stamp);
        QCOMPARE(safetyName, QStringLiteral("before-restore-2026-12-06-153012.db.zst"));
        const DbResult<QString> restored = RestoreDatabase(backup, stamp);
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
        const DbResult<QString> second = RestoreDatabase(backup, stamp);
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
            RestoreDatabase(foreign, QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        QVERIFY(!restored.ok());
        QVERIFY(Database::IsOpen());
        QCOMPARE(TestDatabase::scalar("select count(*) from kh_table").toInt(), 1);
        QCOMPARE(OtherFiles(db_->dir()), files);
    }

    // A damaged database in use cannot be copied soundly: it is kept as it was on disk and
    // the restore goes on.
    void restoreOverADamagedDatabaseKeepsItAsItIs() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString backup = db_->dir() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 5));
        QVERIFY(CopyDatabaseFile(live(), backup).ok());
        QVERIFY(db_->damageButKeepOpenable());
        Database::Close();
        const QByteArray damaged = Bytes(live());
        QVERIFY(Database::Open(db_->dir()).ok);

        const QDateTime stamp(QDate(2026, 12, 6), QTime(15, 30, 12));
        const DbResult<QString> restored = RestoreDatabase(backup, stamp);
        QVERIFY2(restored.ok(), qPrintable(restored.error()));
        QCOMPARE(*restored, db_->dir() + QStringLiteral("/damaged-2026-12-06-153012.db"));
        QCOMPARE(Bytes(*restored), damaged);
        QVERIFY(Database::IsOpen());
        QCOMPARE(TestDatabase::scalar("select count(*) from kh_table").toInt(), 1);
        QCOMPARE(CheckDatabaseFile(live()), QString());
        // Not offered as a backup, and no draft left.
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
        QCOMPARE(OtherFiles(db_->dir()),
                 (QStringList{QStringLiteral("2026-12-05.db.zst"),
                              QStringLiteral("damaged-2026-12-06-153012.db")}));
    }

    // At start the file could not be opened at all; a log left beside it goes with it, never
    // onto the restored file.
    void restoreOverAFileThatDoesNotOpen_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("withLog");
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("garbage") << QByteArray(8192, 'x') << false;
        QTest::newRow("garbage with a log") << QByteArray(8192, 'x') << true;
    }
    void restoreOverAFileThatDoesNotOpen() {
        QFETCH(QByteArray, content);
        QFETCH(bool, withLog);
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString backup = db_->dir() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 5));
        QVERIFY(CopyDatabaseFile(live(), backup).ok());
        Database::Close();
        Write(live(), content);
        const Database::OpenResult opened = Database::Open(db_->dir());
        QVERIFY(!opened.ok && opened.damaged);
        if (withLog) {
            Write(live() + QStringLiteral("-wal"), QByteArray(4096, 'w'));
        }

        const QDateTime stamp(QDate(2026, 12, 6), QTime(7, 0));
        const DbResult<RestorePlan> plan = PrepareRestore(db_->dir(), backup, stamp, {}, true);
        QVERIFY2(plan.ok(), qPrintable(plan.error()));
        QVERIFY(plan->safety.isEmpty());
        const DbStatus finished = FinishRestore(*plan);
        QVERIFY2(finished.ok(), qPrintable(finished.error()));
        QVERIFY(Database::IsOpen());
        QCOMPARE(TestDatabase::scalar("select count(*) from kh_table").toInt(), 1);
        const QString kept = db_->dir() + QStringLiteral("/damaged-2026-12-06-070000.db");
        QCOMPARE(plan->kept(), kept);
        QCOMPARE(Bytes(kept), content);
        QCOMPARE(Bytes(kept + QStringLiteral("-wal")),
                 withLog ? QByteArray(4096, 'w') : QByteArray());
    }

    // A restore that fails leaves no safety copy that could be taken for one of a restore
    // that happened, and no draft.
    void failedRestoreLeavesNoSafetyCopy_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("the prepared file cannot be written") << "staged";
        QTest::newRow("another program has the database open") << "other";
    }
    void failedRestoreLeavesNoSafetyCopy() {
        QFETCH(QString, how);
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString backup = db_->dir() + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 5));
        QVERIFY(CopyDatabaseFile(live(), backup).ok());
        sqlite3* other = nullptr;
        if (how == QLatin1String("staged")) {
            QVERIFY(QDir().mkpath(live() + QStringLiteral(".restore/inside")));
        } else {
            QCOMPARE(sqlite3_open_v2(QFile::encodeName(live()).constData(), &other,
                                     SQLITE_OPEN_READWRITE, nullptr),
                     SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, "insert into cp_table (cp_name) values ('津A')", nullptr,
                                  nullptr, nullptr),
                     SQLITE_OK);
        }
        const QStringList before = OtherFiles(db_->dir());
        const DbResult<QString> restored =
            RestoreDatabase(backup, QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        sqlite3_close_v2(other);
        QVERIFY(!restored.ok());
        QVERIFY(Database::IsOpen());
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
        QCOMPARE(OtherFiles(db_->dir()), before);
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
