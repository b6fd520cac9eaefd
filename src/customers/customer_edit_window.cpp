#include "customers/customer_edit_window.h"

#include <QPalette>
#include <QPushButton>

#include "customers/customer_store.h"
#include "ui/date_picker.h"
#include "ui/message_box.h"

namespace {

const QString kHeading = QStringLiteral("客户信息修改");
const QString kNote = QStringLiteral("“*” 为不可修改项");
const QString kSaved = QStringLiteral("修改成功！");
const QString kGone = QStringLiteral("该客户信息已不存在，可能已被删除！");
const QString kChangedElsewhere = QStringLiteral("该客户资料已被其他工作站修改，请重新打开");
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

void CustomerEditWindow::Command2_Click() {
    close();
}
