#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "data/db_result.h"

// Copies of the shop's database. A copy is taken with the engine's online backup inside one
// read transaction, so it shows the database as it was at one moment even while the program
// (or anything else) keeps writing; it is written under a temporary name, checked, and only
// then renamed into place, so a failed copy never spoils an earlier file of the same name.

struct BackupOptions {
    // Pages copied between two progress reports.
    int pagesPerStep = 4096;
    // Called on the copying thread with the pages copied so far and the pages in all.
    std::function<void(qint64 done, qint64 total)> progress;
};

// "2026-12-06.db": the file of a day's backup, named after the date as the database stores
// dates, so no separator can turn it into folders.
QString BackupFileName(const QDate& day);
// The day a daily backup's file name stands for; invalid for every other name.
QDate BackupFileDay(const QString& fileName);

// Copies the database file `source` into `target` and checks the copy. Uses connections of its
// own and touches no state of the open database, so it may run on a thread of its own.
DbStatus CopyDatabaseFile(const QString& source, const QString& target,
                          const BackupOptions& options = {});

// Why the file is not a sound database of this program (integrity, application id), or empty
// when it is.
QString CheckDatabaseFile(const QString& path);

struct BackupFile {
    QDateTime taken;  // a daily backup's day at midnight, or when a safety copy was made
    QString path;
    qint64 size = 0;
    bool safetyCopy = false;  // made by a restore, of the database it replaced
};
// The daily backups and the safety copies in `dataDir`, newest first.
QList<BackupFile> ListBackups(const QString& dataDir);

// Removes the oldest daily backups of `dataDir` beyond the newest `keep`; other files are never
// touched. Returns the paths removed.
QStringList PruneBackups(const QString& dataDir, int keep);

// The first start of a day backs the database up: when `today` has no backup yet, one is made,
// then only the newest `keep` daily backups are kept. An existing file of today is left as it
// is. Needs the open database.
struct DailyBackup {
    bool made = false;
    QString path;
    QStringList removed;
};
DbResult<DailyBackup> MakeDailyBackup(const QDate& today, int keep = 30,
                                      const BackupOptions& options = {});

// Puts the backup `chosen` in place of the open database, in two steps. PrepareRestore does the
// long part and may run on a thread of its own: it checks the chosen file, copies the database
// in use to `<data folder>/<safetyName>` (a name of its own, which no later backup overwrites)
// and copies the chosen file beside the database. FinishRestore, on the thread that opened the
// database, swaps the prepared file in by a rename and reopens it. When any step fails the
// database in use stays (or is put back) as it was.
struct RestorePlan {
    QString dataDir;
    QString live;
    QString safety;
    QString staged;
};
DbResult<RestorePlan> PrepareRestore(const QString& dataDir, const QString& chosen,
                                     const QString& safetyName, const BackupOptions& options = {});
DbStatus FinishRestore(const RestorePlan& plan);
// Both steps at once; returns the path of the safety copy.
DbResult<QString> RestoreDatabase(const QString& chosen, const QString& safetyName);
// "before-restore-2026-12-06-153012.db"
QString SafetyCopyName(const QDateTime& now);
