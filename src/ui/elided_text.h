#pragma once

#include <QString>

class QLabel;

namespace ui {

// Shows `text` on one line of `width` pixels, shortened in the middle when it does not fit (a
// long folder path keeps its start and its file name); the whole text is the label's tip and
// accessible name.
void SetElidedText(QLabel* label, const QString& text, int width);

}  // namespace ui
