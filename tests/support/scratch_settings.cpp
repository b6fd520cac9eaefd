#include "support/scratch_settings.h"

#include <QProcess>
#include <QSettings>

ScratchSettings::ScratchSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
}

namespace {

bool Run(const QStringList& args) {
    return QProcess::execute(QStringLiteral("mount"), args) == 0;
}

}  // namespace

MountedFolder::MountedFolder(Kind kind, qint64 bytes) {
    if (kind == Kind::Small) {
        mounted_ = Run({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                        QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), path()});
    } else {
        mounted_ = Run({QStringLiteral("--bind"), source(), path()});
        if (mounted_ && !Run({QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), path()})) {
            QProcess::execute(QStringLiteral("umount"), {path()});
            mounted_ = false;
        }
    }
}

MountedFolder::~MountedFolder() {
    if (mounted_) {
        QProcess::execute(QStringLiteral("umount"), {path()});
    }
}
