#include "data/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <cerrno>

#include "data/engine_error.h"
#include "platform/file_holders.h"
#include "platform/network_folder.h"

FolderLock::FolderLock(const QString& dir)
    : dir_(dir), lock_(std::make_unique<QLockFile>(dir + QLatin1Char('/') + FileName())) {
    // A program of ours keeps its lock for the whole day: only a dead holder makes it stale.
    lock_->setStaleLockTime(0);
    errno = 0;
    const bool locked = lock_->tryLock(0);
    const int systemErrno = errno;
    if (locked) {
        outcome_ = Outcome::Locked;
        return;
    }
    switch (lock_->error()) {
        case QLockFile::LockFailedError:
            outcome_ = Outcome::HeldByAnother;
            break;
        case QLockFile::PermissionError:
            error_ = QStringLiteral("无法在数据文件夹中建立锁文件：") + DescribeSystemError(EACCES);
            break;
        default:
            error_ = QStringLiteral("无法在数据文件夹中建立锁文件：") +
                     DescribeSystemError(systemErrno ? systemErrno : EIO);
            break;
    }
}

FolderLock::~FolderLock() = default;

bool FolderLock::stillHeld() const {
    if (outcome_ != Outcome::Locked) {
        return false;
    }
    qint64 pid = 0;
    QString host;
    QString app;
    return lock_->getLockInfo(&pid, &host, &app) && pid == QCoreApplication::applicationPid();
}

QString NetworkFileSystem(const QString& dir) {
    return platform::NetworkFolderKind(dir);
}

QStringList OtherProcessesUsing(const QString& path) {
    return platform::ProcessesUsing(path);
}
