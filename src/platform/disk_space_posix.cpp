#include <sys/stat.h>
#include <sys/statvfs.h>

#include <QFile>

#include "platform/disk_space.h"

namespace platform {

VolumeSpace SpaceOf(const QString& path) {
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(path).constData(), &disk) != 0) {
        return {};
    }
    return {qint64(disk.f_blocks) * qint64(disk.f_frsize),
            qint64(disk.f_bavail) * qint64(disk.f_frsize)};
}

bool SameVolume(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev;
}

}  // namespace platform
