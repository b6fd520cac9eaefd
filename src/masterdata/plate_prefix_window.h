#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// Form6: the plate prefix that customer entry and order entry put into a new plate. Saved
// exactly as typed, the empty text included; windows opened afterwards use it.
class PlatePrefixWindow : public QWidget {
    Q_OBJECT

public:
    explicit PlatePrefixWindow(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
};
