#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "core/clock.h"
#include "data/backup.h"
#include "masterdata/backup_folder.h"
#include "support/rule_test.h"
#include "support/scratch_settings.h"

namespace {

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QList<QDate> DailyDays(const QString& folder) {
    QList<QDate> days;
    for (const BackupFile& file : ListBackups(folder)) {
        days << file.taken.date();
    }
    return days;
}

}  // namespace

class TestBackupFolder : public RuleTest {
    Q_OBJECT

    std::unique_ptr<ScratchSettings> settings_;

private Q_SLOTS:
    void init() {
        RuleTest::init();
        settings_ = std::make_unique<ScratchSettings>();
    }

    void staleAfterAWeek_data() {
        QTest::addColumn<int>("age");  // days; -1 for no copy at all
        QTest::addColumn<bool>("stale");
        QTest::newRow("none") << -1 << true;
        QTest::newRow("today") << 0 << false;
        QTest::newRow("seven days") << 7 << false;
        QTest::newRow("eight days") << 8 << true;
        QTest::newRow("clock put back") << -3 << false;
    }
    void staleAfterAWeek() {
        QFETCH(int, age);
        QFETCH(bool, stale);
        const QDate today(2026, 12, 7);
        const QDate newest = age == -1 ? QDate() : today.addDays(-age);
        QCOMPARE(BackupFolderCopyStale(newest, today), stale);
    }

    // Each data folder has its own backup folder; choosing another forgets the last copy.
    void settingsBelongToTheDataFolder() {
        QTemporaryDir other;
        const QString dir = db_->dir();
        QCOMPARE(BackupFolder(dir), QString());
        SetBackupFolder(dir, QStringLiteral("/media/shop/STICK"));
        RecordBackupFolderCopy(dir, QDate(2026, 12, 1));
        QCOMPARE(BackupFolder(dir + QStringLiteral("/")), QStringLiteral("/media/shop/STICK"));
        QCOMPARE(LastBackupFolderCopy(dir), QDate(2026, 12, 1));
        QCOMPARE(BackupFolder(other.path()), QString());
        SetBackupFolder(dir, QStringLiteral("/mnt/office"));
        QVERIFY(!LastBackupFolderCopy(dir).isValid());
        SetBackupFolder(dir, QString());
        QCOMPARE(BackupFolder(dir), QString());
    }

    void theDataFolderIsNoBackupFolder() {
        const QString dir = db_->dir();
        QVERIFY(!UnsuitableBackupFolder(dir, dir).isEmpty());
        QVERIFY(
            !UnsuitableBackupFolder(dir, dir + QStringLiteral("/../") + QFileInfo(dir).fileName())
                 .isEmpty());
        QVERIFY(QDir(dir).mkdir(QStringLiteral("copies")));
        QVERIFY(!UnsuitableBackupFolder(dir, dir + QStringLiteral("/copies")).isEmpty());
        QTemporaryDir elsewhere;
        QCOMPARE(UnsuitableBackupFolder(dir, elsewhere.path()), QString());
        // A name that only begins like the data folder is another folder.
        QCOMPARE(UnsuitableBackupFolder(dir, dir + QStringLiteral("-copies")), QString());
    }

    // The copy passes the check, and the folder keeps the days the data folder's rule keeps.
    void copyAppliesTheRetention() {
        QTemporaryDir stick;
        const QDate today(2026, 12, 7);
        QList<QDate> days;
        for (int i = 1; i <= 60; ++i) {
            days << today.addDays(-i);
            Touch(stick.filePath(BackupFileName(today.addDays(-i))));
        }
        Touch(stick.filePath(QStringLiteral("notes.txt")));
        const DbResult<QString> copied = CopyToBackupFolder(db_->filePath(), stick.path(), today);
        QVERIFY2(copied.ok(), qPrintable(copied.error()));
        QCOMPARE(*copied, stick.filePath(BackupFileName(today)));
        QCOMPARE(CheckDatabaseFile(*copied), QString());
        QCOMPARE(DailyDays(stick.path()), BackupDaysToKeep(days << today));
        QVERIFY(QFileInfo::exists(stick.filePath(QStringLiteral("notes.txt"))));
        QCOMPARE(NewestBackupFolderCopy(db_->dir(), stick.path()), today);
    }

    // An unplugged stick: nothing is written anywhere, and the record tells the last copy.
    void missingFolderTakesNothing() {
        QTemporaryDir parent;
        const QString stick = parent.filePath(QStringLiteral("STICK"));
        const DbResult<QString> copied =
            CopyToBackupFolder(db_->filePath(), stick, QDate(2026, 12, 7));
        QVERIFY(!copied.ok());
        QCOMPARE(copied.error(), QStringLiteral("找不到这个文件夹（U盘或网络文件夹是否已连接？）"));
        QVERIFY(CheckBackupFolder(stick, 0).missing);
        QCOMPARE(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(!NewestBackupFolderCopy(db_->dir(), stick).isValid());
        RecordBackupFolderCopy(db_->dir(), QDate(2026, 11, 30));
        QCOMPARE(NewestBackupFolderCopy(db_->dir(), stick), QDate(2026, 11, 30));

        Touch(stick);
        const FolderProblem file = CheckBackupFolder(stick, 0);
        QVERIFY(!file.missing);
        QCOMPARE(file.reason, QStringLiteral("这不是一个文件夹"));
    }
};

QTEST_GUILESS_MAIN(TestBackupFolder)
#include "test_backup_folder.moc"
