#include <windows.h>
// <windows.h> names ReplaceFileW so; ours is platform::ReplaceFile.
#undef ReplaceFile

#include <QCoreApplication>
#include <QRandomGenerator>
#include <cerrno>

#include "platform/file_io.h"
#include "platform/windows_text.h"

namespace platform {

void SetErrnoFromLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            errno = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            errno = EACCES;
            break;
        case ERROR_WRITE_PROTECT:
            errno = EROFS;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            errno = ENOSPC;
            break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            errno = EEXIST;
            break;
        case ERROR_DIRECTORY:
            errno = ENOTDIR;
            break;
        default:
            errno = EIO;
            break;
    }
}

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes the handle however the function leaves, keeping the error of what failed before.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            const DWORD error = GetLastError();
            CloseHandle(handle_);
            SetLastError(error);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool close() {
        const bool ok = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

bool Fail() {
    SetErrnoFromLastError();
    return false;
}

}  // namespace

bool SyncFile(const QString& path) {
    Handle file(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || !FlushFileBuffers(file.get())) {
        return Fail();
    }
    return true;
}

// NTFS journals its names itself, and every rename here is written through.
bool SyncFolder(const QString&) {
    return true;
}

bool ReplaceFile(const QString& from, const QString& to) {
    if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Fail();
    }
    return true;
}

bool HardLink(const QString& from, const QString& to) {
    if (!CreateHardLinkW(WidePath(to).c_str(), WidePath(from).c_str(), nullptr)) {
        return Fail();
    }
    return true;
}

// The file inherits the permissions of its folder, which under the user's own application data
// lets only that user (and the administrators) in.
bool WritePrivateFile(const QString& path, const QByteArray& bytes) {
    const QString draft = path + QStringLiteral(".part");
    const std::wstring wideDraft = WidePath(draft);
    bool ok = false;
    {
        Handle file(CreateFileW(wideDraft.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            return Fail();
        }
        qsizetype written = 0;
        ok = true;
        while (ok && written < bytes.size()) {
            DWORD n = 0;
            const DWORD chunk = DWORD(std::min<qsizetype>(bytes.size() - written, 1 << 20));
            ok = WriteFile(file.get(), bytes.constData() + written, chunk, &n, nullptr) != 0;
            written += n;
        }
        ok = ok && FlushFileBuffers(file.get()) != 0;
        ok = file.close() && ok;
        if (!ok) {
            SetErrnoFromLastError();
        }
    }
    ok = ok && ReplaceFile(draft, path);
    if (!ok) {
        const int error = errno;
        DeleteFileW(wideDraft.c_str());
        errno = error;
    }
    return ok;
}

void SetModifiedTime(const QString& path, const QDateTime& when) {
    Handle file(CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return;
    }
    // File times count 100-nanosecond steps from 1601.
    const quint64 ticks = quint64(when.toMSecsSinceEpoch() + 11644473600000LL) * 10000ULL;
    FILETIME time{DWORD(ticks & 0xFFFFFFFFULL), DWORD(ticks >> 32)};
    SetFileTime(file.get(), nullptr, nullptr, &time);
}

int ProbeWrite(const QString& folder) {
    const QString probe = QStringLiteral("%1/.ruvaso-probe-%2-%3")
                              .arg(folder)
                              .arg(QCoreApplication::applicationPid())
                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    Handle file(CreateFileW(WidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file.valid()) {
        SetErrnoFromLastError();
        return errno;
    }
    return 0;
}

std::optional<FileIdentity> IdentityOf(const QString& path) {
    // Backup semantics open folders too.
    Handle file(CreateFileW(WidePath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0};
}

}  // namespace platform
