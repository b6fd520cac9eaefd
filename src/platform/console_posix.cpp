#include "platform/console.h"

namespace platform {

// Terminals here take UTF-8 as it comes, and a program started from the desktop has none.
void PrepareConsole() {}

void ReleaseOwnConsole() {}

}  // namespace platform
