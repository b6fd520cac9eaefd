#include "data/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

#include "data/database.h"
#include "data/sql_error.h"

namespace {

int g_depth = 0;

bool Exec(const QString& statement) {
    QSqlQuery query(Database::Connection());
    if (!query.exec(statement)) {
        SetLastSqlError(query.lastError().text());
        return false;
    }
    return true;
}

}  // namespace

Transaction::Transaction() : name_(QStringLiteral("ruvaso_save_%1").arg(g_depth + 1)) {
    active_ = Database::Connection().isOpen() && Exec(QStringLiteral("savepoint ") + name_);
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
    QSqlQuery query(Database::Connection());
    query.exec(QStringLiteral("rollback to ") + name_);
    query.exec(QStringLiteral("release ") + name_);
}
