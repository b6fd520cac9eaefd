#pragma once

#include <QString>
#include <array>

class QGridLayout;
class QWidget;

namespace ui {
class ComboBox;
class TextBox;
}  // namespace ui

// The seven priced lines of an order as the entry window and the line view lay them out: a
// heading row ("项目名称", "项目说明", "数量", "单价", "金额"), then one row a line numbered
// "01" to "07", each control named as the windows name it ("Combo1(0)", "Text3(6)") and by its
// column and line for screen readers.
struct OrderLineRows {
    static constexpr int kCount = 7;

    std::array<ui::ComboBox*, kCount> Combo1{};  // item
    std::array<ui::TextBox*, kCount> Text{};     // description
    std::array<ui::TextBox*, kCount> Text1{};    // quantity
    std::array<ui::TextBox*, kCount> Text2{};    // unit price
    std::array<ui::TextBox*, kCount> Text3{};    // amount

    // Makes the controls as children of `parent` and returns their grid; the total row, if
    // any, goes below at row kCount + 1.
    QGridLayout* build(QWidget* parent);
    // The controls of one line in Tab order.
    std::array<QWidget*, 5> line(int index) const;
};
