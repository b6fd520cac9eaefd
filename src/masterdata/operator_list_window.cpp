#include "masterdata/operator_list_window.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "masterdata/operator_add_window.h"
#include "masterdata/password_change_window.h"
#include "session/current_operator.h"
#include "session/operators.h"
#include "ui/button_row.h"
#include "ui/grid.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

const QString kTitle = QStringLiteral("用户管理");
const QString kAdd = QStringLiteral("添加");
const QString kDisable = QStringLiteral("停用");
const QString kEnable = QStringLiteral("启用");
const QString kRole = QStringLiteral("更改角色");
const QString kReset = QStringLiteral("重置密码");
const QString kClose = QStringLiteral("关闭");
const QString kNameHeading = QStringLiteral("用户名");
const QString kRoleHeading = QStringLiteral("角色");
const QString kStateHeading = QStringLiteral("状态");
const QString kLoginHeading = QStringLiteral("最后登录");
const QString kEnabled = QStringLiteral("可以登录");
const QString kDisabled = QStringLiteral("已停用");
const QString kNothingChosen = QStringLiteral("请先选择用户！");
const QString kNotYourself = QStringLiteral("不能停用当前登录的用户！");
const QString kAskDisable =
    QStringLiteral("停用后“%1”将不能登录，其姓名仍保留在维修单和回访记录中。是否停用？");
const QString kAskRole = QStringLiteral("是否将“%1”的角色改为%2？");
const QString kGone = QStringLiteral("用户“%1”已不在用户列表中。");

constexpr int kHeadingHeight = 25;
constexpr int kRowHeight = 20;
// Hidden columns after the shown ones: the stored role and state, for the buttons.
constexpr int kRoleColumn = 5;
constexpr int kEnabledColumn = 6;

}  // namespace

OperatorListWindow::OperatorListWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmOperators"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::HeadingLabel(this, kTitle, QStringLiteral("Label1"), 12);
    grid1 = ui::Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(kTitle);
    Command1 = ui::Named(new QPushButton(kAdd, this), QStringLiteral("Command1"));
    Command2 = ui::Named(new QPushButton(kDisable, this), QStringLiteral("Command2"));
    Command3 = ui::Named(new QPushButton(kRole, this), QStringLiteral("Command3"));
    Command4 = ui::Named(new QPushButton(kReset, this), QStringLiteral("Command4"));
    Command5 = ui::Named(new QPushButton(kClose, this), QStringLiteral("Command5"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label1);
    layout->addWidget(grid1, 1);
    layout->addLayout(ui::CenteredButtons({Command1, Command2, Command3, Command4, Command5}));

    connect(Command1, &QPushButton::clicked, this, &OperatorListWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &OperatorListWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &OperatorListWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &OperatorListWindow::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &OperatorListWindow::Command5_Click);
    ui::CloseOnEscape(this, [this] { Command5_Click(); });
    connect(grid1, &ui::Grid::currentCellChanged, this,
            &OperatorListWindow::grid1_CurrentCellChanged);

    Form_Load();
    resize(QSize(520, 360).expandedTo(sizeHint()));
}

void OperatorListWindow::Form_Load() {
    grid1->applyStandardLook();
    grid1->setCols(kEnabledColumn + 1);
    grid1->setRows(1);
    grid1->setRowHeight(0, kHeadingHeight);
    const int widths[] = {0, 120, 70, 80, 140, 0, 0};
    const QString headings[] = {{}, kNameHeading, kRoleHeading, kStateHeading, kLoginHeading};
    for (int col = 0; col <= kEnabledColumn; ++col) {
        grid1->setColumnWidth(col, widths[col]);
        grid1->setColumnLocked(col, true);
        if (col < 5) {
            grid1->setCellText(0, col, headings[col]);
        }
    }
    selectedRow_ = 0;
    const DbResult<QList<OperatorAccount>> accounts = ListOperators();
    if (!accounts) {
        ui::ShowDatabaseError(this, accounts.error());
        showChoice();
        return;
    }
    grid1->setRows(int(accounts->size()) + 1);
    int row = 1;
    for (const OperatorAccount& account : *accounts) {
        grid1->setRowHeight(row, kRowHeight);
        grid1->setCellText(row, 1, account.name);
        grid1->setCellText(row, 2, RoleName(account.role));
        grid1->setCellText(row, 3, account.enabled ? kEnabled : kDisabled);
        grid1->setCellText(row, 4, account.lastLogin);
        grid1->setCellText(row, kRoleColumn, QString::number(int(account.role)));
        grid1->setCellText(row, kEnabledColumn, account.enabled ? QStringLiteral("1") : QString());
        ++row;
    }
    showChoice();
}

