#pragma once

#include <QWidget>
#include <array>

#include "ui/key_controls.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Form10: a new password, typed twice. The operator who is logged in first types the current
// one; right after a login that must set a new password the login has checked it already; an
// administrator resetting another operator's password types none, and that operator then sets
// a new one at the next login.
class PasswordChangeWindow : public QWidget {
    Q_OBJECT

public:
    explicit PasswordChangeWindow(QWidget* parent = nullptr);

    // The operator who is logged in changes their own password.
    void load(const QString& operatorName);
    // The login's demand for a new password: `current` is the password just typed there.
    void loadAfterLogin(const QString& operatorName, const QString& current);
    // An administrator gives another operator a password that lasts until their next login.
    void loadReset(const QString& operatorName);

    QLabel* Label1;  // heading
    QLineEdit* Text1;
    // Text(0) the current password, Text(1) the new password, Text(2) the same again.
    std::array<ui::TextBox*, 3> Text{};
    QPushButton* Command1;
    QPushButton* Command2;

    void Command1_Click();
    void Command2_Click();

Q_SIGNALS:
    void passwordChanged();

private:
    enum class Mode { Own, AfterLogin, Reset };
    void prepare(const QString& operatorName, Mode mode);

    QLabel* currentCaption_ = nullptr;
    Mode mode_ = Mode::Own;
    QString current_;
};
