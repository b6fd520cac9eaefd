#pragma once

#include <QList>
#include <QWidget>

#include "customers/customer.h"

class QLabel;
class QLineEdit;
class QPushButton;
struct CallEntry;

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

    // Shows the customer's owner details and one list row per call.
    void load(const Customer& customer, const QList<CallEntry>& calls);

    void Form_Load();
    void Command5_Click();
};

// Lists the calls of the customer's plate and shows the window modally, with the owner, phone
// and model as the customer carries them. With no call it says "没有电话记录！" and shows
// nothing. True when the window was shown.
bool ShowCallHistory(QWidget* parent, const Customer& customer);
