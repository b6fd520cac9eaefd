#include "masterdata/password_change_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/operators.h"
#include "masterdata/account_form.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kHeading = QStringLiteral("密码修改");
const QString kNameCaption = QStringLiteral("用户名:");
const QString kPasswordCaption = QStringLiteral("新密码:");
const QString kConfirmationCaption = QStringLiteral("确认密码:");
const QString kPasswordEmpty = QStringLiteral("密码不允许为空，请重新输入！");
const QString kMismatch = QStringLiteral("密码不一致，请重新输入！");
const QString kChanged = QStringLiteral("修改成功！");

}  // namespace

PasswordChangeWindow::PasswordChangeWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(kHeading);
    setAttribute(Qt::WA_DeleteOnClose);

    Text1 = ui::Named(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::ClickFocus);
    QPalette readOnly = Text1->palette();
    readOnly.setColor(QPalette::Base, palette().color(QPalette::Window));
    Text1->setPalette(readOnly);
    for (int i = 1; i <= 2; ++i) {
        Text[i] = ui::Named(new ui::TextBox(this), QStringLiteral("Text(%1)").arg(i));
        Text[i]->setEchoMode(QLineEdit::Password);
    }

    const AccountForm form = LayOutAccountForm(
        this, kHeading,
        {{{kNameCaption, Text1}, {kPasswordCaption, Text[1]}, {kConfirmationCaption, Text[2]}}});
    Label1 = form.heading;
    Command1 = form.ok;
    Command2 = form.cancel;

    connect(Command1, &QPushButton::clicked, this, &PasswordChangeWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &PasswordChangeWindow::Command2_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    // Enter moves on to the confirmation; there it changes the password.
    connect(Text[1], &ui::TextBox::KeyDown, this, [this](int key) {
        if (ui::IsEnterKey(key)) {
            Text[2]->setFocus(Qt::OtherFocusReason);
        }
    });
    connect(Text[2], &ui::TextBox::KeyDown, this, [this](int key) {
        if (ui::IsEnterKey(key)) {
            Command1_Click();
        }
    });
    Text[1]->setFocus(Qt::OtherFocusReason);
}

void PasswordChangeWindow::load(const QString& operatorName) {
    Text1->setText(operatorName);
}

void PasswordChangeWindow::Command1_Click() {
    const DbResult<PasswordChange> changed =
        ChangePassword(Text1->text(), Text[1]->text(), Text[2]->text());
    if (!changed) {
        ui::ShowDatabaseError(this, changed.error());
        return;
    }
    switch (*changed) {
        case PasswordChange::PasswordEmpty:
            ui::Stop(this, kPasswordEmpty);
            Text[1]->setFocus(Qt::OtherFocusReason);
            return;
        case PasswordChange::ConfirmationEmpty:
            ui::Stop(this, kPasswordEmpty);
            Text[2]->setFocus(Qt::OtherFocusReason);
            return;
        case PasswordChange::UnknownOperator:
            // The account is gone: there is nothing to change.
            close();
            return;
        case PasswordChange::Mismatch:
            ui::Stop(this, kMismatch);
            return;
        case PasswordChange::Refused:
            ui::Stop(this, NewPasswordProblem(Text[1]->text()));
            Text[1]->setFocus(Qt::OtherFocusReason);
            return;
        case PasswordChange::SameAsBefore:
            ui::Stop(this, SamePasswordText());
            Text[1]->setFocus(Qt::OtherFocusReason);
            return;
        case PasswordChange::Changed:
            break;
    }
    ui::Information(this, kChanged);
    Q_EMIT passwordChanged();
    close();
}

void PasswordChangeWindow::Command2_Click() {
    close();
}
