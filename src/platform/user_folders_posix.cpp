#include <QStandardPaths>

#include "platform/user_folders.h"

namespace platform {

QString DefaultDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/ruvaso/data");
}

}  // namespace platform
