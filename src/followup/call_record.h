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

// Whether a customer counts as called, for the list's filters and its "是否打过电话" column: the
// stored flag says a call was made, and that call was made on or after the reminder date the
// customer is now due on. A call moves the reminder date on, so the customer comes round again,
// not yet called, when that date comes. The stored flag itself is never rewritten.
bool CountsAsCalled(const QString& calledFlag, const QDate& lastCall, const QDate& reminderDate);
