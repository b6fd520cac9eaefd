#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "data/db_result.h"
#include "repairs/order.h"

// The orders stored for this exact plate, voided ones included, without their lines, in time order:
// by order date, then by order number (a longer sequence after a shorter one, so 1000 follows 999),
// then in the order they were saved. A total that is missing or not a number counts as 0.
DbResult<QList<Order>> OrdersOfPlate(const QString& plate);

// The order as its lines carry it: number, plate, owner, model, telephone, operator, date and
// technician come from the first line, and every line of that exact order number follows in
// the order it was saved. Lines carry no order total, so `total` stays 0: openers show the
// total of their own list. No line at all gives an order without lines.
DbResult<Order> OrderFromLines(const QString& number);

// The order stored under this number with its lines, its revision and its void mark; nothing
// when no order header has the number.
DbResult<std::optional<Order>> FindOrder(const QString& number);
