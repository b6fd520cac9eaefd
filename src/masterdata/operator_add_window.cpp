#include "masterdata/operator_add_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/field_limits.h"
#include "masterdata/account_form.h"
#include "session/operators.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kHeading = QStringLiteral("用户添加");
const QString kNameCaption = QStringLiteral("用户名:");
const QString kPasswordCaption = QStringLiteral("密码:");
const QString kConfirmationCaption = QStringLiteral("确认密码:");
const QString kRoleCaption = QStringLiteral("角色:");
const QString kNameEmpty = QStringLiteral("用户名不允许为空！");
const QString kNameTaken = QStringLiteral("用户重复，请重新录入！");
const QString kPasswordEmpty = QStringLiteral("验证密码不允许为空！");
const QString kMismatch = QStringLiteral("验证密码不一致，请重新录入！");
const QString kAdded = QStringLiteral("用户信息添加成功！");

}  // namespace

OperatorAddWindow::OperatorAddWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(kHeading);
    setAttribute(Qt::WA_DeleteOnClose);

    for (int i = 0; i < 3; ++i) {
        Text[i] = ui::Named(new ui::TextBox(this), QStringLiteral("Text(%1)").arg(i));
        if (i > 0) {
            Text[i]->setEchoMode(QLineEdit::Password);
        }
    }
    Text[0]->setMaxLength(FieldLimit(TextField::OperatorName));
    Combo1 = ui::Named(new QComboBox(this), QStringLiteral("Combo1"));
    // A clerk first: an administrator is chosen on purpose.
    for (Role role : {Role::Clerk, Role::Administrator}) {
        Combo1->addItem(RoleName(role), int(role));
    }
    const AccountForm form = LayOutAccountRows(this, kHeading,
                                               {{kNameCaption, Text[0]},
                                                {kPasswordCaption, Text[1]},
                                                {kConfirmationCaption, Text[2]},
                                                {kRoleCaption, Combo1}});
    Label1 = form.heading;
    Command1 = form.ok;
    Command2 = form.cancel;

    connect(Command1, &QPushButton::clicked, this, &OperatorAddWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &OperatorAddWindow::Command2_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    // Enter moves on to the next box; in the last one it adds.
    for (int i = 0; i < 3; ++i) {
        connect(Text[i], &ui::TextBox::KeyDown, this, [this, i](int key) {
            if (!ui::IsEnterKey(key)) {
                return;
            }
            if (i < 2) {
                Text[i + 1]->setFocus(Qt::OtherFocusReason);
            } else {
                Command1_Click();
            }
        });
    }
}

void OperatorAddWindow::refuse(const QString& message, QWidget* field) {
    ui::Stop(this, message);
    field->setFocus(Qt::OtherFocusReason);
}

void OperatorAddWindow::Command1_Click() {
    const DbResult<OperatorAdd> added = AddOperator(
        Text[0]->text(), Text[1]->text(), Text[2]->text(), Role(Combo1->currentData().toInt()));
    if (!added) {
        ui::ShowDatabaseError(this, added.error());
        return;
    }
    switch (*added) {
        case OperatorAdd::NameEmpty:
            refuse(kNameEmpty, Text[0]);
            return;
        case OperatorAdd::NameTaken:
            refuse(kNameTaken, Text[0]);
            return;
        case OperatorAdd::PasswordEmpty:
            refuse(kPasswordEmpty, Text[1]);
            return;
        case OperatorAdd::ConfirmationEmpty:
            refuse(kPasswordEmpty, Text[2]);
            return;
        case OperatorAdd::Mismatch:
            refuse(kMismatch, Text[1]);
            return;
        case OperatorAdd::Refused:
            refuse(NewPasswordProblem(Text[1]->text()), Text[1]);
            return;
        case OperatorAdd::Added:
            break;
    }
    ui::Information(this, kAdded);
    Q_EMIT operatorAdded(Text[0]->text());
    close();
}

void OperatorAddWindow::Command2_Click() {
    close();
}
