#include "data/transaction.h"

#include "data/database.h"
#include "data/statement.h"

namespace {

int g_depth = 0;

}  // namespace

Transaction::Transaction() : name_(QStringLiteral("ruvaso_save_%1").arg(g_depth + 1)) {
    if (!Database::Handle()) {
        error_ = QStringLiteral("数据库没有打开");
        return;
    }
    active_ = Statement::exec(QStringLiteral("savepoint ") + name_, &error_);
    if (active_) {
        ++g_depth;
    }
}

Transaction::~Transaction() {
    rollback();
}

DbStatus Transaction::commit() {
    if (!active_) {
        return DbStatus::failure(error_.isEmpty() ? QStringLiteral("事务已结束") : error_);
    }
    QString reason;
    if (!Statement::exec(QStringLiteral("release ") + name_, &reason)) {
        rollback();
        return DbStatus::failure(reason);
    }
    active_ = false;
    --g_depth;
    return DbOk();
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
