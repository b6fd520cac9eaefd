#include "ui/elided_text.h"

#include <QLabel>

namespace ui {

void SetElidedText(QLabel* label, const QString& text, int width) {
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, width));
    label->setToolTip(text);
    label->setAccessibleName(text);
}

}  // namespace ui
