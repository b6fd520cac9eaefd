#include "ui/button_row.h"

#include <QHBoxLayout>
#include <QWidget>

namespace ui {

QHBoxLayout* CenteredButtons(std::initializer_list<QWidget*> buttons) {
    constexpr int kGap = 16;
    auto* row = new QHBoxLayout;
    row->addStretch();
    bool first = true;
    for (QWidget* button : buttons) {
        if (!first) {
            row->addSpacing(kGap);
        }
        row->addWidget(button);
        first = false;
    }
    row->addStretch();
    return row;
}

}  // namespace ui
