#include <unistd.h>

#include <QDir>
#include <QStandardPaths>

#include "platform/local_server_name.h"

namespace platform {

QString LocalServerName(const QString& key) {
    // In the user's own runtime folder rather than the shared /tmp, where another user could
    // take the name first and a cleaner may remove an old socket.
    QString folderOfSockets = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folderOfSockets.isEmpty()) {
        folderOfSockets = QDir::tempPath();
    }
    return QStringLiteral("%1/ruvaso-%2-%3").arg(folderOfSockets).arg(::getuid()).arg(key);
}

}  // namespace platform
