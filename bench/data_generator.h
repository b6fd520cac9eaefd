#pragma once

#include <QDate>
#include <QString>

// Fills the open database with a plausible shop: customers with real-looking plates, Chinese
// names and telephones, reminder dates spread over the years, and repair orders with lines.
struct ShopSize {
    int customers = 0;
    int orders = 0;  // each with one to seven lines
    QDate reminderFrom = QDate(2020, 1, 1);
    QDate reminderTo = QDate(2026, 12, 31);
    // Orders spread evenly over these days when both are set; else 20 a day from 2020-01-01.
    QDate ordersFrom;
    QDate ordersTo;
    int maxLines = 7;  // each order has one to this many lines
};

// Returns false when a statement failed; the database then holds nothing of this run.
bool GenerateShop(const ShopSize& size, unsigned seed = 20261207);

// Opens the shop in `dir`; a figure taken over a database that did not open would time nothing,
// so the run stops instead.
void OpenShop(const QString& dir);

// A shop of `customers` customers and `orders` orders (a tenth as many by default) in
// root/shop<customers>, closed again.
QString MakeShop(const QString& root, int customers, int orders = -1, int maxLines = 7);
