#include "ui/heading_label.h"

#include <QLabel>

#include "ui/fonts.h"

namespace ui {

QLabel* HeadingLabel(QWidget* parent, const QString& text, const QString& name, int points) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font = ScreenFont(QStringLiteral("宋体"), points);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace ui
