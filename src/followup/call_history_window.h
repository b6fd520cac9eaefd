#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class Grid;
}

// Every recorded follow-up call of one vehicle, read-only. ShowCallHistory fills and shows it.
class CallHistoryWindow : public QWidget {
    Q_OBJECT

public:
    explicit CallHistoryWindow(QWidget* parent = nullptr);

    QLabel* ownerLabel;
    QLineEdit* Text5;
    QLabel* phoneLabel;
    QLineEdit* Text10;
    QLabel* modelLabel;
    QLineEdit* Text8;
    QLabel* countLabel;
    QLineEdit* Text9;
    ui::Grid* grid1;
    QPushButton* Command5;

    void Form_Load();
    void Command5_Click();
};

// Lists the calls whose stored plate equals `plate` and shows the window modally, with the
// owner fields as the caller's list shows them. With no call it says "没有电话记录！" and shows
// nothing. True when the window was shown.
bool ShowCallHistory(QWidget* parent, const QString& plate, const QString& owner,
                     const QString& phone, const QString& model);
