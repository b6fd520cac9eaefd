#pragma once

#include <QWidget>

#include "data/db_result.h"
#include "session/operators.h"

class QLabel;
class QPushButton;

namespace ui {
class Grid;
}

// 用户管理: an administrator's list of the operators with their role, whether they may log in
// and their last login. Operators are added (Form11), disabled and enabled again (never
// deleted: their names stay on orders and calls), given the other role, and given a password
// they must replace at their next login.
class OperatorListWindow : public QWidget {
    Q_OBJECT

public:
    explicit OperatorListWindow(QWidget* parent = nullptr);

    QLabel* Label1;  // heading
    ui::Grid* grid1;
    QPushButton* Command1;  // 添加
    QPushButton* Command2;  // 停用 or 启用, as the chosen operator is
    QPushButton* Command3;  // 更改角色
    QPushButton* Command4;  // 重置密码
    QPushButton* Command5;  // 关闭

    int selectedRow() const { return selectedRow_; }

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void grid1_CurrentCellChanged(int row, int col);

private:
    // The chosen operator's name; empty, after saying so, when none is chosen.
    QString chosen();
    // Shows the list again with `name` chosen.
    void reload(const QString& name);
    // Tells the outcome of a change to the operator `name`, then shows the list as it is now.
    void showChange(const DbResult<OperatorChange>& changed, const QString& name);
    void showChoice();

    int selectedRow_ = 0;
};
