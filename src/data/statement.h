#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

struct sqlite3_stmt;
class PgStatement;

// One prepared statement on the open database, in SQLite's dialect whichever engine runs it
// (sql_dialect.h turns it into the server's). Statements still alive when the database closes
// are finalized first, so a forgotten recordset can never keep the file open.
//
// step() answers with SQLite's codes on both engines: SQLITE_ROW, SQLITE_DONE or an error.
class Statement {
public:
    Statement();
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Prepares `text` and binds `params` to its placeholders, in order. On failure error()
    // tells why and the statement stays unprepared.
    bool prepare(const QString& text, const QVariantList& params = {});
    // SQLITE_ROW, SQLITE_DONE or an error code (then error() tells why).
    int step();
    void finalize();

    bool isPrepared() const { return stmt_ != nullptr || pg_ != nullptr; }
    const QString& error() const { return error_; }

    int columnCount() const;
    QString columnName(int column) const;
    QVariant value(int column) const;
    QString text(int column) const;
    // The same into `into`, reusing its buffer when nobody else shares it: a walk that reads
    // each row's texts and lets them go converts without allocating.
    void textInto(int column, QString& into) const;
    // The column's text without copying: it points into the engine's row and is valid until
    // the next step.
    QByteArray utf8(int column) const;
    qint64 int64(int column) const;
    // The column as a number when it is stored as one; false for a text, a blob or null.
    bool number(int column, double* value) const;

    // Rows changed by the last step of an insert, update or delete; the new row's id.
    static int changes();
    static qint64 lastInsertRowid();
    // Commands (writes, transaction control) run on the server so far.
    static qint64 serverCommands();

    // Runs one statement without rows (savepoints and the like).
    static bool exec(const QString& text, QString* error = nullptr);
    // Finalizes every live statement; called before the database closes.
    static void finalizeAll();
    // On the server: reads the rest of any statement whose rows are still coming, so the
    // connection can carry another statement (transaction control runs beside this layer).
    static void freeConnection();

private:
    void fail();
    bool preparePg(const QString& text, const QVariantList& params);

    sqlite3_stmt* stmt_ = nullptr;
    std::unique_ptr<PgStatement> pg_;
    bool pgDone_ = false;
    QString error_;
};
