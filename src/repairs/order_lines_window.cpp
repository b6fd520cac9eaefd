#include "repairs/order_lines_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/number_text.h"
#include "repairs/order_actions.h"
#include "repairs/order_history.h"
#include "repairs/order_line_rows.h"
#include "repairs/slip.h"
#include "repairs/slip_preview_window.h"
#include "session/roles.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

using ui::Named;

const QString kTitle = QStringLiteral("维修保养项目明细查看");
const QString kTechnicianCaption = QStringLiteral("维修技师");
const QString kOwnerCaption = QStringLiteral("车主姓名");
const QString kModelCaption = QStringLiteral("车型");
const QString kPhoneCaption = QStringLiteral("联系电话");
const QString kTotalCaption = QStringLiteral("合 计");
const QString kClose = QStringLiteral("关 闭");
const QString kPrint = QStringLiteral("打印");
const QString kCorrect = QStringLiteral("修改维修单");
const QString kVoid = QStringLiteral("作废");
const QString kNoLines = QStringLiteral("没有找到明细记录！");
const QString kQuantityFormat = QStringLiteral("#######0.00");
const QString kAmountFormat = QStringLiteral("########0.00");
const QString kZero = QStringLiteral("0.00");
const QString kShowOnlyStyle = QStringLiteral(
    "QLineEdit, QComboBox { background: palette(window); border: 1px solid palette(mid); "
    "padding: 1px 3px; } QComboBox::drop-down { width: 0px; border: none; } "
    "QComboBox::down-arrow { image: none; }");

QLineEdit* MakeField(QWidget* parent, const QString& name) {
    auto* field = Named(new QLineEdit(parent), name);
    field->setReadOnly(true);
    return field;
}

QLineEdit* MakeNumberField(QWidget* parent, const QString& name) {
    QLineEdit* field = MakeField(parent, name);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setFixedWidth(96);
    return field;
}

