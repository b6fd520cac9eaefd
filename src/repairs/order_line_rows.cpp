#include "repairs/order_line_rows.h"

#include <QGridLayout>
#include <QLabel>

#include "core/field_limits.h"
#include "ui/key_controls.h"
#include "ui/named.h"

namespace {

const QString kHeadings[] = {QStringLiteral("项目名称"), QStringLiteral("项目说明"),
                             QStringLiteral("数量"), QStringLiteral("单价"),
                             QStringLiteral("金额")};
constexpr int kNumberWidth = 96;

}  // namespace

QGridLayout* OrderLineRows::build(QWidget* parent) {
    using ui::Named;
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    for (int col = 0; col < int(std::size(kHeadings)); ++col) {
        auto* heading = new QLabel(kHeadings[col], parent);
        heading->setAlignment(Qt::AlignCenter);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        grid->addWidget(heading, 0, col + 1);
    }
    for (int i = 0; i < kCount; ++i) {
        Combo1[i] = Named(new ui::ComboBox(parent), QStringLiteral("Combo1(%1)").arg(i));
        Combo1[i]->setMinimumContentsLength(10);
        // Sized by that length, not by measuring every item of a long price list.
        Combo1[i]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        Text[i] = Named(new ui::TextBox(parent), QStringLiteral("Text(%1)").arg(i));
        Text[i]->setMinimumWidth(200);
        Text[i]->setMaxLength(FieldLimit(TextField::LineText));
        Text1[i] = Named(new ui::TextBox(parent), QStringLiteral("Text1(%1)").arg(i));
        Text2[i] = Named(new ui::TextBox(parent), QStringLiteral("Text2(%1)").arg(i));
        Text3[i] = Named(new ui::TextBox(parent), QStringLiteral("Text3(%1)").arg(i));
        for (ui::TextBox* number : {Text1[i], Text2[i], Text3[i]}) {
            number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            number->setFixedWidth(kNumberWidth);
        }

        const QString number = QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        auto* numberLabel = new QLabel(number, parent);
        numberLabel->setAlignment(Qt::AlignCenter);
        numberLabel->setBuddy(Combo1[i]);
        grid->addWidget(numberLabel, i + 1, 0);
        const std::array<QWidget*, 5> fields = line(i);
        for (int col = 0; col < int(fields.size()); ++col) {
            // Screen readers tell each box by its column and line: "数量 03".
            ui::SetAccessibleCaption(fields[col], kHeadings[col] + QLatin1Char(' ') + number);
            grid->addWidget(fields[col], i + 1, col + 1);
        }
    }
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 3);
    return grid;
}

std::array<QWidget*, 5> OrderLineRows::line(int index) const {
    return {Combo1[index], Text[index], Text1[index], Text2[index], Text3[index]};
}
