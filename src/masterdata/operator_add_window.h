#pragma once

#include <QWidget>
#include <array>

#include "ui/key_controls.h"

class QLabel;
class QPushButton;

// Form11: adds an operator who may log in. The name must be new; the password is typed twice.
class OperatorAddWindow : public QWidget {
    Q_OBJECT

public:
    explicit OperatorAddWindow(QWidget* parent = nullptr);

    QLabel* Label1;  // heading
    // Text(0) the name, Text(1) the password, Text(2) the password again.
    std::array<ui::TextBox*, 3> Text{};
    QPushButton* Command1;
    QPushButton* Command2;

    void Command1_Click();
    void Command2_Click();

private:
    void refuse(const QString& message, QWidget* field);
};