QLabel* MakeCaption(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

OrderLinesWindow::OrderLinesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form17"));
    setWindowTitle(kTitle);

    headingLabel = ui::HeadingLabel(this, kTitle, QStringLiteral("headingLabel"), 14);

    Text4 = MakeField(this, QStringLiteral("Text4"));
    Text5 = MakeField(this, QStringLiteral("Text5"));
    Text8 = MakeField(this, QStringLiteral("Text8"));
    Text10 = MakeField(this, QStringLiteral("Text10"));
    technicianLabel = Named(MakeCaption(this, kTechnicianCaption, Text4), "technicianLabel");
    ownerLabel = Named(MakeCaption(this, kOwnerCaption, Text5), "ownerLabel");
    modelLabel = Named(MakeCaption(this, kModelCaption, Text8), "modelLabel");
    phoneLabel = Named(MakeCaption(this, kPhoneCaption, Text10), "phoneLabel");

    auto* people = new QGridLayout;
    people->setHorizontalSpacing(8);
    people->setVerticalSpacing(10);
    people->addWidget(technicianLabel, 0, 0);
    people->addWidget(Text4, 0, 1);
    people->addWidget(ownerLabel, 0, 3);
    people->addWidget(Text5, 0, 4);
    people->addWidget(modelLabel, 1, 0);
    people->addWidget(Text8, 1, 1);
    people->addWidget(phoneLabel, 1, 3);
    people->addWidget(Text10, 1, 4);
    people->setColumnMinimumWidth(2, 24);
    people->setColumnStretch(1, 1);
    people->setColumnStretch(4, 1);

    OrderLineRows rows;
    QGridLayout* lines = rows.build(this);
    Combo1 = rows.Combo1;
    Text = rows.Text;
    Text1 = rows.Text1;
    Text2 = rows.Text2;
    Text3 = rows.Text3;
    // Nothing typed here would be saved: every box only shows, and looks it, without the white
    // of an edit box or the arrow of a list to choose from.
    for (int i = 0; i < kLineCount; ++i) {
        for (ui::TextBox* field : {Text[i], Text1[i], Text2[i], Text3[i]}) {
            field->setReadOnly(true);
        }
        Combo1[i]->setFocusPolicy(Qt::NoFocus);
        Combo1[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    setStyleSheet(kShowOnlyStyle);

    Text9 = MakeNumberField(this, QStringLiteral("Text9"));
    Text9->setText(kZero);
    totalLabel = Named(MakeCaption(this, kTotalCaption, Text9), "totalLabel");
    lines->addWidget(totalLabel, kLineCount + 1, 4);
    lines->addWidget(Text9, kLineCount + 1, 5);

    Command1 = Named(new QPushButton(kPrint, this), QStringLiteral("Command1"));
    Command2 = Named(new QPushButton(kClose, this), QStringLiteral("Command2"));
    Command3 = Named(new QPushButton(kCorrect, this), QStringLiteral("Command3"));
    Command4 = Named(new QPushButton(kVoid, this), QStringLiteral("Command4"));
    // Not a dialog: a button presses on Enter only when it has the focus.
    for (QPushButton* button : {Command1, Command2, Command3, Command4}) {
        button->setAutoDefault(true);
        button->setMinimumWidth(90);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command3);
    buttons->addSpacing(12);
    buttons->addWidget(Command4);
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addSpacing(12);
    buttons->addWidget(Command2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 14);
    layout->setSpacing(12);
    layout->addWidget(headingLabel);
    layout->addLayout(people);
    layout->addLayout(lines);
    layout->addLayout(buttons);

    // Tab walks the fields as they read, then reaches the button again.
    QWidget* previous = Text4;
    auto chain = [&previous, this](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (QWidget* next : {Text5, Text8, Text10}) {
        chain(next);
    }
    for (int i = 0; i < kLineCount; ++i) {
        for (QWidget* next : rows.line(i)) {
            chain(next);
        }
    }
    chain(Text9);
    chain(Command3);
    chain(Command4);
    chain(Command1);
    chain(Command2);

    connect(Command1, &QPushButton::clicked, this, &OrderLinesWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &OrderLinesWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &OrderLinesWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &OrderLinesWindow::Command4_Click);
    showStoredOrder(std::nullopt);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    // Enter or Space closes a view that only shows.
    Command2->setFocus();
}

void OrderLinesWindow::load(const Order& order, const QString& totalText) {
    order_ = order;
    totalText_ = totalText;
    Text4->setText(order.technician);
    Text5->setText(order.owner);
    Text8->setText(order.model);
    Text10->setText(order.telephone);
    Text9->setText(totalText);
    for (int i = 0; i < kLineCount; ++i) {
        Combo1[i]->clear();
        if (i >= order.lines.size()) {
            for (QLineEdit* field : {Text[i], Text1[i], Text2[i], Text3[i]}) {
                field->clear();
            }
            continue;
        }
        const OrderLine& line = order.lines[i];
        Combo1[i]->addItem(line.item);
        Text[i]->setText(line.description);
        Text1[i]->setText(FormatAmount(line.quantity, kQuantityFormat));
        Text2[i]->setText(FormatAmount(line.unitPrice, kAmountFormat));
        Text3[i]->setText(FormatAmount(line.amount, kAmountFormat));
    }
    for (QLineEdit* field : {Text4, Text5, Text8, Text10, Text9}) {
        field->setCursorPosition(0);
    }
    for (QLineEdit* field : Text) {
        field->setCursorPosition(0);
    }
}

void OrderLinesWindow::Command1_Click() {
    Slip slip = SlipForOrder(order_, totalText_);
    FillSlipShop(slip);
    ShowSlipPreview(slip);
}

void OrderLinesWindow::Command2_Click() {
    close();
}

void OrderLinesWindow::showStoredOrder(const std::optional<Order>& stored) {
    stored_ = stored;
    // Lines without an order header, or of a voided order, are no order to change.
    const bool changeable = stored && !stored->voided;
    const std::pair<QPushButton*, Guarded> guarded[] = {{Command3, Guarded::CorrectOrder},
                                                        {Command4, Guarded::VoidOrder}};
    for (const auto& [button, action] : guarded) {
        const QString refusal = RefusalFor(action);
        button->setEnabled(changeable && refusal.isEmpty());
        button->setToolTip(refusal);
    }
}

void OrderLinesWindow::Command3_Click() {
    if (!stored_) {
        return;
    }
    CorrectListedOrder(this, *stored_);
    // What this window shows may be the version just replaced.
    close();
}

void OrderLinesWindow::Command4_Click() {
    if (stored_ && VoidListedOrder(this, *stored_)) {
        close();
    }
}

void OrderLinesWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool ShowOrderLines(QWidget* parent, const QString& number, const QString& totalText) {
    if (number.isEmpty()) {
        ui::Stop(parent, kNoLines);
        return false;
    }
    const DbResult<Order> order = OrderFromLines(number);
    if (!order) {
        ui::ShowDatabaseError(parent, order.error());
        return false;
    }
    if (order->lines.isEmpty()) {
        ui::Stop(parent, kNoLines);
        return false;
    }
    const DbResult<std::optional<Order>> stored = FindOrder(number);
    if (!stored) {
        ui::ShowDatabaseError(parent, stored.error());
        return false;
    }
    auto* window = ui::WindowHost::instance<OrderLinesWindow>();
    window->load(*order, totalText);
    window->showStoredOrder(*stored);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
    return true;
}
