#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace ui {

// A window's heading: its title centred above the form, bold, in the Song face at `points`.
QLabel* HeadingLabel(QWidget* parent, const QString& text, const QString& name, int points);

}  // namespace ui
