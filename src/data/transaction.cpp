#include "data/transaction.h"

#include <sqlite3.h>

#include <QDir>

#include "data/database.h"
#include "data/engine_error.h"
#include "data/pg_connection.h"
#include "data/sql_dialect.h"
#include "data/statement.h"

namespace {

int g_depth = 0;
// The reason of the first statement that failed in the open transaction.
QString g_failure;

QString SavepointName(int level) {
    return QStringLiteral("ruvaso_save_%1").arg(level);
}

// Transaction control runs beside the statement layer, so a transaction that has failed can
// still be rolled back.
bool Control(const QString& text, QString* error = nullptr) {
    if (PgConnection* server = Database::Server()) {
        Statement::freeConnection();
        for (const QString& statement : sql::SplitStatements(text)) {
            const PgResult result = server->exec(statement);
            if (!result.ok()) {
                if (error) {
                    *error = DescribeServerError(result.failure());
                }
                return false;
            }
        }
        return true;
    }
    sqlite3* db = Database::Handle();
    if (!db) {
        if (error) {
            *error = DescribeEngineError(nullptr);
        }
        return false;
    }
    const int rc = sqlite3_exec(db, text.toUtf8().constData(), nullptr, nullptr, nullptr);
    Database::EndBusyWait();
    if (rc == SQLITE_OK) {
        return true;
    }
    if (error) {
        *error = DescribeEngineError(db);
    }
    if (IsDamageCode(sqlite3_extended_errcode(db))) {
        Database::NoteDamage(DescribeEngineError(db));
    }
    return false;
}

// The first statement of a writer. SQLite lets one writer in at a time; on the server a lock held
// to the end of the transaction does the same, so a save that checks and then writes (the next
// free order number, a plate stored once, a record unchanged since it was read) sees every save
// of another station that came before it and none that comes after.
QString BeginWriter() {
    if (Database::Server()) {
        return QStringLiteral("begin; select pg_advisory_xact_lock(%1)")
            .arg(Database::kApplicationId + 1);
    }
    return QStringLiteral("begin immediate");
}

QString LostText(const PgConnection& server) {
    PgError lost;
    lost.reason = server.error().isEmpty() ? QStringLiteral("数据库连接已断开") : server.error();
    lost.connectionLost = true;
    return DescribeServerError(lost);
}

// A save begun after the server came back starts on a new connection: the server rolled back
// whatever the lost one held, so nothing of it is kept as a reason to refuse. A begin that finds
// the connection dead (the server restarted while the station sat idle) has written nothing,
// and is tried once more on a new one.
bool BeginOnServer(PgConnection& server, QString* error) {
    if (!server.connected() && !Database::Reconnect()) {
        *error = LostText(server);
        return false;
    }
    if (Control(BeginWriter(), error)) {
        return true;
    }
    if (server.connected()) {
        // The server began the transaction before the lock failed.
        Control(QStringLiteral("rollback"));
        return false;
    }
    if (!Database::Reconnect()) {
        *error = LostText(server);
        return false;
    }
    if (Control(BeginWriter(), error)) {
        return true;
    }
    Control(QStringLiteral("rollback"));
    return false;
}

}  // namespace

Transaction::Transaction() {
    if (!Database::IsOpen()) {
        error_ = DescribeEngineError(nullptr);
        return;
    }
    if (Database::IsReadOnly()) {
        error_ = QStringLiteral("数据文件是只读的（%1）")
                     .arg(QDir::toNativeSeparators(Database::FilePath()));
        return;
    }
    if (g_depth > 0 && !g_failure.isEmpty()) {
        error_ = g_failure;
        return;
    }
    const int level = g_depth + 1;
    if (level == 1 && Database::Server()) {
        if (!BeginOnServer(*Database::Server(), &error_)) {
            return;
        }
    } else if (!Control(
                   level == 1 ? BeginWriter() : QStringLiteral("savepoint ") + SavepointName(level),
                   &error_)) {
        return;
    }
    level_ = level;
    g_depth = level;
    active_ = true;
}

Transaction::~Transaction() {
    rollback();
}

DbStatus Transaction::commit() {
    if (!active_) {
        return DbStatus::failure(error_.isEmpty() ? QStringLiteral("事务已结束") : error_);
    }
    if (!g_failure.isEmpty()) {
        const QString reason = g_failure;
        rollback();
        return DbStatus::failure(reason);
    }
    QString reason;
    const QString end =
        level_ == 1 ? QStringLiteral("commit") : QStringLiteral("release ") + SavepointName(level_);
    if (!Control(end, &reason)) {
        if (g_failure.isEmpty()) {
            g_failure = reason;
        }
        rollback();
        return DbStatus::failure(reason);
    }
    active_ = false;
    g_depth = level_ - 1;
    return DbOk();
}

void Transaction::rollback() {
    if (!active_) {
        return;
    }
    active_ = false;
    g_depth = level_ - 1;
    if (level_ == 1) {
        // The engine may have rolled the transaction back itself (a full disk, an I/O error);
        // then there is nothing left to roll back and the refusal says nothing new.
        Control(QStringLiteral("rollback"));
        g_failure.clear();
        return;
    }
    Control(QStringLiteral("rollback to ") + SavepointName(level_));
    Control(QStringLiteral("release ") + SavepointName(level_));
}

void Transaction::statementFailed(const QString& reason) {
    if (g_depth > 0 && g_failure.isEmpty()) {
        g_failure = reason;
    }
}

QString Transaction::failure() {
    return g_depth > 0 ? g_failure : QString();
}

bool Transaction::isOpen() {
    return g_depth > 0;
}
