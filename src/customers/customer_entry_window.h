#pragma once

#include "customers/customer_form.h"

// Form3: adds customers one vehicle at a time. It stays open for the next customer, keeping
// what was typed so that only the differing fields need overwriting, and the whole window can
// be filled from the keyboard: Enter walks the fields and finally presses "保 存".
class CustomerEntryWindow : public CustomerForm {
    Q_OBJECT

public:
    explicit CustomerEntryWindow(QWidget* parent = nullptr);

    void Form_Load();
    void Text_GotFocus(int index);
    void Text_KeyDown(int index, int key);
    void Option1_KeyDown(int key);
    void Option2_KeyDown(int key);
    void DTPicker1_KeyDown(int key);
    void DTPicker2_KeyDown(int key);
    void Command1_Click();
    void Command2_Click();

private:
    void focusText(int index);

    // The shop's plate prefix, which the plate box keeps when it gains the focus.
    QString platePrefix_;
};
