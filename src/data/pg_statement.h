#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <deque>
#include <vector>

#include "data/pg_connection.h"

// One statement of the statement layer on the server: the rows of a query are read as the
// server sends them, one at a time. The connection carries one statement at a time, so when
// another statement needs it while rows are still coming, the rest of the rows are read into
// memory first (spill()); a walk that runs nothing else in between never holds more than a row.
//
// Values come out as the SQLite path gives them: integers and doubles as numbers, a boolean as
// 1 or 0, and a double's text as the shortest that reads back the same ("12.5", "100").
class PgStatement {
public:
    enum class Step { Row, Done, Failed };

    // Sends `text` (already in the server's dialect); a statement that changes rows runs to its
    // end here, a query up to its first row. False with error() on failure.
    bool start(PgConnection& connection, const QString& text, const QVariantList& params,
               bool command);
    Step step();
    // Reads every row still to come, so the connection is free for another statement.
    void spill();
    bool streaming() const { return query_.active(); }

    const PgError& failure() const { return error_; }
    // Rows changed by a command, and the row id its "returning rowid" gave back.
    qint64 affectedRows() const { return affected_; }
    qint64 returnedRowid() const { return returnedRowid_; }

    // Moves the column named `name` to the end (a row id that "select *" carries along).
    void moveColumnToEnd(const QString& name);

    int columnCount() const { return int(columns_.size()); }
    QString columnName(int column) const;
    bool isNull(int column) const;
    QVariant value(int column) const;
    QString text(int column) const;
    QByteArray utf8(int column) const;
    qint64 int64(int column) const;
    bool number(int column, double* value) const;

private:
    void takeColumns(const PgResult& result);
    QByteArrayView raw(int column) const;
    unsigned type(int column) const;

    PgQuery query_;
    std::deque<PgResult> spilled_;
    PgResult current_;
    bool peeked_ = false;
    // Logical column to the server's column, and the server's names and types.
    std::vector<int> columns_;
    QStringList names_;
    std::vector<unsigned> types_;
    qint64 affected_ = 0;
    qint64 returnedRowid_ = 0;
    PgError error_;
};
