#pragma once

namespace platform {

// Makes the console show the UTF-8 text the program writes, before the first line.
void PrepareConsole();
// Before the windows open: closes a console window the system opened for this program alone,
// and keeps the one of a command prompt the program was started from.
void ReleaseOwnConsole();

}  // namespace platform
