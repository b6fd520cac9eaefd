#pragma once

#include <QString>

namespace platform {

// The name of this user's local server for `key`: a socket in the user's own runtime folder,
// or a named pipe of the user's session. Another user cannot take it first.
QString LocalServerName(const QString& key);

}  // namespace platform
