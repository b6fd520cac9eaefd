#pragma once

#include "repairs/order.h"
#include "repairs/order_entry_window.h"

// 修改维修单: the order window opened on a stored order, with the same fields, lookups and
// checks as a new order. The number stays the order's own and cannot be typed over; saving
// replaces the order and keeps the version it replaces. Shown modally by OpenOrderCorrection.
class OrderCorrectionWindow : public OrderEntryWindow {
    Q_OBJECT

public:
    explicit OrderCorrectionWindow(const Order& stored, QWidget* parent = nullptr);

    // The order as corrected: the fields' values under the stored order's number, date,
    // operator and revision.
    Order corrected() const;

    void Command1_Click() override;

private:
    Order stored_;
};

// Opens the correction of `order` (its header, lines and revision as the opener read them).
// An order with more lines than the window holds is refused with a message, so no line is lost.
void OpenOrderCorrection(QWidget* parent, const Order& order);
