#include "repairs/order_versions_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/date_text.h"
#include "core/number_text.h"
#include "core/order_number_text.h"
#include "repairs/order_history.h"
#include "ui/grid.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

const QString kTitle = QStringLiteral("修改记录");
// %1 the order number.
const QString kHeading = QStringLiteral("维修单 %1 的修改记录");
const QString kClose = QStringLiteral("关闭");
const QString kNoVersions = QStringLiteral("该维修单没有修改记录。");
const QString kCurrent = QStringLiteral("当前");
// %1 the version's number, counted from the first.
const QString kVersion = QStringLiteral("第%1版");
const QString kAmountFormat = QStringLiteral("########0.00");

enum Column {
    kVersionColumn = 1,
    kChangedColumn,
    kDateColumn,
    kPlateColumn,
    kOwnerColumn,
    kTechnicianColumn,
    kItemColumn,
    kQuantityColumn,
    kPriceColumn,
    kAmountColumn,
    kColumnCount
};
const char16_t* const kHeadings[kColumnCount] = {
    u"",         u"版本",      u"修改人/时间", u"维修日期", u"车牌号", u"车主姓名",
    u"维修技师", u"项目/说明", u"数量",        u"单价",     u"金额"};

}  // namespace

OrderVersionsWindow::OrderVersionsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmOrderVersions"));
    setWindowTitle(kTitle);
    using ui::Named;
    headingLabel = ui::HeadingLabel(this, kTitle, QStringLiteral("headingLabel"), 14);
    grid1 = Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(kTitle);
    grid1->setTabKeyNavigation(false);
    headingLabel->setBuddy(grid1);
    grid1->applyStandardLook();
    grid1->setCols(kColumnCount);
    grid1->setColumnWidth(0, 0);
    for (int col = 1; col < kColumnCount; ++col) {
        grid1->setCellText(0, col, QString::fromUtf16(kHeadings[col]));
        grid1->setColumnLocked(col, true);
    }
    Command1 = Named(new QPushButton(kClose, this), QStringLiteral("Command1"));
    Command1->setAutoDefault(true);
    Command1->setMinimumWidth(90);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->addWidget(headingLabel);
    layout->addWidget(grid1, 1);
    layout->addLayout(bottom);
    connect(Command1, &QPushButton::clicked, this, &OrderVersionsWindow::Command1_Click);
    ui::CloseOnEscape(this, [this] { Command1_Click(); });
    resize(900, 460);
}

void OrderVersionsWindow::load(const Order& current, const QList<OrderVersion>& earlier) {
    headingLabel->setText(kHeading.arg(OrderNumberText(current.number)));
    grid1->setAutoRedraw(false);
    grid1->setRows(1);
    auto add = [this](const Order& order, const QString& version, const QString& changed) {
        int row = grid1->rows();
        grid1->setRows(row + 1);
        const QStringList header = {version,
                                    changed,
                                    DateText(order.date),
                                    order.plate,
                                    order.owner,
                                    order.technician,
                                    QString(),
                                    QString(),
                                    QString(),
                                    FormatAmount(order.total, kAmountFormat)};
        for (int col = kVersionColumn; col < kColumnCount; ++col) {
            grid1->setCellText(row, col, header[col - kVersionColumn]);
        }
        grid1->formatCells({row, kVersionColumn, row, kColumnCount - 1},
                           [](ui::CellFormat& f) { f.bold = true; });
        for (const OrderLine& line : order.lines) {
            row = grid1->rows();
            grid1->setRows(row + 1);
            grid1->setCellText(row, kItemColumn,
                               line.description.isEmpty()
                                   ? line.item
                                   : line.item + QStringLiteral(" / ") + line.description);
            grid1->setCellText(row, kQuantityColumn, FormatAmount(line.quantity, kAmountFormat));
            grid1->setCellText(row, kPriceColumn, FormatAmount(line.unitPrice, kAmountFormat));
            grid1->setCellText(row, kAmountColumn, FormatAmount(line.amount, kAmountFormat));
        }
    };
    for (int i = 0; i < earlier.size(); ++i) {
        add(earlier[i].order, kVersion.arg(i + 1),
            earlier[i].changedBy + QLatin1Char(' ') + earlier[i].changedAt);
    }
    add(current, kCurrent, QString());
    grid1->widenColumnsToContent();
    grid1->setAutoRedraw(true);
    grid1->refresh();
}

void OrderVersionsWindow::Command1_Click() {
    close();
}

bool ShowOrderVersions(QWidget* parent, const QString& number) {
    const DbResult<QList<OrderVersion>> earlier = EarlierVersions(number);
    const DbResult<std::optional<Order>> current = FindOrder(number);
    for (const QString& error : {earlier.error(), current.error()}) {
        if (!error.isEmpty()) {
            ui::ShowDatabaseError(parent, error);
            return false;
        }
    }
    if (earlier->isEmpty() || !*current) {
        ui::Information(parent, kNoVersions);
        return false;
    }
    auto* window = ui::WindowHost::instance<OrderVersionsWindow>();
    window->load(**current, *earlier);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
    return true;
}
