#include "repairs/order_entry_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

#include "core/clock.h"
#include "core/date_text.h"
#include "core/field_limits.h"
#include "core/number_text.h"
#include "core/order_number_text.h"
#include "customers/customer_store.h"
#include "masterdata/plate_prefix.h"
#include "masterdata/repair_items.h"
#include "repairs/order_entry.h"
#include "repairs/order_line_rows.h"
#include "repairs/slip_preview_window.h"
#include "session/current_operator.h"
#include "ui/date_picker.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

using ui::Named;

const QString kHeading = QStringLiteral("客户维修记录添加");
const QString kNumberCaption = QStringLiteral("单 号");
const QString kPlateCaption = QStringLiteral("车牌号");
const QString kOwnerCaption = QStringLiteral("车主姓名");
const QString kModelCaption = QStringLiteral("车型");
const QString kTelephoneCaption = QStringLiteral("联系电话");
const QString kReminderCaption = QStringLiteral("提醒日期");
const QString kTechnicianCaption = QStringLiteral("维修技师");
const QString kTotalCaption = QStringLiteral("合 计");
const QString kNote = QStringLiteral("注意：录入车牌号后回车显示车主信息   *为不可更改项目");
const QString kSave = QStringLiteral("保 存");
const QString kCancel = QStringLiteral("取 消");
const QString kStar = QStringLiteral("*");
const QString kZero = QStringLiteral("0.00");

const QString kSequenceRequired = QStringLiteral("维修单号为必填项！");
const QString kPlateRequired = QStringLiteral("车牌号为必填项！");
const QString kTechnicianRequired = QStringLiteral("维修技师为必填项！");
const QString kPlateNotFound = QStringLiteral("没有找到车牌号！");
const QString kDuplicateNumber = QStringLiteral("维修单号重复！");
// %1 the number offered, %2 the one the order got.
const QString kRenumbered = QStringLiteral("单号 %1 已被其他工作站使用，本维修单已保存为单号 %2。");
const QString kAskPrint = QStringLiteral("是否打印？");
const QString kAdded = QStringLiteral("添加成功！");
const QString kDiscard = QStringLiteral("是否放弃当前维修单？");

const QString kPriceFormat = QStringLiteral("#########0.00");
// Room for a four-digit sequence once a day has had 999 orders.
constexpr int kSequenceLength = 4;

bool IsBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

// A box the operator reads but never types into, coloured like a form's filled-in field.
void Lock(ui::TextBox* box, bool tinted) {
    box->setReadOnly(true);
    if (tinted) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, QColor(255, 255, 225));
        box->setPalette(palette);
    }
}

}  // namespace

OrderEntryWindow::OrderEntryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(kHeading);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    connectHandlers();
    Form_Load();
}

OrderEntryWindow::~OrderEntryWindow() {
    // The focused field loses its focus while QWidget tears the window down; by then this
    // window's handlers must not run.
    for (QObject* child : children()) {
        child->disconnect(this);
    }
}

