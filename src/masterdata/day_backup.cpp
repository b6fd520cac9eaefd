#include "masterdata/day_backup.h"

#include <QDir>
#include <QFileInfo>

#include "data/database.h"
#include "masterdata/backup_folder.h"

namespace {

bool Stopped(const BackupOptions& options) {
    return options.stop && options.stop->load();
}

// A folder that is not there (a stick left at home) is passed over in silence.
void CopyToFolder(const DayBackupRequest& request, const BackupOptions& options,
                  DayBackupOutcome* outcome) {
    const QDate today = request.now.date();
    const QString folder = request.folder;
    if (!QFileInfo(folder).isDir() ||
        QFileInfo::exists(QDir(folder).filePath(BackupFileName(today)))) {
        return;
    }
    RemoveDrafts(folder);
    const QString todays = request.dataDir + QLatin1Char('/') + BackupFileName(today);
    const QString source = QFileInfo::exists(todays)
                               ? todays
                               : request.dataDir + QLatin1Char('/') + Database::FileName();
    BackupOptions stamped = options;
    stamped.written = request.now;
    const DbResult<QString> copied = CopyToBackupFolder(source, folder, today, stamped);
    outcome->folderCopied = bool(copied);
    if (!copied) {
        outcome->folderError = copied.error();
    }
}

}  // namespace

DayBackupOutcome MakeDayBackup(const DayBackupRequest& request, const BackupOptions& options) {
    DayBackupOutcome outcome;
    BackupOptions stamped = options;
    stamped.written = request.now;
    outcome.daily = MakeDailyBackup(request.dataDir, request.now.date(), request.policy, stamped,
                                    &outcome.damaged);
    outcome.damaged = outcome.damaged && !outcome.daily;
    if (Stopped(options)) {
        outcome.stopped = true;
        return outcome;
    }
    if (outcome.damaged || request.folder.isEmpty()) {
        return outcome;
    }
    CopyToFolder(request, options, &outcome);
    outcome.stopped = Stopped(options);
    outcome.newestInFolder = NewestBackupFolderCopy(request.dataDir, request.folder);
    return outcome;
}
