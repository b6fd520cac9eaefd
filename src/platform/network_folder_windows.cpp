#include <windows.h>

#include <QFileInfo>
#include <vector>

#include "platform/network_folder.h"
#include "platform/windows_text.h"

namespace platform {

QString NetworkFolderKind(const QString& dir) {
    // A UNC path names a share on another machine; asking the system about it would wait on
    // the network.
    const QString native = QDir::toNativeSeparators(dir);
    if (native.startsWith(QStringLiteral("\\\\"))) {
        return QStringLiteral("网络共享");
    }
    std::vector<wchar_t> root(MAX_PATH + 1);
    if (!GetVolumePathNameW(WidePath(QFileInfo(dir).absoluteFilePath()).c_str(), root.data(),
                            DWORD(root.size()))) {
        return {};
    }
    return GetDriveTypeW(root.data()) == DRIVE_REMOTE ? QStringLiteral("网络驱动器") : QString();
}

}  // namespace platform
