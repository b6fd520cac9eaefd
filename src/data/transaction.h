#pragma once

#include <QString>

#include "data/db_result.h"

// All rows or none: statements run through RunSql between construction and commit() are kept
// only if commit() succeeds; a guard that goes out of scope uncommitted rolls them back.
// The outermost guard begins as a writer, so it waits for another writer at its start (within
// the busy timeout) rather than failing halfway through the save. Guards nest (each inner one
// is a savepoint), so a rule that saves atomically can be called from a window that wraps more
// around it. A statement that fails while a guard is open ends the whole transaction: every
// later statement is refused with the first failure's reason until the outermost guard ends,
// and commit() fails, so nothing can be written outside the transaction it belongs to.
class Transaction {
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // False when the transaction could not even begin; error() says why.
    bool isActive() const { return active_; }
    const QString& error() const { return error_; }
    // Keeps every write since construction, or says why not (then nothing is kept).
    DbStatus commit();
    void rollback();

    // For the statement layer: a statement failed; when a transaction is open it is now over.
    static void statementFailed(const QString& reason);
    // Why the open transaction can take no more statements, or empty when it can.
    static QString failure();
    // Whether a transaction is open.
    static bool isOpen();

private:
    int level_ = 0;
    QString error_;
    bool active_ = false;
};
