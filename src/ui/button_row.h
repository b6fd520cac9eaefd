#pragma once

#include <initializer_list>

class QHBoxLayout;
class QWidget;

namespace ui {

// The buttons at the foot of a window: side by side in the middle, a little apart.
QHBoxLayout* CenteredButtons(std::initializer_list<QWidget*> buttons);

}  // namespace ui
