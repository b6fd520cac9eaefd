#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QStringList>
#include <map>
#include <vector>

#include "data/recordset.h"

struct Recordset::Impl {
    QSqlQuery query;
    QStringList names;            // visible columns, in statement order
    QHash<QString, int> byName;   // exact and lower-case names to column index
    std::vector<QVariant> row;    // current row's visible values
    bool eof = true;
    bool closed = false;

    // Set when the statement reads all columns of one table: then rows can be written back.
    QString table;
    int rowidColumn = -1;  // position of the hidden row id in the query's result
    qint64 rowid = 0;

    bool adding = false;
    std::map<int, QVariant> pending;  // column index to assigned value, in column order

    int rowsAffected = 0;
    QString error;

    void fetchCurrent();
    int indexOf(const QString& name) const;
};

// Dates are stored as text so that text order is date order.
QVariant ToStoredValue(const QVariant& value);
