#include "masterdata/password_change_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "masterdata/account_form.h"
#include "session/operators.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kHeading = QStringLiteral("密码修改");
const QString kResetHeading = QStringLiteral("重置密码");
const QString kNameCaption = QStringLiteral("用户名:");
const QString kCurrentCaption = QStringLiteral("原密码:");
const QString kPasswordCaption = QStringLiteral("新密码:");
const QString kConfirmationCaption = QStringLiteral("确认密码:");
const QString kPasswordEmpty = QStringLiteral("密码不允许为空，请重新输入！");
const QString kWrongCurrent = QStringLiteral("原密码错误，请重新输入！");
const QString kMismatch = QStringLiteral("密码不一致，请重新输入！");
const QString kChanged = QStringLiteral("修改成功！");
const QString kReset = QStringLiteral("密码已重置，“%1”下次登录时需要设置新密码。");

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
    for (int i = 0; i <= 2; ++i) {
        Text[i] = ui::Named(new ui::TextBox(this), QStringLiteral("Text(%1)").arg(i));
        Text[i]->setEchoMode(QLineEdit::Password);
    }

    const AccountForm form = LayOutAccountRows(this, kHeading,
                                               {{kNameCaption, Text1},
                                                {kCurrentCaption, Text[0]},
                                                {kPasswordCaption, Text[1]},
                                                {kConfirmationCaption, Text[2]}});
    Label1 = form.heading;
    Command1 = form.ok;
    Command2 = form.cancel;
    currentCaption_ = form.captions[1];

    connect(Command1, &QPushButton::clicked, this, &PasswordChangeWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &PasswordChangeWindow::Command2_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    // Enter moves on to the next box; in the confirmation it changes the password.
    for (int i = 0; i <= 2; ++i) {
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
    Text[0]->setFocus(Qt::OtherFocusReason);
}

void PasswordChangeWindow::load(const QString& operatorName) {
    prepare(operatorName, Mode::Own);
}

void PasswordChangeWindow::loadAfterLogin(const QString& operatorName, const QString& current) {
    current_ = current;
    prepare(operatorName, Mode::AfterLogin);
}

void PasswordChangeWindow::loadReset(const QString& operatorName) {
    prepare(operatorName, Mode::Reset);
}

void PasswordChangeWindow::prepare(const QString& operatorName, Mode mode) {
    mode_ = mode;
    Text1->setText(operatorName);
    const bool asksCurrent = mode == Mode::Own;
    Text[0]->setVisible(asksCurrent);
    currentCaption_->setVisible(asksCurrent);
    const QString heading = mode == Mode::Reset ? kResetHeading : kHeading;
    Label1->setText(heading);
    setWindowTitle(heading);
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
    Text[asksCurrent ? 0 : 1]->setFocus(Qt::OtherFocusReason);
}

void PasswordChangeWindow::Command1_Click() {
    const QString name = Text1->text();
    const DbResult<PasswordChange> changed =
        mode_ == Mode::Reset ? ResetPassword(name, Text[1]->text(), Text[2]->text())
                             : ChangePassword(name, mode_ == Mode::Own ? Text[0]->text() : current_,
                                              Text[1]->text(), Text[2]->text());
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
        case PasswordChange::WrongCurrent:
            ui::Stop(this, kWrongCurrent);
            Text[0]->setFocus(Qt::OtherFocusReason);
            Text[0]->selectAll();
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
    ui::Information(this, mode_ == Mode::Reset ? kReset.arg(name) : kChanged);
    Q_EMIT passwordChanged();
    close();
}

void PasswordChangeWindow::Command2_Click() {
    close();
}
