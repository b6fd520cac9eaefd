#pragma once

#include <QWidget>

#include "session/operators.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The first window: an operator picks a name, types the password and logs in; the main window
// then opens and this one closes. Closing it before logging in ends the program.
class LoginWindow : public QWidget {
    Q_OBJECT

public:
    explicit LoginWindow(QWidget* parent = nullptr);

    QLabel* Label3;
    QComboBox* Combo1;
    QLabel* Label4;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QLabel* Label5;
    QLabel* Label1;
    // Which database the login opens: the file's path or the server's database.
    QLabel* databaseLabel;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

Q_SIGNALS:
    // The main window is open and shows this operator.
    void loggedIn(const QString& operatorName);

private:
    // Tells the operator who logged in `why` they must set a new password and asks for it; true
    // once it is set.
    bool replacePassword(const QString& name, const QString& why);
    // At the first login of a new shop, asks for the shop's name while it has none; the operator
    // may put it off.
    void askForShopName();

    LoginThrottle throttle_;
};
