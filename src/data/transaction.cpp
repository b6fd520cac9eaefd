#include "data/transaction.h"

#include "data/database.h"
#include "data/sql_error.h"
#include "data/statement.h"

namespace {

int g_depth = 0;

bool Exec(const QString& text) {
    QString error;
    if (!Statement::exec(text, &error)) {
        SetLastSqlError(error);
        return false;
    }
    return true;
}

}  // namespace

Transaction::Transaction() : name_(QStringLiteral("ruvaso_save_%1").arg(g_depth + 1)) {
    active_ = Database::Handle() && Exec(QStringLiteral("savepoint ") + name_);
    if (active_) {
        ++g_depth;
    }
}

Transaction::~Transaction() {
    rollback();
}

bool Transaction::commit() {
    if (!active_) {
        return false;
    }
    if (!Exec(QStringLiteral("release ") + name_)) {
        rollback();
        return false;
    }
    active_ = false;
    --g_depth;
    return true;
}

void Transaction::rollback() {
    if (!active_) {
        return;
    }
    active_ = false;
    --g_depth;
    Statement::exec(QStringLiteral("rollback to ") + name_);
    Statement::exec(QStringLiteral("release ") + name_);
}
