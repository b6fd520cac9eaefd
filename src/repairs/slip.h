#pragma once

#include <QDateTime>
#include <QString>
#include <array>

#include "repairs/order.h"

// One priced line of the slip, with its texts as the order entry window shows them.
struct SlipLine {
    QString item;
    QString description;
    QString quantity;
    QString unitPrice;
    QString amount;
};

// Everything the customer's repair slip shows. The texts are taken as they stand in the order
// entry window, so the slip prints what the operator saw, lines that were not saved included.
struct Slip {
    static constexpr int kLineCount = 7;

    QString title;
    QString orderNumber;
    QString owner;
    QString dateTime;
    QString operatorName;
    QString technician;
    QString total;
    std::array<SlipLine, kLineCount> lines;
};

// The slip's title for a shop: its name followed by "汽车维修保养单".
QString SlipTitleFor(const QString& shopName);

// The title read from the shop's profile (the name in the first row of regedit_table). Without
// a row it is the bare "汽车维修保养单". When the read fails the bare title is given too, and
// `error` (when given) receives the reason; it is left empty after a successful read.
QString ReadSlipTitle(QString* error = nullptr);

// The order number as the slip shows it: the date part (with its leading space), "-" and the
// day's sequence, e.g. " 20261206-001".
QString SlipOrderNumber(const QString& datePart, const QString& sequence);

// The moment the slip is filled: the date, one space and the time, e.g. "2026-12-06 14:05:09".
QString SlipDateTime(const QDateTime& at);

// The slip of a saved order, to print it again: its stored lines with two decimals, `total` as
// the opener shows it, and the order's date where the time of printing would stand (the time
// of day is not stored).
Slip SlipForOrder(const Order& order, const QString& title, const QString& total);