void OperatorListWindow::reload(const QString& name) {
    Form_Load();
    for (int row = 1; row < grid1->rows(); ++row) {
        if (grid1->cellText(row, 1) == name) {
            grid1->setCurrentCell(row, 1);
            selectedRow_ = row;
            break;
        }
    }
    showChoice();
}

void OperatorListWindow::showChoice() {
    const bool chosen = selectedRow_ > 0 && selectedRow_ < grid1->rows();
    const bool enabled = chosen && !grid1->cellText(selectedRow_, kEnabledColumn).isEmpty();
    Command2->setText(chosen && !enabled ? kEnable : kDisable);
}

void OperatorListWindow::grid1_CurrentCellChanged(int row, int /*col*/) {
    selectedRow_ = row;
    showChoice();
}

QString OperatorListWindow::chosen() {
    if (selectedRow_ <= 0 || selectedRow_ >= grid1->rows()) {
        ui::Stop(this, kNothingChosen);
        return {};
    }
    return grid1->cellText(selectedRow_, 1);
}

void OperatorListWindow::Command1_Click() {
    auto* add = ui::WindowHost::instance<OperatorAddWindow>();
    QString added;
    const QMetaObject::Connection heard = connect(add, &OperatorAddWindow::operatorAdded, this,
                                                  [&added](const QString& name) { added = name; });
    ui::WindowHost::show(add, ui::WindowHost::Mode::Modal);
    disconnect(heard);
    if (!added.isEmpty()) {
        reload(added);
    }
}

void OperatorListWindow::Command2_Click() {
    const QString name = chosen();
    if (name.isEmpty()) {
        return;
    }
    const bool enable = grid1->cellText(selectedRow_, kEnabledColumn).isEmpty();
    if (!enable && name == CurrentOperator()) {
        ui::Stop(this, kNotYourself);
        return;
    }
    if (!enable && !ui::Confirm(this, kAskDisable.arg(name))) {
        return;
    }
    showChange(SetOperatorEnabled(name, enable), name);
}

void OperatorListWindow::Command3_Click() {
    const QString name = chosen();
    if (name.isEmpty()) {
        return;
    }
    const Role now = Role(grid1->cellText(selectedRow_, kRoleColumn).toInt());
    const Role next = now == Role::Administrator ? Role::Clerk : Role::Administrator;
    if (!ui::Confirm(this, kAskRole.arg(name, RoleName(next)))) {
        return;
    }
    showChange(SetOperatorRole(name, next), name);
}

void OperatorListWindow::showChange(const DbResult<OperatorChange>& changed, const QString& name) {
    if (!changed) {
        ui::ShowDatabaseError(this, changed.error());
        return;
    }
    if (*changed == OperatorChange::LastAdministrator) {
        ui::Stop(this, LastAdministratorText());
    } else if (*changed == OperatorChange::UnknownOperator) {
        ui::Stop(this, kGone.arg(name));
    }
    reload(name);
}

void OperatorListWindow::Command4_Click() {
    const QString name = chosen();
    if (name.isEmpty()) {
        return;
    }
    auto* reset = ui::WindowHost::instance<PasswordChangeWindow>();
    reset->loadReset(name);
    ui::WindowHost::show(reset, ui::WindowHost::Mode::Modal);
}

void OperatorListWindow::Command5_Click() {
    close();
}
