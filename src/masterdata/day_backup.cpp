#include "masterdata/day_backup.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "data/database.h"
#include "masterdata/backup_folder.h"

namespace {

bool Stopped(const BackupOptions& options) {
    return options.stop && options.stop->load();
}

// A folder that is not there (a stick left at home) is passed over in silence.
void CopyToFolder(const DayBackupRequest& request, const ServerBackupTarget* server,
                  const BackupOptions& options, DayBackupOutcome* outcome) {
    const QDate today = request.now.date();
    const QString folder = request.folder;
    const BackupKind kind = server ? BackupKind::Dump : BackupKind::File;
    if (!QFileInfo(folder).isDir() || !ExistingBackupOf(folder, today, kind).isEmpty()) {
        return;
    }
    RemoveDrafts(folder);
    BackupOptions stamped = options;
    stamped.written = request.now;
    const QString todays = ExistingBackupOf(request.dataDir, today, kind);
    DbResult<QString> copied = DbResult<QString>::failure(QString());
    if (server) {
        // Only a dump that was made and checked goes there: the server itself is no file.
        if (todays.isEmpty()) {
            return;
        }
        copied = CopyDumpToBackupFolder(server->tools, todays, folder, today, stamped);
    } else {
        const QString source =
            !todays.isEmpty() ? todays : request.dataDir + QLatin1Char('/') + Database::FileName();
        copied = CopyToBackupFolder(source, folder, today, stamped);
    }
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
    std::optional<ServerBackupTarget> server;
    if (request.server.onServer()) {
        const DbResult<ServerBackupTarget> target = ServerBackupTargetFor(request.server);
        if (!target) {
            outcome.daily = DbResult<DailyBackup>::failure(target.error());
            return outcome;
        }
        server = *target;
        outcome.daily = MakeDailyServerBackup(*server, request.now.date(), request.policy, stamped);
    } else {
        outcome.daily = MakeDailyBackup(request.dataDir, request.now.date(), request.policy,
                                        stamped, &outcome.damaged);
    }
    outcome.damaged = outcome.damaged && !outcome.daily;
    if (Stopped(options)) {
        outcome.stopped = true;
        return outcome;
    }
    if (outcome.damaged || request.folder.isEmpty()) {
        return outcome;
    }
    CopyToFolder(request, server ? &*server : nullptr, options, &outcome);
    outcome.stopped = Stopped(options);
    outcome.newestInFolder = NewestBackupFolderCopy(request.dataDir, request.folder,
                                                    server ? BackupKind::Dump : BackupKind::File);
    return outcome;
}
