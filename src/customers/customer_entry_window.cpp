#include "customers/customer_entry_window.h"

#include <QPushButton>
#include <algorithm>

#include "core/clock.h"
#include "customers/customer_store.h"
#include "masterdata/plate_prefix.h"
#include "ui/date_picker.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"

namespace {

const QString kHeading = QStringLiteral("客户信息添加");
const QString kNote = QStringLiteral("“*” 为必填项");
const QString kPlateRequired = QStringLiteral("车牌号为必填项！");
const QString kOwnerRequired = QStringLiteral("车主姓名为必填项！");
const QString kDuplicatePlate = QStringLiteral("车牌号重复！");
const QString kAdded = QStringLiteral("添加成功！");

// A box holding only blanks is as empty as one holding nothing.
bool IsBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

}  // namespace

CustomerEntryWindow::CustomerEntryWindow(QWidget* parent)
    : CustomerForm({"Form3", kHeading, kNote, {0, 1}}, parent) {
    Option1->setChecked(true);

    for (int i = 0; i < int(Text.size()); ++i) {
        connect(Text[i], &ui::TextBox::KeyDown, this, [this, i](int key) { Text_KeyDown(i, key); });
        connect(Text[i], &ui::TextBox::GotFocus, this, [this, i](Qt::FocusReason reason) {
            // Coming back from another window or a menu keeps the operator's own selection.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                Text_GotFocus(i);
            }
        });
    }
    connect(Option1, &ui::OptionButton::KeyDown, this, &CustomerEntryWindow::Option1_KeyDown);
    connect(Option2, &ui::OptionButton::KeyDown, this, &CustomerEntryWindow::Option2_KeyDown);
    connect(DTPicker1, &ui::DatePicker::KeyDown, this, &CustomerEntryWindow::DTPicker1_KeyDown);
    connect(DTPicker2, &ui::DatePicker::KeyDown, this, &CustomerEntryWindow::DTPicker2_KeyDown);
    connect(Command1, &QPushButton::clicked, this, &CustomerEntryWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &CustomerEntryWindow::Command2_Click);
    closeOnEscapeAskingFirst([this] { Command2_Click(); });

    Text[0]->setFocus(Qt::OtherFocusReason);
    Form_Load();
}

void CustomerEntryWindow::Form_Load() {
    const QDate today = Today();
    DTPicker1->setValue(today);
    DTPicker2->setValue(today);

    const DbResult<QString> prefix = PlatePrefix();
    if (!prefix) {
        ui::ShowDatabaseError(this, prefix.error());
        rememberUntyped();
        return;
    }
    if (!prefix->isEmpty()) {
        platePrefix_ = *prefix;
        Text[0]->setText(platePrefix_);
    }
    rememberUntyped();
    Text_GotFocus(0);
}

void CustomerEntryWindow::Text_GotFocus(int index) {
    ui::TextBox* box = Text[index];
    const int length = int(box->text().size());
    if (index == 0) {
        // Keep the plate's first characters, as long as the shop's prefix, and select the
        // number after them, so typing replaces only the number. The selection runs backwards
        // so that the cursor itself stands right after the prefix.
        const int kept = std::min(int(platePrefix_.size()), length);
        box->setSelection(length, kept - length);
        return;
    }
    box->selectAll();
}

void CustomerEntryWindow::Text_KeyDown(int index, int key) {
    if (!ui::IsEnterKey(key)) {
        return;
    }
    QWidget* const next[] = {Text[1], Option1, DTPicker1, Text[4], Command1};
    next[index]->setFocus(Qt::OtherFocusReason);
}

void CustomerEntryWindow::Option1_KeyDown(int key) {
    if (ui::IsEnterKey(key)) {
        Text[2]->setFocus(Qt::OtherFocusReason);
    }
}

void CustomerEntryWindow::Option2_KeyDown(int key) {
    Option1_KeyDown(key);
}

void CustomerEntryWindow::DTPicker1_KeyDown(int key) {
    if (ui::IsEnterKey(key)) {
        DTPicker2->setFocus(Qt::OtherFocusReason);
    }
}

void CustomerEntryWindow::DTPicker2_KeyDown(int key) {
    if (ui::IsEnterKey(key)) {
        Text[3]->setFocus(Qt::OtherFocusReason);
    }
}

void CustomerEntryWindow::Command1_Click() {
    const QString plate = Text[0]->text();
    if (IsBlank(plate)) {
        ui::Stop(this, kPlateRequired);
        focusText(0);
        return;
    }
    const QString owner = Text[1]->text();
    if (IsBlank(owner)) {
        ui::Stop(this, kOwnerRequired);
        focusText(1);
        return;
    }

    // The plate is stored and compared exactly as typed, blanks included.
    Customer customer;
    customer.plate = plate;
    customer.owner = owner;
    customer.sex = sex();
    customer.telephone = Text[2]->text();
    customer.entryDate = DTPicker1->value();
    customer.reminderDate = DTPicker2->value();
    customer.identity = Text[3]->text();
    customer.model = Text[4]->text();
    const DbResult<CustomerAdd> added = AddCustomer(customer);
    if (!added) {
        ui::ShowDatabaseError(this, added.error());
        return;
    }
    if (*added == CustomerAdd::PlateTaken) {
        ui::Stop(this, kDuplicatePlate);
        focusText(0);
        return;
    }
    rememberUntyped();
    ui::Information(this, kAdded);
    focusText(0);
}

void CustomerEntryWindow::Command2_Click() {
    close();
}

void CustomerEntryWindow::focusText(int index) {
    Text[index]->setFocus(Qt::OtherFocusReason);
    // A box that already had the focus gets no focus event; select as if it had.
    Text_GotFocus(index);
}
