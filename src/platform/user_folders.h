#pragma once

#include <QString>

namespace platform {

// Where a shop's data lives when no folder is named: the user's own data folder, where the
// system expects programs to keep what they write, never the program's folder.
QString DefaultDataFolder();

}  // namespace platform
