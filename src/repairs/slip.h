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
    QString shopAddress;
    QString shopTelephone;
    QString orderNumber;  // as people read it (OrderNumberText)
    QString orderDate;
    QString owner;
    QString plate;
    QString model;
    QString telephone;  // the owner's
    QString dateTime;
    QString operatorName;
    QString technician;
    QString total;
    QString nextReminder;  // the date the next service is due, as the order sets it
    std::array<SlipLine, kLineCount> lines;
};

// The slip's title for a shop: its name followed by "汽车维修保养单".
QString SlipTitleFor(const QString& shopName);

// Fills the slip's title, shop address and shop telephone from the shop's profile (the first
// row of regedit_table). While the shop has no name the title asks for it (ShopNameOnPaper).
// When the read fails the title is the bare "汽车维修保养单" and `error` (when given) receives
// the reason; it is left empty after a successful read.
void FillSlipShop(Slip& slip, QString* error = nullptr);

// The moment the slip is filled: the date, one space and the time, e.g. "2026-12-06 14:05:09".
QString SlipDateTime(const QDateTime& at);

// A quantity, price or amount as the slip prints it: the number the order keeps of the text
// (the leading-number rule) with two decimals, so that a column's points line up; a blank text
// stays blank.
QString SlipNumber(const QString& text);

// The slip of a saved order, to print it again: its stored lines with two decimals, `total` as
// the opener shows it, and the order's date where the time of printing would stand (the time
// of day is not stored). The shop's part is left to FillSlipShop.
Slip SlipForOrder(const Order& order, const QString& total);
