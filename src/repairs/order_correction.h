#pragma once

#include <QList>
#include <QString>

#include "data/db_result.h"
#include "repairs/order.h"

// Correcting and voiding a saved order. Neither deletes anything: a correction keeps the
// version it replaces (kh_wx_ls_table, kh_wx_mx_ls_table) and a void marks the order with who,
// when and why. The order keeps its key, number, date and the operator who recorded it.

enum class OrderChange {
    Changed,
    Refused,           // the operator may not; `refusal` says why
    Gone,              // no order has the number any more
    ChangedElsewhere,  // another station corrected or voided it since it was read
    AlreadyVoided,
    CustomerNotFound,  // a correction's plate belongs to no stored customer
    NoReason,          // a void needs a reason
};

struct OrderChangeOutcome {
    OrderChange outcome = OrderChange::Changed;
    QString refusal;
};

// Replaces the stored order `corrected.number` with `corrected` (header and every line), unless
// its stored revision is no longer `corrected.revision`. The header's plate is written as the
// customer's record holds it; a changed reminder date moves that customer's reminder date as a
// new order does. One transaction: the earlier version is kept, the revision raised.
DbResult<OrderChangeOutcome> CorrectOrder(const Order& corrected, const QString& correctedBy);

// Marks the order voided with who, when and why, unless its stored revision is no longer
// `revision`. The customer's reminder date stays as it is.
DbResult<OrderChangeOutcome> VoidOrder(const QString& number, int revision, const QString& reason,
                                       const QString& voidedBy);

// One earlier version of a corrected order, with who replaced it and when.
struct OrderVersion {
    Order order;  // order.revision is the revision this version had
    QString changedBy;
    QString changedAt;  // "yyyy-MM-dd HH:mm:ss"
};

// The earlier versions of the order, oldest first, each with its lines; empty for an order
// never corrected.
DbResult<QList<OrderVersion>> EarlierVersions(const QString& number);
