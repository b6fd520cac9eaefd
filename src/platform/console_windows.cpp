#include <windows.h>

#include <cstdlib>

#include "platform/console.h"

namespace platform {

namespace {

UINT g_previousCodePage = 0;

void RestoreCodePage() {
    SetConsoleOutputCP(g_previousCodePage);
}

}  // namespace

// The console shows text in its own code page, a legacy one on a Chinese PC; switched to UTF-8
// it shows the program's lines as they are written. The command prompt gets its own back.
void PrepareConsole() {
    g_previousCodePage = GetConsoleOutputCP();
    if (g_previousCodePage != 0 && g_previousCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(RestoreCodePage);
    }
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
