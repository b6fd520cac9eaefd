#include "followup/call_history_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "followup/call_history.h"
#include "ui/grid.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

const QString kTitle = QStringLiteral("显示历史通话记录");
const QString kOwnerCaption = QStringLiteral("车主姓名");
const QString kPhoneCaption = QStringLiteral("联系电话");
const QString kModelCaption = QStringLiteral("车型");
const QString kCountCaption = QStringLiteral("打电话次数");
const QString kClose = QStringLiteral("关闭");
const QString kNoCalls = QStringLiteral("没有电话记录！");

constexpr int kRightCentre = 14;
constexpr int kLeftCentre = 6;
constexpr int kCentre = 10;

struct Column {
    const char16_t* heading;
    int width;  // 0: the grid's default width
    int alignment;
    QString CallEntry::*field;
};
// Column 0 stays empty and narrow, as in every list. What was said is left-aligned so that a
// text too long for its column still shows how it begins.
const Column kColumns[] = {
    {u"打电话日期", 85, kRightCentre, &CallEntry::date},
    {u"电话内容", 310, kLeftCentre, &CallEntry::content},
    {u"客户回应", 310, kLeftCentre, &CallEntry::response},
    {u"操作人", 0, kRightCentre, &CallEntry::operatorName},
};
constexpr int kLeadingWidth = 10;
constexpr int kHeadingHeight = 30;
constexpr int kRowHeight = 25;
constexpr int kEmptyRows = 21;

QLineEdit* MakeReadOnlyField(QWidget* parent, const QString& name) {
    auto* field = ui::Named(new QLineEdit(parent), name);
    field->setReadOnly(true);
    return field;
}

}  // namespace

CallHistoryWindow::CallHistoryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form18"));
    setWindowTitle(kTitle);

    using ui::Named;
    ownerLabel = Named(new QLabel(kOwnerCaption, this), QStringLiteral("ownerLabel"));
    Text5 = MakeReadOnlyField(this, QStringLiteral("Text5"));
    phoneLabel = Named(new QLabel(kPhoneCaption, this), QStringLiteral("phoneLabel"));
    Text10 = MakeReadOnlyField(this, QStringLiteral("Text10"));
    modelLabel = Named(new QLabel(kModelCaption, this), QStringLiteral("modelLabel"));
    Text8 = MakeReadOnlyField(this, QStringLiteral("Text8"));
    countLabel = Named(new QLabel(kCountCaption, this), QStringLiteral("countLabel"));
    Text9 = MakeReadOnlyField(this, QStringLiteral("Text9"));
    Text9->setText(QStringLiteral("0"));
    Text9->setMaximumWidth(60);
    grid1 = Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(kTitle);
    Command5 = Named(new QPushButton(kClose, this), QStringLiteral("Command5"));

    ownerLabel->setBuddy(Text5);
    phoneLabel->setBuddy(Text10);
    modelLabel->setBuddy(Text8);
    countLabel->setBuddy(Text9);

    auto* owner = new QHBoxLayout;
    owner->setSpacing(8);
    owner->addWidget(ownerLabel);
    owner->addWidget(Text5, 2);
    owner->addSpacing(10);
    owner->addWidget(phoneLabel);
    owner->addWidget(Text10, 2);
    owner->addSpacing(10);
    owner->addWidget(modelLabel);
    owner->addWidget(Text8, 2);
    owner->addSpacing(10);
    owner->addWidget(countLabel);
    owner->addWidget(Text9);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command5);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addLayout(owner);
    layout->addWidget(grid1, 1);
    layout->addLayout(buttons);

    setTabOrder(grid1, Command5);
    setTabOrder(Command5, Text5);
    setTabOrder(Text5, Text10);
    setTabOrder(Text10, Text8);
    setTabOrder(Text8, Text9);

    connect(Command5, &QPushButton::clicked, this, &CallHistoryWindow::Command5_Click);
    ui::CloseOnEscape(this, [this] { Command5_Click(); });

    Form_Load();
    int listWidth = kLeadingWidth;
    for (int col = 1; col < grid1->cols(); ++col) {
        listWidth += grid1->columnWidth(col);
    }
    // The whole list fits without sideways scrolling: columns, vertical scroll bar and frame.
    resize(QSize(listWidth + 60, 460).expandedTo(sizeHint()));
}

void CallHistoryWindow::Form_Load() {
    grid1->applyStandardLook();
    grid1->setGridFont(QStringLiteral("Tahoma"), 8);
    grid1->setCols(static_cast<int>(std::size(kColumns)) + 1);
    grid1->setRows(kEmptyRows);
    grid1->setRowHeight(0, kHeadingHeight);
    for (int col = 1; col < grid1->cols(); ++col) {
        const Column& column = kColumns[col - 1];
        grid1->setCellText(0, col, QString::fromUtf16(column.heading));
        grid1->setColumnAlignment(col, column.alignment);
        grid1->setColumnLocked(col, true);
    }
    for (int col = 0; col < grid1->cols(); ++col) {
        grid1->setHeadingAlignment(col, kCentre);
    }
    grid1->setColumnWidth(0, kLeadingWidth);
    for (int col = 1; col < grid1->cols(); ++col) {
        if (kColumns[col - 1].width > 0) {
            grid1->setColumnWidth(col, kColumns[col - 1].width);
        }
    }
    grid1->setColumnLocked(0, true);
}

void CallHistoryWindow::Command5_Click() {
    close();
}

void CallHistoryWindow::load(const Customer& customer, const QList<CallEntry>& calls) {
    grid1->setAutoRedraw(false);
    grid1->setRows(1);
    Text5->setText(customer.owner);
    Text10->setText(customer.telephone);
    Text8->setText(customer.model);
    for (const CallEntry& call : calls) {
        const int row = grid1->rows();
        grid1->setRows(row + 1);
        grid1->setRowHeight(row, kRowHeight);
        for (int col = 1; col < grid1->cols(); ++col) {
            grid1->setCellText(row, col, call.*kColumns[col - 1].field);
        }
    }
    Text9->setText(QString::number(calls.size()));
    grid1->setAutoRedraw(true);
}

bool ShowCallHistory(QWidget* parent, const Customer& customer) {
    const DbResult<QList<CallEntry>> calls = CallsOfPlate(customer.plate);
    if (!calls) {
        ui::ShowDatabaseError(parent, calls.error());
        return false;
    }
    if (calls->isEmpty()) {
        ui::Stop(parent, kNoCalls);
        return false;
    }
    auto* window = ui::WindowHost::instance<CallHistoryWindow>();
    window->load(customer, *calls);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
    return true;
}
