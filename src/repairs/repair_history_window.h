#pragma once

#include <QList>
#include <QWidget>

#include "repairs/order.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class Grid;
}

// Form8: every repair order of one vehicle with its total, and the sum of those that count:
// a voided order is listed struck through with its reason. From here an order is corrected,
// voided or its earlier versions shown. Not modal; ShowRepairHistory fills it, and fills the same
// window again when it is already open.
class RepairHistoryWindow : public QWidget {
    Q_OBJECT

public:
    explicit RepairHistoryWindow(QWidget* parent = nullptr);

    QLabel* headingLabel;
    ui::Grid* grid1;
    QLabel* totalLabel;
    QLineEdit* Text9;
    QPushButton* Command1;
    QPushButton* Command2;  // 修改维修单
    QPushButton* Command3;  // 作废
    QPushButton* Command4;  // 修改记录
    QPushButton* Command5;

    // The list row the operator last moved to; 0 when none. A new list keeps it while that
    // row still exists, so the highlighted row is always the one the buttons act on.
    int SelectedRow = 0;

    // Replaces the list with one row per order, in the order given, and the sum of their totals.
    void load(const QList<Order>& orders);

    void Form_Load();
    void grid1_CurrentCellChanged(int row, int col);
    void grid1_DblClick();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The order of the list row chosen; says so and gives nothing when no order row is.
    const Order* selectedOrder();

    QList<Order> orders_;
};

// Lists the orders of the plate and shows the history window without making it modal. With no
// order it says "没有历史维修记录！" and leaves any open history as it was. True when shown.
bool ShowRepairHistory(QWidget* parent, const QString& plate);
