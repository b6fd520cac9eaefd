#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "data/db_result.h"

// Copies of the shop's database. A copy is taken with the engine's online backup inside one
// read transaction, so it shows the database as it was at one moment even while the program
// (or anything else) keeps writing; it is written under a temporary name, checked, and only
// then renamed into place, so a failed copy never spoils an earlier file of the same name.
// Backups are stored compressed (".db.zst"), each a self-contained file; the plain ones that
// earlier versions wrote are still listed, kept and restored.

struct BackupOptions {
    // Pages copied between two progress reports.
    int pagesPerStep = 4096;
    // Called on the copying thread with the pages copied so far and the pages in all.
    std::function<void(qint64 done, qint64 total)> progress;
    // When valid, the copy's modification time: the moment the program's clock says it was
    // taken, which the lists show.
    QDateTime written;
    // When set, ends the copy (or its check) early as a failure, and its draft goes.
    const std::atomic<bool>* stop = nullptr;

    // How long a restore on a server waits for a lock another connection holds before it gives
    // up, leaving the database as it was.
    int lockWaitMs = 30000;
};

// What a backup file holds: a copy of the database file (".db"), or a dump of the server's
// database made by its own tools (".dump"). Each engine lists, keeps and restores its own kind.
enum class BackupKind { File, Dump };
// The kind the open database backs up to.
BackupKind CurrentBackupKind();
// ".db" or ".dump".
QString BackupExtension(BackupKind kind);
// The names a file dialog offers for a backup of `kind`: "*.db *.db.zst" or "*.dump".
QString BackupPickPattern(BackupKind kind);

// "2026-12-06.db.zst": the file of a day's backup, named after the date as the database stores
// dates, so no separator can turn it into folders.
QString BackupFileName(const QDate& day, BackupKind kind = BackupKind::File);
// The day a daily backup's file name (compressed or plain) stands for; invalid for every other
// name.
QDate BackupFileDay(const QString& fileName, BackupKind kind = BackupKind::File);
// The file of `day`'s backup in `dir`, compressed or plain; empty when there is none.
QString ExistingBackupOf(const QString& dir, const QDate& day, BackupKind kind = BackupKind::File);

// Copies the database file `source` into `target` and checks the copy. A `target` named
// ".zst" is written compressed: the engine checks the plain copy while it is compressed, and
// the compressed file is decompressed and compared with it before it takes its name. A
// compressed `source` (a backup) is decompressed first, or copied as it is into a compressed
// target. Uses connections of its own and touches no state of the open database, so it may run
// on a thread of its own. When the copy fails because the source itself is damaged (its pages
// cannot be read, or their copy does not pass the check), `sourceDamaged` is set; a full disk or
// a missing folder leaves it false.
DbStatus CopyDatabaseFile(const QString& source, const QString& target,
                          const BackupOptions& options = {}, bool* sourceDamaged = nullptr);
// The room a backup of `source` takes on disk while it is made.
qint64 SpaceForBackup(const QString& source);

// Why the file is not a sound database of this program (integrity, application id), or empty
// when it is. A compressed file is checked as the database it decompresses to.
QString CheckDatabaseFile(const QString& path);

// What a check found: the file is sound, it is damaged (with the engine's findings), or the
// check could not tell (the file could not be read at all, say).
struct FileCheck {
    enum class Health { Sound, Damaged, Unknown };
    Health health = Health::Unknown;
    QString detail;
};
// The engine's quick check of a database file on a read-only connection of its own; safe while
// the program keeps using the file, and on a thread of its own. Setting `stop` ends it early,
// with an unknown result, as does a file replaced meanwhile (by a restore).
FileCheck QuickCheckDatabaseFile(const QString& path, const std::atomic<bool>* stop = nullptr);

// The day of the last quick check of `dataDir`'s database that found it sound, kept in a small
// file of the folder; invalid when there is none.
QDate LastGoodCheck(const QString& dataDir);
bool RecordGoodCheck(const QString& dataDir, const QDate& day);
// The check runs once a day: not when it already passed today.
bool QuickCheckDue(const QString& dataDir, const QDate& today);

struct BackupFile {
    // When a safety copy was made; a daily backup's day, at the time its file was written when
    // that was on the same day (else at midnight, with `hasTime` false).
    QDateTime taken;
    QString path;
    qint64 size = 0;
    bool safetyCopy = false;  // made by a restore, of the database it replaced
    bool hasTime = true;
};
// The daily backups and the safety copies of `kind` in `dataDir`, newest first.
QList<BackupFile> ListBackups(const QString& dataDir, BackupKind kind = BackupKind::File);
// The backups of `dataDir` that pass a quick check and are this program's databases, newest
// first; `rejected` counts the others.
QList<BackupFile> UsableBackups(const QString& dataDir, const BackupOptions& options = {},
                                int* rejected = nullptr);

struct BackupTotals {
    int dailyCount = 0;
    qint64 dailyBytes = 0;
    int safetyCount = 0;
    qint64 safetyBytes = 0;
};
BackupTotals SumBackups(const QList<BackupFile>& files);

