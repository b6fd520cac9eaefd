#include <sys/vfs.h>

#include <QFile>

#include "platform/network_folder.h"

namespace platform {

QString NetworkFolderKind(const QString& dir) {
    struct statfs info {};
    if (::statfs(QFile::encodeName(dir).constData(), &info) != 0) {
        return {};
    }
    return NetworkFileSystemName(long(info.f_type));
}

}  // namespace platform
