#pragma once

#include <QDate>
#include <QString>

#include "data/db_result.h"

// One follow-up call as the operator recorded it.
struct CallRecord {
    QString customerKey;
    QString plate;
    QString owner;
    QString content;
    QString response;
    QDate nextReminder;
    QDate callDate;
    QString operatorName;
};

enum class CallSave {
    // The call is stored and the customer is marked as called with the new reminder date.
    Saved,
    // The call is stored, but no customer has that key any more (deleted meanwhile).
    SavedWithoutCustomer,
};

// Stores the call and marks the customer in one transaction: both writes or neither.
DbResult<CallSave> SaveCall(const CallRecord& call);

// The called flag a saved call leaves on the customer.
inline QString CalledFlag() {
    return QStringLiteral("1");
}
