#include <windows.h>

#include <QFileInfo>
#include <vector>

#include "platform/disk_space.h"
#include "platform/windows_text.h"

namespace platform {

namespace {

// The root of the volume holding `path` ("C:\", a mount folder or a share), or empty.
std::wstring VolumeOf(const QString& path) {
    std::vector<wchar_t> root(MAX_PATH + 1);
    if (!GetVolumePathNameW(WidePath(QFileInfo(path).absoluteFilePath()).c_str(), root.data(),
                            DWORD(root.size()))) {
        return {};
    }
    return root.data();
}

}  // namespace

VolumeSpace SpaceOf(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExW(WidePath(folder).c_str(), &available, &total, nullptr)) {
        return {};
    }
    return {qint64(total.QuadPart), qint64(available.QuadPart)};
}

bool SameVolume(const QString& a, const QString& b) {
    if (!QFileInfo::exists(a) || !QFileInfo::exists(b)) {
        return false;
    }
    const std::wstring first = VolumeOf(a);
    return !first.empty() && QString::fromStdWString(first).compare(
                                 QString::fromStdWString(VolumeOf(b)), Qt::CaseInsensitive) == 0;
}

}  // namespace platform
