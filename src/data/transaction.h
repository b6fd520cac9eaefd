#pragma once

#include <QString>

#include "data/db_result.h"

// All rows or none: statements run through RunSql between construction and commit() are kept
// only if commit() succeeds; a guard that goes out of scope uncommitted rolls them back.
// Guards nest (each is a savepoint), so a rule that saves atomically can be called from a
// window that wraps more around it.
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

private:
    QString name_;
    QString error_;
    bool active_ = false;
};
