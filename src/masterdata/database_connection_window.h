#pragma once

#include <QWidget>

#include "ui/key_controls.h"

class QLabel;
class QPushButton;
struct ServerAddress;

// Which database the shop works on: shows the one in use, and stores a PostgreSQL server (or
// the data folder's own file again) for the next start. Nothing is reopened under the open
// windows. The connection is tried on a thread of its own, so the window stays alive for the
// server's whole connect timeout.
class DatabaseConnectionWindow : public QWidget {
    Q_OBJECT

public:
    explicit DatabaseConnectionWindow(QWidget* parent = nullptr);

    QLabel* Label1;         // heading
    QLabel* Label2;         // the database in use
    QLabel* Label3;         // what the next start opens
    ui::TextBox* Text1;     // host
    ui::TextBox* Text2;     // port
    ui::TextBox* Text3;     // database
    ui::TextBox* Text4;     // user
    ui::TextBox* Text5;     // password
    QPushButton* Command1;  // save
    QPushButton* Command2;  // cancel
    QPushButton* Command3;  // test the connection
    QPushButton* Command4;  // back to the data folder's file
    QPushButton* Command5;  // copy this shop onto the server

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

    // A connection test is under way.
    bool testing() const { return testing_; }

Q_SIGNALS:
    // The test has ended and what it found has been said.
    void connectionTested();

private:
    ServerAddress entered() const;
    // Says what the address lacks and puts the focus where it does; false then.
    bool checkEntered();
    void setTesting(bool testing);
    void showNextStart();
    int textWidth() const;

    bool testing_ = false;
};
