#include "masterdata/backup_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cerrno>
#include <cstdlib>

#include "core/folder_path.h"
#include "core/number_text.h"
#include "data/engine_error.h"
#include "data/server_backup.h"
#include "platform/disk_space.h"
#include "platform/error_codes.h"
#include "platform/file_io.h"

namespace {

const QString kOrganization = QStringLiteral("ruvaso");
const QString kApplication = QStringLiteral("backup-folder");
const QString kFolderKey = QStringLiteral("folder");
const QString kLastCopyKey = QStringLiteral("last-copy");
const QString kDayFormat = QStringLiteral("yyyy-MM-dd");

const QString kMissing = QStringLiteral("找不到这个文件夹（U盘或网络文件夹是否已连接？）");
const QString kNotAFolder = QStringLiteral("这不是一个文件夹");
const QString kReadOnly = QStringLiteral("文件夹是只读的，不能写入");
const QString kNoPermission = QStringLiteral("没有写入这个文件夹的权限");
const QString kFull = QStringLiteral("磁盘空间不足");
const QString kTooSmall = QStringLiteral("磁盘空间不足：备份需要 %1，只剩 %2");
const QString kIsDataFolder = QStringLiteral("这就是数据文件夹，请选择U盘或其他磁盘上的文件夹");
const QString kInsideDataFolder =
    QStringLiteral("这个文件夹在数据文件夹里面，请选择U盘或其他磁盘上的文件夹");

QVariant Read(const QString& dataDir, const QString& key) {
    QSettings settings(kOrganization, kApplication);
    settings.beginGroup(FolderSettingsGroup(dataDir));
    return settings.value(key);
}

void Write(const QString& dataDir, const QString& key, const QVariant& value) {
    QSettings settings(kOrganization, kApplication);
    settings.beginGroup(FolderSettingsGroup(dataDir));
    if (value.isNull()) {
        settings.remove(key);
    } else {
        settings.setValue(key, value);
    }
    settings.endGroup();
    settings.sync();
}

QString WriteReason(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kMissing;
        case EROFS:
            return kReadOnly;
        case EACCES:
        case EPERM:
            return kNoPermission;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kFull;
        default:
            return DescribeSystemError(error);
    }
}

}  // namespace

QString BackupFolder(const QString& dataDir) {
    return Read(dataDir, kFolderKey).toString();
}

void SetBackupFolder(const QString& dataDir, const QString& folder) {
    Write(dataDir, kFolderKey, folder.isEmpty() ? QVariant() : QVariant(folder));
    // A copy in another folder says nothing about this one.
    Write(dataDir, kLastCopyKey, QVariant());
}

QDate LastBackupFolderCopy(const QString& dataDir) {
    return QDate::fromString(Read(dataDir, kLastCopyKey).toString(), kDayFormat);
}

void RecordBackupFolderCopy(const QString& dataDir, const QDate& day) {
    Write(dataDir, kLastCopyKey, day.toString(kDayFormat));
}

QString UnsuitableBackupFolder(const QString& dataDir, const QString& folder) {
    const QString data = CleanFolderPath(dataDir);
    const QString chosen = CleanFolderPath(folder);
    if (chosen == data) {
        return kIsDataFolder;
    }
    if (chosen.startsWith(data + QLatin1Char('/'))) {
        return kInsideDataFolder;
    }
    return {};
}

bool OnSameDisk(const QString& a, const QString& b) {
    return platform::SameVolume(a, b);
}

FolderProblem CheckBackupFolder(const QString& folder, const qint64 needed) {
    const QFileInfo info(folder);
    if (!info.exists()) {
        return {true, kMissing};
    }
    if (!info.isDir()) {
        return {false, kNotAFolder};
    }
    // Writing a file is the one test that tells the truth for permissions, read-only media and
    // network folders alike.
    if (const int error = platform::ProbeWrite(folder); error != 0) {
        return {error == ENOENT || error == ENOTDIR, WriteReason(error)};
    }
    const DiskSpace space = DiskSpaceOf(folder);
    if (space.total > 0 && space.available < needed) {
        return {false, kTooSmall.arg(FileSizeText(needed), FileSizeText(space.available))};
    }
    return {};
}

DbResult<QString> CopyToBackupFolder(const QString& source, const QString& folder, const QDate& day,
                                     const BackupOptions& options, const BackupRetention& keep) {
    if (const FolderProblem problem = CheckBackupFolder(folder, SpaceForBackup(source));
        !problem.isEmpty()) {
        return DbResult<QString>::failure(problem.reason);
    }
    const QString target = QDir(folder).filePath(BackupFileName(day));
    // A plain file of the same day that an earlier version wrote is replaced by the new one.
    const QString previous = ExistingBackupOf(folder, day);
    if (const DbStatus copied = CopyDatabaseFile(source, target, options); !copied) {
        return DbResult<QString>::failure(copied.error());
    }
    if (!previous.isEmpty() && previous != target) {
        QFile::remove(previous);
    }
    PruneBackups(folder, keep);
    return target;
}

DbResult<QString> CopyDumpToBackupFolder(const PgClientTools& tools, const QString& source,
                                         const QString& folder, const QDate& day,
                                         const BackupOptions& options,
                                         const BackupRetention& keep) {
    if (const FolderProblem problem = CheckBackupFolder(folder, QFileInfo(source).size());
        !problem.isEmpty()) {
        return DbResult<QString>::failure(problem.reason);
    }
    const QString target = QDir(folder).filePath(BackupFileName(day, BackupKind::Dump));
    if (const DbStatus copied = CopyDumpFile(tools, source, target, options); !copied) {
        return DbResult<QString>::failure(copied.error());
    }
    PruneBackups(folder, keep, BackupKind::Dump);
    return target;
}

QDate NewestBackupFolderCopy(const QString& dataDir, const QString& folder, BackupKind kind) {
    if (!QFileInfo(folder).isDir()) {
        return LastBackupFolderCopy(dataDir);
    }
    QDate newest;
    for (const BackupFile& file : ListBackups(folder, kind)) {
        if (!file.safetyCopy && (!newest.isValid() || file.taken.date() > newest)) {
            newest = file.taken.date();
        }
    }
    return newest;
}

bool BackupFolderCopyStale(const QDate& newest, const QDate& today, const int maxDays) {
    return !newest.isValid() || newest.daysTo(today) > maxDays;
}
