#pragma once

#include "customers/customer.h"
#include "customers/customer_form.h"

// Form13: corrects one stored customer. The opener hands the record over with load() and shows
// the window modal. The plate is shown but never written, nor are the key and the called flag.
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

    void Command1_Click();
    void Command2_Click();

private:
    // Shows the record as stored now, as if the window had been opened again.
    void showStored();

    QString key_;
    // The record as it was read, to tell whether another station saved it since.
    Customer loaded_;
};
