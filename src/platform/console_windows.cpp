#include <windows.h>

#include "platform/console.h"

namespace platform {

// The console shows text in its own code page, a legacy one on a Chinese PC; switched to UTF-8
// it shows the program's lines as they are written.
void PrepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
}

void ReleaseOwnConsole() {
    // Started from a command prompt, the console is shared with it; started by a double-click,
    // the console was made for this program alone and would stand empty behind the windows.
    DWORD processes[2] = {};
    if (GetConsoleProcessList(processes, 2) == 1) {
        FreeConsole();
    }
}

}  // namespace platform