// How many daily backups are kept: the newest `daily` days, and the newest backup of each of
// the newest `weekly` weeks (Monday to Sunday) and `monthly` months that have one.
struct BackupRetention {
    int daily = 7;
    int weekly = 4;
    int monthly = 12;
};
// The days of `days` (backup days, in any order) that the retention keeps, newest first.
QList<QDate> BackupDaysToKeep(const QList<QDate>& days, const BackupRetention& keep = {});

// Removes the daily backups of `dataDir` that the retention does not keep; other files are
// never touched. Returns the paths removed.
QStringList PruneBackups(const QString& dataDir, const BackupRetention& keep = {},
                         BackupKind kind = BackupKind::File);
// Removes the safety copies of `dataDir` beyond the newest `keep`. Returns the paths removed.
QStringList PruneSafetyCopies(const QString& dataDir, int keep = 5,
                              BackupKind kind = BackupKind::File);
// Removes what a backup or restore that was killed halfway left in `dataDir`: the drafts of
// copies and the file a restore had prepared. Only files named as this program names its
// drafts are touched. Returns the paths removed.
QStringList RemoveDrafts(const QString& dataDir);

// Space on the disk that holds a path, in bytes.
struct DiskSpace {
    qint64 total = 0;
    qint64 available = 0;
};
// Invalid (total 0) when the system cannot tell.
DiskSpace DiskSpaceOf(const QString& path);
// What a daily backup must leave free on its disk: `minFreeShare` of the disk, but never more
// than `maxReserve` bytes, so that a large disk that is nine tenths full still takes a backup
// of a few megabytes.
qint64 FreeReserve(const DiskSpace& space, double minFreeShare, qint64 maxReserve);
// Whether writing `bytes` more still leaves at least `reserve` bytes of the disk free.
bool LeavesEnoughFree(const DiskSpace& space, qint64 bytes, qint64 reserve);

// The first start of a day backs the database up: when `today` has no backup yet, one is made,
// then the retention prunes the daily backups. An existing file of today is left as it is. A
// backup that would leave less than its FreeReserve free is not made. Needs the open database.
struct DailyBackupPolicy {
    BackupRetention keep;
    double minFreeShare = 0.10;
    qint64 maxReserve = qint64(2) << 30;
    qint64 reserveOn(const DiskSpace& space) const {
        return FreeReserve(space, minFreeShare, maxReserve);
    }
};
struct DailyBackup {
    bool made = false;
    // Not made: it would have left too little of the disk free.
    bool skippedForSpace = false;
    qint64 needed = 0;   // the size of the copy, when skipped
    DiskSpace space;     // the disk, when skipped
    qint64 reserve = 0;  // what had to stay free, when skipped
    QString path;
    QStringList removed;
};
// On failure `sourceDamaged` tells a damaged database from other reasons, as for a copy.
DbResult<DailyBackup> MakeDailyBackup(const QDate& today, const DailyBackupPolicy& policy = {},
                                      const BackupOptions& options = {},
                                      bool* sourceDamaged = nullptr);
// The same for the database of `dataDir`, without the open database's state: for a thread of
// its own.
DbResult<DailyBackup> MakeDailyBackup(const QString& dataDir, const QDate& today,
                                      const DailyBackupPolicy& policy = {},
                                      const BackupOptions& options = {},
                                      bool* sourceDamaged = nullptr);

// Puts the backup `chosen` in place of the database, in two steps. PrepareRestore does the long
// part and may run on a thread of its own: it checks the chosen file, copies the database in use
// to an interim name of a safety copy (one of its own, which no later backup overwrites) and
// copies the chosen file beside the database. When the database in use is damaged, and so
// cannot be copied soundly, or when the caller already knows it is (`currentDamaged`), it is
// kept instead as it is on disk, as `damaged-<stamp>.db`. FinishRestore, on the thread that
// opens the database, gives the safety copy its final name, swaps the prepared file in by a
// rename and opens it; the database need not be open before. When any step fails the database
// stays (or is put back) as it was and no safety copy is left behind.
struct RestorePlan {
    QString dataDir;
    QString live;
    QString safety;       // the safety copy's final name; empty when the database is damaged
    QString safetyDraft;  // where the safety copy waits until the swap
    QString damaged;      // where a damaged database is kept; empty when it is sound
    QString staged;
    // Where the database that was replaced is kept.
    QString kept() const { return damaged.isEmpty() ? safety : damaged; }
};
DbResult<RestorePlan> PrepareRestore(const QString& dataDir, const QString& chosen,
                                     const QDateTime& stamp, const BackupOptions& options = {},
                                     bool currentDamaged = false);
DbStatus FinishRestore(const RestorePlan& plan);
// Both steps at once on the open database; returns where the database replaced is kept.
DbResult<QString> RestoreDatabase(const QString& chosen, const QDateTime& stamp);
// "before-restore-2026-12-06-153012.db.zst"
QString SafetyCopyName(const QDateTime& now, BackupKind kind = BackupKind::File);
// "damaged-2026-12-06-153012.db"
QString DamagedCopyName(const QDateTime& now);
