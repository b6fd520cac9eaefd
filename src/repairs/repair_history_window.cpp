#include "repairs/repair_history_window.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/data_changes.h"
#include "core/date_text.h"
#include "core/number_text.h"
#include "core/order_number_text.h"
#include "repairs/order_actions.h"
#include "repairs/order_history.h"
#include "repairs/order_lines_window.h"
#include "repairs/order_versions_window.h"
#include "session/roles.h"
#include "ui/grid.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

const QString kTitle = QStringLiteral("显示历史维修记录");
const QString kTotalCaption = QStringLiteral("合计");
const QString kShowLines = QStringLiteral("查看明细");
const QString kClose = QStringLiteral("关闭");
const QString kNoOrders = QStringLiteral("没有历史维修记录！");
const QString kCorrect = QStringLiteral("修改维修单");
const QString kVoid = QStringLiteral("作废");
const QString kVersions = QStringLiteral("修改记录");
const QString kChooseOrder = QStringLiteral("请先选择一张维修单！");
// %1 the reason, %2 who, %3 when.
const QString kVoidNote = QStringLiteral("已作废：%1（%2 %3）");
const QString kAmountFormat = QStringLiteral("########0.00");

constexpr int kRightCentre = 14;
constexpr int kCentre = 10;
constexpr int kHeadingHeight = 30;
constexpr int kRowHeight = 25;
constexpr int kEmptyRows = 21;

enum Column {
    kNumberColumn = 2,
    kDateColumn,
    kPlateColumn,
    kOwnerColumn,
    kTelephoneColumn,
    kModelColumn,
    kTotalColumn,
    kOperatorColumn,
    kNoteColumn,
    kColumnCount
};

struct ColumnLook {
    const char16_t* heading;
    int width;  // -1: the grid's default width
};
// Columns 0 and 1 stay empty and hidden.
const ColumnLook kColumns[kColumnCount] = {
    {u"", 0},         {u"", 0},           {u"单号", 110},     {u"维修日期", 90},
    {u"车牌号", 100}, {u"车主姓名", 120}, {u"联系电话", 160}, {u"车型", 70},
    {u"合计", -1},    {u"操作人", -1},    {u"备注", -1},
};

QString CellText(const Order& order, int col) {
    switch (col) {
        case kNumberColumn:
            return OrderNumberText(order.number);
        case kDateColumn:
            return DateText(order.date);
        case kPlateColumn:
            return order.plate;
        case kOwnerColumn:
            return order.owner;
        case kTelephoneColumn:
            return order.telephone;
        case kModelColumn:
            return order.model;
        case kTotalColumn:
            return FormatAmount(order.total, kAmountFormat);
        case kOperatorColumn:
            return order.operatorName;
        case kNoteColumn:
            return order.voided ? kVoidNote.arg(order.voidReason, order.voidedBy, order.voidedAt)
                                : QString();
        default:
            return QString();
    }
}

}  // namespace

RepairHistoryWindow::RepairHistoryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(kTitle);

    using ui::Named;
    headingLabel = ui::HeadingLabel(this, kTitle, QStringLiteral("headingLabel"), 14);
    grid1 = Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(kTitle);
    // Rows are chosen whole, so Tab leaves the list for the buttons instead of walking cells.
    grid1->setTabKeyNavigation(false);
    headingLabel->setBuddy(grid1);
    totalLabel = Named(new QLabel(kTotalCaption, this), QStringLiteral("totalLabel"));
    Text9 = Named(new QLineEdit(this), QStringLiteral("Text9"));
    Text9->setReadOnly(true);
    Text9->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Text9->setFixedWidth(120);
    Text9->setText(QStringLiteral("0.00"));
    totalLabel->setBuddy(Text9);
    Command1 = Named(new QPushButton(kShowLines, this), QStringLiteral("Command1"));
    Command2 = Named(new QPushButton(kCorrect, this), QStringLiteral("Command2"));
    Command3 = Named(new QPushButton(kVoid, this), QStringLiteral("Command3"));
    Command4 = Named(new QPushButton(kVersions, this), QStringLiteral("Command4"));
    Command5 = Named(new QPushButton(kClose, this), QStringLiteral("Command5"));
    // Shown to everyone, usable by those allowed; the reason is on the button.
    const std::pair<QPushButton*, Guarded> guarded[] = {{Command2, Guarded::CorrectOrder},
                                                        {Command3, Guarded::VoidOrder}};
    for (const auto& [button, action] : guarded) {
        if (const QString refusal = RefusalFor(action); !refusal.isEmpty()) {
            button->setEnabled(false);
            button->setToolTip(refusal);
        }
    }
    // Not a dialog: a button presses on Enter only when asked to.
    for (QPushButton* button : {Command1, Command2, Command3, Command4, Command5}) {
        button->setAutoDefault(true);
        button->setMinimumWidth(90);
    }

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->addWidget(totalLabel);
    bottom->addWidget(Text9);
    bottom->addStretch();
    for (QPushButton* button : {Command1, Command2, Command3, Command4, Command5}) {
        bottom->addSpacing(10);
        bottom->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(headingLabel);
    layout->addWidget(grid1, 1);
    layout->addLayout(bottom);

    setTabOrder(grid1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, Text9);

    connect(grid1, &ui::Grid::currentCellChanged, this,
            &RepairHistoryWindow::grid1_CurrentCellChanged);
    connect(grid1, &ui::Grid::rowDoubleClicked, this, &RepairHistoryWindow::grid1_DblClick);
    connect(Command1, &QPushButton::clicked, this, &RepairHistoryWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &RepairHistoryWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &RepairHistoryWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &RepairHistoryWindow::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &RepairHistoryWindow::Command5_Click);
    ui::CloseOnEscape(this, [this] { Command5_Click(); });

    // An order saved while the history is open belongs in it.
    connect(DataChanges::instance(), &DataChanges::order, this, [this](const QString& plate) {
        if (orders_.isEmpty() || (!plate.isEmpty() && orders_.first().plate != plate)) {
            return;
        }
        const DbResult<QList<Order>> orders = OrdersOfPlate(orders_.first().plate);
        if (orders) {
            load(*orders);
        }
    });
    Form_Load();
    int listWidth = 0;
    for (int col = 0; col < grid1->cols(); ++col) {
        listWidth += grid1->columnWidth(col);
    }
    // The whole list fits without sideways scrolling: columns, vertical scroll bar and frame.
    resize(QSize(listWidth + 60, 480).expandedTo(sizeHint()));
    grid1->setFocus();
}

