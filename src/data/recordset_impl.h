#pragma once

#include <QHash>
#include <QStringList>
#include <map>
#include <vector>

#include "data/recordset.h"
#include "data/statement.h"

struct Recordset::Impl {
    Statement statement;
    QStringList names;           // visible columns, in statement order
    QHash<QString, int> byName;  // exact and lower-case names to column index
    bool eof = true;
    bool closed = false;

    // Normally values are read straight from the statement's current row. After MoveLast or
    // after appending, the current row is no longer the statement's, so it is kept here.
    bool materialized = false;
    std::vector<QVariant> row;
    // Columns of the current row changed by Update(), shown until the next move.
    std::map<int, QVariant> written;

    // Set when the statement reads all columns of one table: then rows can be written back.
    QString table;
    int rowidColumn = -1;  // position of the hidden row id in the statement's result
    qint64 rowid = 0;

    bool adding = false;
    std::map<int, QVariant> pending;  // column index to assigned value, in column order

    // Texts handed out for the current row, by column. Callers get shared copies; once they let
    // go of one, the next row's text of that column is decoded into the same buffer.
    struct HandedText {
        QString text;
        quint64 row = 0;
    };
    mutable std::vector<HandedText> handed;
    quint64 rowNumber = 1;  // counts the moves, so a text is decoded once a row

    int rowsAffected = 0;
    QString error;

    // Steps to the next row of the statement; false at the end or on an error.
    bool advance();
    void materialize();
    QVariant value(int index) const;
    QString text(int index) const;
    int indexOf(const QString& name) const;

    // Windows read columns by literal names, whose text lives at a fixed address: remembering
    // those addresses spares hashing the name on every read of every row.
    struct NameHit {
        const QChar* text = nullptr;
        qsizetype size = 0;
        int index = -1;
    };
    mutable NameHit hits[16];
    mutable unsigned nextHit = 0;
};

// Dates are stored as yyyy-MM-dd text, and a null text as the empty text.
QVariant ToStoredValue(const QVariant& value);
