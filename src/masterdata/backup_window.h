#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// "数据备份": backs the database up into the data folder and, when the owner has chosen one, into
// a backup folder on another disk (a USB stick, a network folder), and shows where the newest
// copy there is. The folder is remembered for the data folder in use.
class BackupWindow : public QWidget {
    Q_OBJECT

public:
    explicit BackupWindow(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Text1;
    QPushButton* Command3;
    QPushButton* Command4;
    QLabel* Label4;
    QPushButton* Command1;
    QPushButton* Command2;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
};