void RepairHistoryWindow::Form_Load() {
    grid1->setAutoRedraw(false);
    grid1->applyStandardLook();
    grid1->setGridFont(QStringLiteral("Tahoma"), 8);
    grid1->setCols(kColumnCount);
    grid1->setRows(kEmptyRows);
    grid1->setRowHeight(0, kHeadingHeight);
    for (int col = 0; col < kColumnCount; ++col) {
        grid1->setCellText(0, col, QString::fromUtf16(kColumns[col].heading));
        if (col > 0) {
            grid1->setColumnAlignment(col, kRightCentre);
        }
        grid1->setHeadingAlignment(col, kCentre);
        if (kColumns[col].width >= 0) {
            grid1->setColumnWidth(col, kColumns[col].width);
        }
        grid1->setColumnLocked(col, true);
    }
    grid1->setAutoRedraw(true);
    grid1->refresh();
}

void RepairHistoryWindow::load(const QList<Order>& orders) {
    orders_ = orders;
    grid1->setAutoRedraw(false);
    grid1->setRows(1);
    double sum = 0;
    for (const Order& order : orders_) {
        const int row = grid1->rows();
        grid1->setRows(row + 1);
        grid1->setRowHeight(row, kRowHeight);
        for (int col = kNumberColumn; col < kColumnCount; ++col) {
            grid1->setCellText(row, col, CellText(order, col));
        }
        // A voided order stays in the list, struck through, and out of the sum.
        if (order.voided) {
            grid1->formatCells({row, kNumberColumn, row, kOperatorColumn},
                               [](ui::CellFormat& f) { f.strikeOut = true; });
        } else {
            sum += order.total;
        }
    }
    Text9->setText(FormatAmount(sum, kAmountFormat));
    grid1->widenColumnsToContent();
    // The row number outlives the list it was chosen in; show which row it now names.
    if (SelectedRow > 0 && SelectedRow < grid1->rows()) {
        grid1->setCurrentCell(SelectedRow, kNumberColumn);
    } else {
        SelectedRow = 0;
    }
    grid1->setAutoRedraw(true);
    grid1->refresh();
}

void RepairHistoryWindow::grid1_CurrentCellChanged(int row, int) {
    SelectedRow = row;
}

void RepairHistoryWindow::grid1_DblClick() {
    Command1_Click();
}

void RepairHistoryWindow::Command1_Click() {
    // The heading row and rows past the list name no order, so nothing is looked up for them.
    const bool listed = SelectedRow > 0 && SelectedRow <= orders_.size();
    ShowOrderLines(this, listed ? orders_[SelectedRow - 1].number : QString(),
                   grid1->cellText(SelectedRow, kTotalColumn));
}

const Order* RepairHistoryWindow::selectedOrder() {
    if (SelectedRow > 0 && SelectedRow <= orders_.size()) {
        return &orders_[SelectedRow - 1];
    }
    ui::Stop(this, kChooseOrder);
    return nullptr;
}

void RepairHistoryWindow::Command2_Click() {
    if (const Order* listed = selectedOrder()) {
        CorrectListedOrder(this, *listed);
    }
}

void RepairHistoryWindow::Command3_Click() {
    if (const Order* listed = selectedOrder()) {
        VoidListedOrder(this, *listed);
    }
}

void RepairHistoryWindow::Command4_Click() {
    if (const Order* listed = selectedOrder()) {
        ShowOrderVersions(this, listed->number);
    }
}

void RepairHistoryWindow::Command5_Click() {
    close();
}

void RepairHistoryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool ShowRepairHistory(QWidget* parent, const QString& plate) {
    const DbResult<QList<Order>> orders = OrdersOfPlate(plate);
    if (!orders) {
        ui::ShowDatabaseError(parent, orders.error());
        return false;
    }
    if (orders->isEmpty()) {
        ui::Stop(parent, kNoOrders);
        return false;
    }
    auto* window = ui::WindowHost::instance<RepairHistoryWindow>();
    window->load(*orders);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    return true;
}
