#pragma once

#include "customers/customer_form.h"

class QLabel;

// Form13: corrects one stored customer. The opener puts the record's key into the hidden
// kh_code label, turns on the option button of the stored sex and fills the fields, then
// shows the window modal. The plate is shown but never written, nor are the key and the
// called flag.
class CustomerEditWindow : public CustomerForm {
    Q_OBJECT

public:
    explicit CustomerEditWindow(QWidget* parent = nullptr);

    QLabel* kh_code;

    void Command1_Click();
    void Command2_Click();
};