void OrderEntryWindow::buildControls() {
    Label1 = ui::HeadingLabel(this, kHeading, QStringLiteral("Label1"), 16);

    Text6 = Named(new ui::TextBox(this), QStringLiteral("Text6"));
    Lock(Text6, false);
    Text6->setFixedWidth(90);
    Text6->setFocusPolicy(Qt::ClickFocus);
    Text7 = Named(new ui::TextBox(this), QStringLiteral("Text7"));
    Text7->setMaxLength(kSequenceLength);
    Text7->setFixedWidth(56);
    Text7->setKeyFilter(
        [](const QString&, QChar typed) { return typed.isDigit() && typed.unicode() < 128; });
    Text4 = Named(new ui::TextBox(this), QStringLiteral("Text4"));
    Text4->setMaxLength(FieldLimit(TextField::Plate));
    Text5 = Named(new ui::TextBox(this), QStringLiteral("Text5"));
    Text8 = Named(new ui::TextBox(this), QStringLiteral("Text8"));
    Text10 = Named(new ui::TextBox(this), QStringLiteral("Text10"));
    for (ui::TextBox* box : {Text5, Text8, Text10}) {
        Lock(box, true);
        box->setFocusPolicy(Qt::ClickFocus);
    }
    DTPicker1 = Named(new ui::DatePicker(this), QStringLiteral("DTPicker1"));
    Combo2 = Named(new ui::ComboBox(this), QStringLiteral("Combo2"));
    Combo2->setTypingAllowed(true);
    Combo2->setMinimumContentsLength(10);
    Combo2->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    auto* number = new QHBoxLayout;
    number->setSpacing(2);
    number->addWidget(Text6);
    number->addWidget(Text7);
    number->addStretch();

    auto* head = new QGridLayout;
    head->setHorizontalSpacing(8);
    head->setVerticalSpacing(10);
    auto place = [&](int row, int column, const QString& caption, QWidget* input, QLayout* layout,
                     bool starred) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(input);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        head->addWidget(label, row, column);
        if (layout) {
            head->addLayout(layout, row, column + 1);
        } else {
            head->addWidget(input, row, column + 1);
        }
        if (starred) {
            auto* star = new QLabel(kStar, this);
            star->setStyleSheet(QStringLiteral("color: #c00000;"));
            head->addWidget(star, row, column + 2);
        }
    };
    place(0, 0, kNumberCaption, Text7, number, false);
    place(0, 3, kPlateCaption, Text4, nullptr, false);
    place(0, 6, kOwnerCaption, Text5, nullptr, true);
    place(1, 0, kModelCaption, Text8, nullptr, true);
    place(1, 3, kTelephoneCaption, Text10, nullptr, true);
    place(1, 6, kReminderCaption, DTPicker1, nullptr, false);
    place(2, 0, kTechnicianCaption, Combo2, nullptr, false);
    for (int column : {1, 4, 7}) {
        head->setColumnStretch(column, 1);
    }
    for (int column : {2, 5}) {
        head->setColumnMinimumWidth(column, 18);
    }

    OrderLineRows rows;
    QGridLayout* lines = rows.build(this);
    Combo1 = rows.Combo1;
    Text = rows.Text;
    Text1 = rows.Text1;
    Text2 = rows.Text2;
    Text3 = rows.Text3;
    for (int i = 0; i < kLines; ++i) {
        for (ui::TextBox* box : {Text1[i], Text2[i], Text3[i]}) {
            box->setKeyFilter(&AcceptsAmountCharacter);
        }
    }

    Text9 = Named(new ui::TextBox(kZero, this), QStringLiteral("Text9"));
    Text9->setAlignment(Qt::AlignRight);
    Text9->setFixedWidth(110);
    auto* totalLabel = new QLabel(kTotalCaption, this);
    totalLabel->setBuddy(Text9);
    auto* total = new QHBoxLayout;
    total->addStretch();
    total->addWidget(totalLabel);
    total->addWidget(Text9);

    auto* note = Named(new QLabel(kNote, this), QStringLiteral("Label13"));
    note->setStyleSheet(QStringLiteral("color: #505050;"));
    Command1 = Named(new QPushButton(kSave, this), QStringLiteral("Command1"));
    Command2 = Named(new QPushButton(kCancel, this), QStringLiteral("Command2"));
    // Not a dialog: a button presses on Enter only when it has the focus.
    for (QPushButton* button : {Command1, Command2}) {
        button->setAutoDefault(true);
        button->setMinimumWidth(90);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(note);
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addSpacing(12);
    buttons->addWidget(Command2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 14, 20, 14);
    layout->setSpacing(12);
    layout->addWidget(Label1);
    layout->addLayout(head);
    layout->addSpacing(4);
    layout->addLayout(lines);
    layout->addLayout(total);
    layout->addLayout(buttons);
    resize(sizeHint().expandedTo(QSize(860, 0)));

    QList<QWidget*> order = {Text7, Text4, DTPicker1, Combo2};
    for (int i = 0; i < kLines; ++i) {
        for (QWidget* field : rows.line(i)) {
            order << field;
        }
    }
    order << Text9 << Command1 << Command2;
    for (int i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void OrderEntryWindow::connectHandlers() {
    auto enterMovesTo = [this](auto* from, QWidget* to) {
        connect(from, &std::remove_pointer_t<decltype(from)>::KeyDown, this, [to](int key) {
            if (ui::IsEnterKey(key)) {
                to->setFocus(Qt::OtherFocusReason);
            }
        });
    };
    enterMovesTo(Text7, Text4);
    enterMovesTo(DTPicker1, Combo2);
    enterMovesTo(Combo2, Combo1[0]);
    connect(Text4, &ui::TextBox::KeyDown, this, &OrderEntryWindow::Text4_KeyDown);
    connect(Text7, &ui::TextBox::LostFocus, this, &OrderEntryWindow::Text7_LostFocus);
    connect(Text7, &ui::TextBox::GotFocus, this, [this] { Text7->setSelection(0, 3); });
    for (int i = 0; i < kLines; ++i) {
        enterMovesTo(Combo1[i], Text[i]);
        enterMovesTo(Text[i], Text1[i]);
        enterMovesTo(Text1[i], Text2[i]);
        enterMovesTo(Text2[i], Text3[i]);
        if (i + 1 < kLines) {
            enterMovesTo(Text3[i], Combo1[i + 1]);
        }
        connect(Combo1[i], &QComboBox::activated, this, [this, i] { Combo1_Click(i); });
        connect(Text1[i], &ui::TextBox::LostFocus, this, [this, i] { Text1_LostFocus(i); });
        connect(Text2[i], &ui::TextBox::LostFocus, this, [this, i] { Text2_LostFocus(i); });
        connect(Text3[i], &ui::TextBox::LostFocus, this, [this, i] { Text3_LostFocus(i); });
        for (ui::TextBox* box : {Text[i], Text1[i], Text2[i], Text3[i]}) {
            connect(box, &ui::TextBox::GotFocus, box, [box] { box->selectAll(); });
        }
    }
    connect(Command1, &QPushButton::clicked, this, &OrderEntryWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &OrderEntryWindow::Command2_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
}

void OrderEntryWindow::Form_Load() {
    const QDate today = Today();
    DTPicker1->setValue(today);
    Text6->setText(OrderDatePart(today));
    const DbResult<QString> sequence = ProposeOrderSequence(today);
    const DbResult<QStringList> technicians = TechnicianNames();
    const DbResult<QStringList> items = RepairItemNames();
    const DbResult<QString> prefix = PlatePrefix();
    for (const QString& error :
         {sequence.error(), technicians.error(), items.error(), prefix.error()}) {
        if (!error.isEmpty()) {
            ui::ShowDatabaseError(this, error);
            break;
        }
    }
    Text7->setText(sequence ? *sequence : QString());
    offeredNumber_ = sequence ? Text6->text() + *sequence : QString();
    Combo2->clear();
    if (technicians) {
        Combo2->addItems(*technicians);
    }
    Combo2->setCurrentIndex(-1);
    Combo2->setEditText(QString());
    // The seven lists share one model, so a long price list is held once. Its empty first
    // entry takes a line back out of the order.
    auto* itemModel = new QStringListModel(this);
    itemModel->setStringList(QStringList(QString()) + (items ? *items : QStringList()));
    for (ui::ComboBox* combo : Combo1) {
        combo->setModel(itemModel);
        combo->setCurrentIndex(-1);
    }
    if (prefix) {
        Text4->setText(*prefix);
        // Typing goes on after the prefix.
        Text4->setSelection(int(prefix->size()), 20);
    }
    Text7->setFocus(Qt::OtherFocusReason);
}

void OrderEntryWindow::Text4_KeyDown(int key) {
    if (ui::IsEnterKey(key)) {
        lookUpPlate();
    }
}

void OrderEntryWindow::lookUpPlate() {
    const DbResult<std::optional<Customer>> found = FindCustomerByPlate(Text4->text());
    if (!found) {
        ui::ShowDatabaseError(this, found.error());
        return;
    }
    if (!*found) {
        refuse(kPlateNotFound, Text4);
        return;
    }
    const Customer& customer = **found;
    // The plate as the customer's record holds it, however it was typed.
    Text4->setText(customer.plate);
    Text5->setText(customer.owner);
    Text10->setText(customer.telephone);
    Text8->setText(customer.model);
    // A customer without a reminder date keeps the date the picker shows.
    if (customer.reminderDate.isValid()) {
        DTPicker1->setValue(customer.reminderDate);
    }
    DTPicker1->setFocus(Qt::OtherFocusReason);
}

void OrderEntryWindow::Combo1_Click(int line) {
    const QString item = Combo1[line]->currentText();
    if (item.isEmpty()) {
        return;
    }
    Text1[line]->setText(kZero);
    Text2[line]->setText(kZero);
    Text3[line]->setText(kZero);
    const DbResult<std::optional<double>> price = RepairItemPrice(item);
    if (!price) {
        ui::ShowDatabaseError(this, price.error());
        return;
    }
    if (*price) {
        Text2[line]->setText(FormatAmount(**price, kPriceFormat));
    }
}

void OrderEntryWindow::leaveLineNumber(ui::TextBox* box, int line) {
    box->setText(FormattedLineNumber(box->text()));
    Text3[line]->setText(LineAmountText(Text1[line]->text(), Text2[line]->text()));
    recomputeTotal();
}

void OrderEntryWindow::Text1_LostFocus(int line) {
    leaveLineNumber(Text1[line], line);
}

void OrderEntryWindow::Text2_LostFocus(int line) {
    leaveLineNumber(Text2[line], line);
}

void OrderEntryWindow::Text3_LostFocus(int) {
    recomputeTotal();
}

void OrderEntryWindow::Text7_LostFocus() {
    Text7->setText(FormattedSequence(Text7->text()));
}

void OrderEntryWindow::recomputeTotal() {
    QStringList amounts;
    for (const ui::TextBox* box : Text3) {
        amounts << box->text();
    }
    Text9->setText(OrderTotalText(amounts));
}

Order OrderEntryWindow::order() const {
    Order order;
    order.number = Text6->text() + Text7->text();
    order.plate = Text4->text();
    order.owner = Text5->text();
    order.model = Text8->text();
    order.telephone = Text10->text();
    order.total = LeadingNumber(Text9->text());
    order.operatorName = CurrentOperator();
    order.nextReminder = DTPicker1->value();
    order.date = Today();
    order.technician = Combo2->currentText();
    for (int i = 0; i < kLines; ++i) {
        if (!Combo1[i]->currentText().isEmpty()) {
            order.lines.append({Combo1[i]->currentText(), Text[i]->text(),
                                LeadingNumber(Text1[i]->text()), LeadingNumber(Text2[i]->text()),
                                LeadingNumber(Text3[i]->text())});
        }
    }
    return order;
}

Slip OrderEntryWindow::slip() const {
    Slip slip;
    FillSlipShop(slip);
    slip.orderNumber = OrderNumberText(Text6->text() + Text7->text());
    slip.orderDate = DateText(Today());
    slip.owner = Text5->text();
    slip.plate = Text4->text();
    slip.model = Text8->text();
    slip.telephone = Text10->text();
    slip.dateTime = SlipDateTime(Now());
    slip.operatorName = CurrentOperator();
    slip.technician = Combo2->currentText();
    slip.total = SlipNumber(Text9->text());
    slip.nextReminder = DateText(DTPicker1->value());
    for (int i = 0; i < kLines; ++i) {
        slip.lines[i] = {Combo1[i]->currentText(), Text[i]->text(), SlipNumber(Text1[i]->text()),
                         SlipNumber(Text2[i]->text()), SlipNumber(Text3[i]->text())};
    }
    return slip;
}

void OrderEntryWindow::refuse(const QString& message, QWidget* field) {
    ui::Stop(this, message);
    field->setFocus(Qt::OtherFocusReason);
}

bool OrderEntryWindow::requiredFieldsFilled(bool withSequence) {
    // A number without its sequence would be no order number at all.
    if (withSequence && IsBlank(Text7->text())) {
        refuse(kSequenceRequired, Text7);
        return false;
    }
    if (IsBlank(Text4->text())) {
        refuse(kPlateRequired, Text4);
        return false;
    }
    if (IsBlank(Combo2->currentText())) {
        refuse(kTechnicianRequired, Combo2);
        return false;
    }
    return true;
}

void OrderEntryWindow::Command1_Click() {
    if (!requiredFieldsFilled(true)) {
        return;
    }
    const Order typed = order();
    const NumberSource source = !offeredNumber_.isEmpty() && typed.number == offeredNumber_
                                    ? NumberSource::Offered
                                    : NumberSource::Typed;
    const DbResult<SavedOrder> saved = SaveOrder(typed, source);
    if (!saved) {
        ui::ShowDatabaseError(this, saved.error());
        return;
    }
    switch (saved->outcome) {
        case OrderSave::CustomerNotFound:
            refuse(kPlateNotFound, Text4);
            return;
        case OrderSave::DuplicateNumber:
            refuse(kDuplicateNumber, Text7);
            return;
        case OrderSave::Saved:
            break;
    }
    if (saved->number != typed.number) {
        // The slip and the operator go by the number the order was stored under.
        Text7->setText(saved->number.mid(Text6->text().size()));
        ui::Information(
            this, kRenumbered.arg(OrderNumberText(typed.number), OrderNumberText(saved->number)));
    }
    if (ui::Confirm(this, kAskPrint)) {
        ShowSlipPreview(slip());
    }
    ui::Information(this, kAdded);
    // The next order starts in a fresh window with the next number.
    close();
    ui::WindowHost::show(ui::WindowHost::instance<OrderEntryWindow>(),
                         ui::WindowHost::Mode::Modeless);
}

void OrderEntryWindow::Command2_Click() {
    // Lines typed are work the operator would lose with one stray key.
    if (!order().lines.isEmpty() && !ui::Confirm(this, kDiscard)) {
        return;
    }
    close();
}
