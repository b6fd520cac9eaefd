#pragma once

#include <QString>
#include <functional>

#include "data/backup.h"
#include "masterdata/day_backup.h"

class QWidget;

namespace database_modu {

// "数据备份": copies the database in use to <data folder>/<today>.db and, when a backup folder
// is set, to <backup folder>/<today>.db too. When either file exists the operator is asked
// first, naming them, and Cancel copies nothing and says nothing. One message reports both
// copies; a backup folder that cannot take its copy is named with the reason, and the copy in
// the data folder stands. Returns whether a backup was made anywhere.
bool Backup(QWidget* parent);

// What the start of a day found out about the database.
struct StartOfDay {
    // The copy of the database did not pass the check: the database itself is damaged.
    bool damaged = false;
    QString problem;  // the check's findings, for the user
};

// The first start of a day makes the day's backup unasked and prunes the older ones (the
// newest days, weeks and months are kept). A backup that would leave too little of the disk
// free is skipped with a message, a failure is reported; damage of the database is only
// returned, for the caller to offer a restore. A backup made records the database as checked.
// Every start copies the day's backup to the backup folder when the folder is there and lacks
// it, and reminds the owner once when the folder's newest copy is over a week old.
StartOfDay StartOfDayBackup(QWidget* parent);

// The same in two halves, for a backup that runs in the background: what to back up, taken from
// the open database on the GUI thread, and, once MakeDayBackup has run, what it found, recorded
// and told on the GUI thread. A stopped backup says nothing.
DayBackupRequest StartOfDayRequest();
StartOfDay ReportStartOfDay(QWidget* parent, const DayBackupRequest& request,
                            const DayBackupOutcome& outcome);

}  // namespace database_modu

// Runs `work` on a thread of its own while the windows keep painting: the busy cursor shows,
// input to the windows waits, and a progress window appears when the work takes more than a
// moment. `work` reports its progress through the options it is given.
DbStatus RunWithProgress(QWidget* parent, const QString& label,
                         const std::function<DbStatus(const BackupOptions&)>& work);
