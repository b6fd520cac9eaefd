#include "data/data_folder.h"

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <cerrno>

#include "data/engine_error.h"

namespace {

QString ProcessName(const QString& pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

}  // namespace

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

QString NetworkFileSystemName(long type) {
    switch (static_cast<unsigned long>(type) & 0xffffffffUL) {
        case 0x6969:
            return QStringLiteral("NFS");
        case 0x517b:
        case 0xff534d42:
        case 0xfe534d42:
            return QStringLiteral("SMB/CIFS");
        case 0x564c:
            return QStringLiteral("NCP");
        case 0x5346414f:
            return QStringLiteral("AFS");
        case 0x73757245:
            return QStringLiteral("Coda");
        case 0x01021997:
            return QStringLiteral("9P");
        case 0x00c36400:
            return QStringLiteral("Ceph");
        case 0x0bd00bd0:
            return QStringLiteral("Lustre");
        case 0x01161970:
            return QStringLiteral("GFS2");
        case 0x7461636f:
            return QStringLiteral("OCFS2");
        default:
            return {};
    }
}

QString NetworkFileSystem(const QString& dir) {
    struct statfs info {};
    if (::statfs(QFile::encodeName(dir).constData(), &info) != 0) {
        return {};
    }
    return NetworkFileSystemName(long(info.f_type));
}

QStringList OtherProcessesUsing(const QString& path) {
    struct stat target {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0) {
        return {};
    }
    QStringList users;
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QStringList pids =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool number = false;
        pid.toLongLong(&number);
        if (!number || pid == self) {
            continue;
        }
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList fds =
            QDir(fdDir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& fd : fds) {
            struct stat open {};
            if (::stat(QFile::encodeName(fdDir + QLatin1Char('/') + fd).constData(), &open) == 0 &&
                open.st_dev == target.st_dev && open.st_ino == target.st_ino) {
                users << QStringLiteral("%1 (%2)").arg(ProcessName(pid), pid);
                break;
            }
        }
    }
    return users;
}
