#pragma once

#include <QWidget>
#include <array>

#include "ui/key_controls.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Form10: the operator who is logged in sets a new password, typed twice; the old one is not
// asked for.
class PasswordChangeWindow : public QWidget {
    Q_OBJECT

public:
    explicit PasswordChangeWindow(QWidget* parent = nullptr);

    // Shows whose password is changed: the operator who is logged in.
    void load(const QString& operatorName);

    QLabel* Label1;  // heading
    QLineEdit* Text1;
    // Text(1) the new password, Text(2) the same again; there is no Text(0).
    std::array<ui::TextBox*, 3> Text{};
    QPushButton* Command1;
    QPushButton* Command2;

    void Command1_Click();
    void Command2_Click();

Q_SIGNALS:
    void passwordChanged();
};
