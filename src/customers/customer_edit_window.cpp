#include "customers/customer_edit_window.h"

#include <QPalette>
#include <QPushButton>

#include "customers/customer_store.h"
#include "customers/plate_correction.h"
#include "session/current_operator.h"
#include "session/roles.h"
#include "ui/date_picker.h"
#include "ui/input_box.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kHeading = QStringLiteral("客户信息修改");
const QString kNote = QStringLiteral("“*” 为不可修改项");
const QString kSaved = QStringLiteral("修改成功！");
const QString kGone = QStringLiteral("该客户信息已不存在，可能已被删除！");
const QString kChangedElsewhere = QStringLiteral("该客户资料已被其他工作站修改，请重新打开");
const QString kCorrectPlate = QStringLiteral("更正车牌");
const QString kAskPlate =
    QStringLiteral("请输入正确的车牌号。\n该客户的维修记录和回访记录将一并改为新车牌。");
const QString kPlateEmpty = QStringLiteral("车牌号不能为空！");
const QString kPlateTaken = QStringLiteral("车牌号 %1 已属于其他客户，不能更正为此车牌！");
// %1 the old plate, %2 the new one.
const QString kPlateCorrected = QStringLiteral("车牌已由 %1 更正为 %2。");
const QString kMale = QStringLiteral("先生");
const QString kFemale = QStringLiteral("女士");

}  // namespace

CustomerEditWindow::CustomerEditWindow(QWidget* parent)
    : CustomerForm({"Form13", kHeading, kNote, {0}}, parent) {
    Text[0]->setReadOnly(true);
    // A locked box looks locked: the window's colour instead of the writing colour.
    QPalette locked = Text[0]->palette();
    locked.setColor(QPalette::Base, locked.color(QPalette::Window));
    Text[0]->setPalette(locked);

    Command3 = ui::Named(new QPushButton(kCorrectPlate, this), QStringLiteral("Command3"));
    addButtonBeforeSave(Command3);
    // Shown to everyone, usable by those allowed; the reason is on the button.
    if (const QString refusal = RefusalFor(Guarded::CorrectPlate); !refusal.isEmpty()) {
        Command3->setEnabled(false);
        Command3->setToolTip(refusal);
    }
    connect(Command3, &QPushButton::clicked, this, &CustomerEditWindow::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &CustomerEditWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &CustomerEditWindow::Command2_Click);
    closeOnEscapeAskingFirst([this] { Command2_Click(); });

    // The plate cannot change, so the owner's name is where editing starts.
    Text[1]->setFocus(Qt::OtherFocusReason);
}

void CustomerEditWindow::load(const Customer& customer) {
    key_ = customer.key;
    loaded_ = customer;
    if (customer.sex == kMale) {
        Option1->setChecked(true);
    } else if (customer.sex == kFemale) {
        Option2->setChecked(true);
    }
    Text[0]->setText(customer.plate);
    Text[1]->setText(customer.owner);
    Text[2]->setText(customer.telephone);
    DTPicker1->setValue(customer.entryDate);
    DTPicker2->setValue(customer.reminderDate);
    Text[3]->setText(customer.identity);
    Text[4]->setText(customer.model);
    rememberUntyped();
}

void CustomerEditWindow::Command1_Click() {
    Customer edited;
    edited.key = key_;
    edited.owner = Text[1]->text();
    edited.telephone = Text[2]->text();
    edited.entryDate = DTPicker1->value();
    edited.reminderDate = DTPicker2->value();
    edited.identity = Text[3]->text();
    edited.model = Text[4]->text();
    edited.sex = sex();
    const DbResult<CustomerUpdate> saved = UpdateCustomer(edited, loaded_);
    if (!saved) {
        // Nothing was written; the window stays open so the operator can try again.
        ui::ShowDatabaseError(this, saved.error());
        return;
    }
    if (*saved == CustomerUpdate::ChangedElsewhere) {
        ui::Stop(this, kChangedElsewhere);
        showStored();
        return;
    }
    if (*saved == CustomerUpdate::Gone) {
        // Deleted since the window opened: there is nothing left to correct.
        ui::Stop(this, kGone);
        close();
        return;
    }
    ui::Information(this, kSaved);
    close();
}

void CustomerEditWindow::showStored() {
    const DbResult<std::optional<Customer>> stored = FindCustomerByKey(key_);
    if (!stored) {
        ui::ShowDatabaseError(this, stored.error());
        return;
    }
    if (!*stored) {
        ui::Stop(this, kGone);
        close();
        return;
    }
    load(**stored);
}

void CustomerEditWindow::Command3_Click() {
    const QString typed = ui::InputBox::ask(this, kAskPlate, kCorrectPlate, Text[0]->text());
    if (typed.isEmpty()) {
        return;
    }
    const QString old = Text[0]->text();
    const DbResult<PlateCorrectionOutcome> corrected = CorrectPlate(key_, typed, CurrentOperator());
    if (!corrected) {
        ui::ShowDatabaseError(this, corrected.error());
        return;
    }
    switch (corrected->outcome) {
        case PlateCorrection::Refused:
            ui::Stop(this, corrected->refusal);
            return;
        case PlateCorrection::Gone:
            ui::Stop(this, kGone);
            close();
            return;
        case PlateCorrection::Empty:
            ui::Stop(this, kPlateEmpty);
            return;
        case PlateCorrection::PlateTaken:
            ui::Stop(this, kPlateTaken.arg(typed.trimmed()));
            return;
        case PlateCorrection::Unchanged:
            return;
        case PlateCorrection::Corrected:
            break;
    }
    ui::Information(this, kPlateCorrected.arg(old, corrected->plate));
    Text[0]->setText(corrected->plate);
    loaded_.plate = corrected->plate;
}

void CustomerEditWindow::Command2_Click() {
    close();
}
