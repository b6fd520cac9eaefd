#pragma once

#include <QWidget>
#include <array>
#include <optional>

#include "repairs/order.h"
#include "ui/key_controls.h"

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// Form17: the owner, technician, total and up to seven lines of one saved order, read-only;
// from here the order can be corrected or voided.
// The history and the statistics windows fill it with load() and show it modally
// (ShowOrderLines); it reads nothing itself.
class OrderLinesWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLineCount = 7;

    explicit OrderLinesWindow(QWidget* parent = nullptr);

    QLabel* headingLabel;
    QLabel* technicianLabel;
    QLineEdit* Text4;
    QLabel* ownerLabel;
    QLineEdit* Text5;
    QLabel* modelLabel;
    QLineEdit* Text8;
    QLabel* phoneLabel;
    QLineEdit* Text10;
    std::array<ui::ComboBox*, kLineCount> Combo1{};
    std::array<ui::TextBox*, kLineCount> Text{};
    std::array<ui::TextBox*, kLineCount> Text1{};
    std::array<ui::TextBox*, kLineCount> Text2{};
    std::array<ui::TextBox*, kLineCount> Text3{};
    QLabel* totalLabel;
    QLineEdit* Text9;
    // Prints the order's slip again, through the same preview as a new order.
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;  // 修改维修单
    QPushButton* Command4;  // 作废

    // Shows the order's technician, owner, model, telephone and lines, and `totalText` as the
    // total: the opener's own list text, which is what was saved with the order even when it
    // differs from the sum of the lines. Slots past the last line are emptied; only the first
    // seven lines have a slot.
    void load(const Order& order, const QString& totalText);

    // The stored order the lines belong to, as read with them, which the correction and the
    // void act on; nothing for lines without an order header, and then both are unavailable.
    void showStoredOrder(const std::optional<Order>& stored);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Order order_;
    QString totalText_;
    std::optional<Order> stored_;
};

// Reads the lines of the order number and shows them modally with `totalText` as the total.
// An order without lines (or an empty number, which names none) gets "没有找到明细记录！" and
// no window. True when the window was shown.
bool ShowOrderLines(QWidget* parent, const QString& number, const QString& totalText);
