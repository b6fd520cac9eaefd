#pragma once

#include <QWidget>
#include <array>

#include "ui/key_controls.h"

class QComboBox;
class QLabel;
class QPushButton;

// Form11: adds an operator who may log in. The name must be new; the password is typed twice;
// the role is a clerk's unless an administrator is chosen.
class OperatorAddWindow : public QWidget {
    Q_OBJECT

public:
    explicit OperatorAddWindow(QWidget* parent = nullptr);

    QLabel* Label1;  // heading
    // Text(0) the name, Text(1) the password, Text(2) the password again.
    std::array<ui::TextBox*, 3> Text{};
    QComboBox* Combo1;  // the role: 店员 or 管理员
    QPushButton* Command1;
    QPushButton* Command2;

    void Command1_Click();
    void Command2_Click();

Q_SIGNALS:
    void operatorAdded(const QString& name);

private:
    void refuse(const QString& message, QWidget* field);
};
