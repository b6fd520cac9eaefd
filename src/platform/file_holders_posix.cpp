#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "platform/file_holders.h"

namespace platform {

namespace {

QString ProcessName(const QString& pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

}  // namespace

QStringList ProcessesUsing(const QString& path) {
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

}  // namespace platform
