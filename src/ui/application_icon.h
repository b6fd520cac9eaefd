#pragma once

namespace ui {

// Gives every window the program's icon, and tells the desktop which menu entry the windows
// belong to, so that the window manager shows them with the entry's name and icon.
void ApplyApplicationIcon();

}  // namespace ui
