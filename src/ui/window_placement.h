#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace ui {

// Where a window goes when it opens: centred on the window that opened it (or on the screen),
// never larger than the screen's free area, never partly off it, and as large and as far from
// its opener's centre as it was when the operator last closed it.

// The rule itself. `wanted` is the client size the window asks for, `minimum` the least it can
// be drawn at, `frame` the window manager's frame around the client area, `available` the
// screen's free area (without taskbars) and `centre` the point the framed window is centred on.
// Returns the client geometry.
QRect PlacedGeometry(QSize wanted, QSize minimum, QMargins frame, const QRect& available,
                     QPoint centre);

// Remembers each window's size and position between runs, under its objectName, in the given
// QSettings file. Off until set; the program sets it at start, tests that want it set their own.
struct WindowMemoryPlace {
    QString organization;
    QString application;
};
void SetWindowMemoryPlace(const WindowMemoryPlace& place);
WindowMemoryPlace DefaultWindowMemoryPlace();

// Places `window` before it is first shown: a transient child of `opener` (kept above it by the
// window manager, centred on it) or, without an opener, centred on the screen under the mouse.
// Remembered geometry is applied the same way, and is saved again whenever the window is hidden.
void PlaceWindow(QWidget* window, QWidget* opener);

// The window a new one is being opened from: the active window, or else the latest placed window
// that is still shown.
QWidget* LikelyOpener(const QWidget* window);

}  // namespace ui
