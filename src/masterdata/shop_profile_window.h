#pragma once

#include <QWidget>

#include "ui/key_controls.h"

class QLabel;
class QPushButton;

// The shop's profile as its paper names it: name, address and telephone, saved together.
class ShopProfileWindow : public QWidget {
    Q_OBJECT

public:
    explicit ShopProfileWindow(QWidget* parent = nullptr);

    QLabel* Label1;      // heading
    ui::TextBox* Text1;  // name
    ui::TextBox* Text2;  // address
    ui::TextBox* Text3;  // telephone
    QPushButton* Command1;
    QPushButton* Command2;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

Q_SIGNALS:
    void profileSaved();
};
