#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/file_io.h"

namespace platform {

namespace {

bool SyncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

}  // namespace

bool SyncFile(const QString& path) {
    return SyncPath(path, O_RDONLY);
}

bool SyncFolder(const QString& dir) {
    return SyncPath(dir, O_RDONLY | O_DIRECTORY);
}

bool ReplaceFile(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool HardLink(const QString& from, const QString& to) {
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool WritePrivateFile(const QString& path, const QByteArray& bytes) {
    const QByteArray draft = QFile::encodeName(path + QStringLiteral(".part"));
    ::unlink(draft.constData());
    const int fd = ::open(draft.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    int error = ::fchmod(fd, 0600) == 0 ? 0 : errno;
    qsizetype written = 0;
    while (error == 0 && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n > 0) {
            written += n;
        }
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && !ReplaceFile(QFile::decodeName(draft), path)) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(draft.constData());
        errno = error;
        return false;
    }
    return true;
}

void SetModifiedTime(const QString& path, const QDateTime& when) {
    const qint64 ms = when.toMSecsSinceEpoch();
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(ms / 1000), long(ms % 1000) * 1000000L}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

int ProbeWrite(const QString& folder) {
    QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.ruvaso-probe-XXXXXX"));
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    ::close(fd);
    ::unlink(probe.constData());
    return 0;
}

std::optional<FileIdentity> IdentityOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino), S_ISREG(info.st_mode)};
}

}  // namespace platform
