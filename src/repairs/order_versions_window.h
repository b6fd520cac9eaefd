#pragma once

#include <QList>
#include <QWidget>

#include "repairs/order.h"
#include "repairs/order_correction.h"

class QLabel;
class QPushButton;

namespace ui {
class Grid;
}

// 修改记录: every earlier version of a corrected order, oldest first, and the order as it
// stands now, each with its lines; who replaced a version, and when, beside it. Read-only.
class OrderVersionsWindow : public QWidget {
    Q_OBJECT

public:
    explicit OrderVersionsWindow(QWidget* parent = nullptr);

    QLabel* headingLabel;
    ui::Grid* grid1;
    QPushButton* Command1;

    void load(const Order& current, const QList<OrderVersion>& earlier);

    void Command1_Click();
};

// Reads the order and its earlier versions and shows them modally; an order never corrected
// gets "该维修单没有修改记录。" and no window. True when shown.
bool ShowOrderVersions(QWidget* parent, const QString& number);
