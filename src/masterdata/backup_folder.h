#pragma once

#include <QDate>
#include <QString>

#include "data/backup.h"
#include "data/db_result.h"
#include "data/pg_tools.h"

// A second home for the backups, outside the data folder (a USB stick, a network folder), so
// that they outlive the disk that holds the database. Each data folder has its own, kept in the
// user's settings, so two shops on one computer never write over each other's copies.

QString BackupFolder(const QString& dataDir);
// An empty folder means none.
void SetBackupFolder(const QString& dataDir, const QString& folder);
// The day a backup was last written to the folder: what the program can still tell while the
// stick is unplugged.
QDate LastBackupFolderCopy(const QString& dataDir);
void RecordBackupFolderCopy(const QString& dataDir, const QDate& day);

// Why `folder` cannot serve as the backup folder of `dataDir` at all (it is the data folder or
// lies inside it), or empty.
QString UnsuitableBackupFolder(const QString& dataDir, const QString& folder);
// Whether both paths are on one file system: a disk that dies takes both.
bool OnSameDisk(const QString& a, const QString& b);

// Why a backup of `needed` bytes cannot be written into `folder` now, or empty when it can.
struct FolderProblem {
    bool missing = false;  // not there at all, as an unplugged stick
    QString reason;
    bool isEmpty() const { return reason.isEmpty(); }
};
FolderProblem CheckBackupFolder(const QString& folder, qint64 needed);

// Copies the database file `source` into `folder` as the backup of `day`, checked, and applies
// the retention of the data folder to the folder's daily backups. Returns the copy's path. What
// stood under that name stays as it was when anything fails.
DbResult<QString> CopyToBackupFolder(const QString& source, const QString& folder, const QDate& day,
                                     const BackupOptions& options = {},
                                     const BackupRetention& keep = {});

// The same for a dump of the server's database, read back with `tools` before it counts.
DbResult<QString> CopyDumpToBackupFolder(const PgClientTools& tools, const QString& source,
                                         const QString& folder, const QDate& day,
                                         const BackupOptions& options = {},
                                         const BackupRetention& keep = {});

// The day of the newest backup of `kind` in the folder, read from the folder when it is there
// and from the record otherwise; invalid when there is none.
QDate NewestBackupFolderCopy(const QString& dataDir, const QString& folder,
                             BackupKind kind = BackupKind::File);

// The owner is reminded when the folder has no backup or only one older than this.
constexpr int kBackupFolderMaxAgeDays = 7;
bool BackupFolderCopyStale(const QDate& newest, const QDate& today,
                           int maxDays = kBackupFolderMaxAgeDays);
