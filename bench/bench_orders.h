#pragma once

#include <QString>

// Figures of the repair orders: the entry window opening with a long price list, numbering and
// saving on a database of a million orders, a vehicle's history, and the slip as PDF.
void BenchOrders(const QString& root, const QString& sqlite3);
