#pragma once

#include "customers/customer.h"
#include "customers/customer_form.h"

// Form13: corrects one stored customer. The opener hands the record over with load() and shows
// the window modal. The save never writes the plate, the key or the called flag; the plate
// changes only through 更正车牌 (Command3), which takes the customer's orders and calls along.
// A record another station saved in the meantime is not written over: the window says so and
// shows the stored record.
class CustomerEditWindow : public CustomerForm {
    Q_OBJECT

public:
    explicit CustomerEditWindow(QWidget* parent = nullptr);

    // Shows the customer's fields, with the option button of the stored sex turned on.
    void load(const Customer& customer);
    // The key of the customer being corrected.
    const QString& customerKey() const { return key_; }

    QPushButton* Command3;  // 更正车牌

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    // Shows the record as stored now, as if the window had been opened again.
    void showStored();

    QString key_;
    // The record as it was read, to tell whether another station saved it since.
    Customer loaded_;
};
