#include <QStandardPaths>

#include "platform/user_folders.h"

namespace platform {

// %LOCALAPPDATA%: the data stays on this PC and out of roaming profiles, which would copy a
// database file while it is open.
QString DefaultDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Ruvaso/data");
}

}  // namespace platform
