#pragma once

#include <optional>

#include <QDate>
#include <QString>

#include "data/db_result.h"
#include "repairs/order.h"

// The date part of the day's order numbers: one space, then the date as eight digits
// (" 20261206"). Stored numbers carry that space, so it stays part of every number.
QString OrderDatePart(const QDate& day);

// The sequence to propose for the next order of `day`: one more than the greatest sequence
// among the stored numbers of that day, compared as numbers, at least three digits ("001",
// "042", "1000"). Numbers of other days never count, whatever their order date says.
DbResult<QString> ProposeOrderSequence(const QDate& day);

// What the key filter of a quantity, price or amount box lets through: digits, and a decimal
// point unless the text already ends with one.
bool AcceptsAmountCharacter(const QString& text, QChar typed);

// A quantity or price box as it reads after the operator leaves it: empty becomes "0", a number
// takes two decimals, anything else stays as typed.
QString FormattedLineNumber(const QString& text);
// The line amount shown for a quantity and a unit price: their product with two decimals.
QString LineAmountText(const QString& quantity, const QString& unitPrice);
// The order total for the amount boxes, each read by the leading-number rule.
QString OrderTotalText(const QStringList& amounts);
// The sequence box as it reads after leaving it: at least three digits; empty stays empty.
QString FormattedSequence(const QString& text);

// Why a line of the order cannot be stored: the first item or description longer than its
// limit; empty when every line fits.
QString OrderLineTooLong(const Order& order);

// The customer an order's plate belongs to, however the plate was typed: their row and the
// plate as their row holds it, which the order then carries so the vehicle's history finds it.
// Empty when no customer has the plate.
struct PlateOwner {
    qint64 row = 0;
    QString plate;
};
DbResult<std::optional<PlateOwner>> FindPlateOwner(const QString& typedPlate);

enum class OrderSave { Saved, CustomerNotFound, DuplicateNumber };

// Where the order's number came from. The number the window offered (the day's next when it
// opened) may have been taken by another station since; the order then takes the day's next
// free number. A number the operator typed is his choice, and a taken one is refused.
enum class NumberSource { Typed, Offered };

struct SavedOrder {
    OrderSave outcome = OrderSave::Saved;
    // Saved: the number the order was stored under.
    QString number;
};

// Saves the order: the first customer with the order's plate gets the order's reminder date,
// then the header and every line are stored, all in one transaction. A refused save
// (no such customer, number already taken) writes nothing; every line of `order` is stored,
// so drop unnamed lines before calling.
DbResult<OrderSave> SaveOrder(const Order& order);
// The same, for a number of `source`: an offered number that is taken gives way to the next
// free one of the same day, found in the save's own transaction.
DbResult<SavedOrder> SaveOrder(const Order& order, NumberSource source);
