#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include "data/backup.h"
#include "data/db_result.h"
#include "data/server_backup.h"

// The backup a start makes unasked: the day's copy in the data folder, pruned by the retention,
// and the day's copy in the backup folder when that folder is there and lacks it. Works on
// connections and files of its own and touches no state of the open database, so it runs on a
// thread of its own while the shop works; what it found is handled on the GUI thread. On a
// server the copies are dumps made by the server's tools, kept and pruned the same way.

struct DayBackupRequest {
    QString dataDir;
    QString folder;  // the backup folder, or empty for none
    QDateTime now;   // the program's clock when the start began
    DailyBackupPolicy policy;
    // On a server, where it is: the day's backup is then a dump.
    ServerBackupSource server;
};

struct DayBackupOutcome {
    // The data folder's copy; a failure when it could not be made.
    DbResult<DailyBackup> daily = DbResult<DailyBackup>::failure(QString());
    // The copy failed the check: the database itself is damaged. Nothing else was done.
    bool damaged = false;
    // Ended early on request: nothing is to be said or recorded.
    bool stopped = false;
    bool folderCopied = false;
    QString folderError;   // why the backup folder could not take its copy
    QDate newestInFolder;  // invalid when the folder has none
};

DayBackupOutcome MakeDayBackup(const DayBackupRequest& request, const BackupOptions& options = {});
