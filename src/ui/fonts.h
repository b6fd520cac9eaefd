#pragma once

#include <QFont>
#include <QString>

namespace ui {

// The installed family that shows Simplified Chinese best; the first of a preference list.
QString ChineseFamily();

// The font a window asks for by name and point size, with families that have no Chinese
// glyphs here ("Tahoma", "宋体" and any family not installed) replaced by ChineseFamily().
QFont ScreenFont(const QString& name, double pointSize);

}  // namespace ui
