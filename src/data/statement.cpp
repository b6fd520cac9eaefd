#include "data/statement.h"

#include <sqlite3.h>

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QStringDecoder>
#include <unordered_set>

#include "data/database.h"
#include "data/engine_error.h"
#include "data/pg_statement.h"
#include "data/sql_dialect.h"
#include "data/transaction.h"

namespace {

// What the last command on the server changed, as sqlite3_changes and the last row id tell it.
qint64 g_pgChanges = 0;
qint64 g_pgLastRowid = 0;
// Commands this station has run on the server, for the change mark.
qint64 g_pgCommands = 0;

// Statements that run to their end at once on the server; anything else is read row by row.
bool IsCommand(const QString& trimmed) {
    static const QStringList commands = {
        QStringLiteral("insert"),    QStringLiteral("update"),  QStringLiteral("delete"),
        QStringLiteral("begin"),     QStringLiteral("commit"),  QStringLiteral("rollback"),
        QStringLiteral("savepoint"), QStringLiteral("release"), QStringLiteral("create"),
        QStringLiteral("drop"),      QStringLiteral("alter"),   QStringLiteral("comment"),
        QStringLiteral("set"),       QStringLiteral("lock"),    QStringLiteral("truncate"),
        QStringLiteral("listen"),    QStringLiteral("notify"),  QStringLiteral("end")};
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed.at(end).isLetter()) {
        ++end;
    }
    return commands.contains(trimmed.left(end).toLower());
}

// "select * from ...": on the server the row id is one of the table's columns; it goes last,
// where "select *, _rowid_" puts SQLite's.
bool SelectsAll(const QString& trimmed) {
    static const QRegularExpression all(QStringLiteral("^select\\s+\\*\\s"),
                                        QRegularExpression::CaseInsensitiveOption);
    return all.match(trimmed).hasMatch();
}

std::unordered_set<Statement*>& Live() {
    static std::unordered_set<Statement*> live;
    return live;
}

int Bind(sqlite3_stmt* stmt, int index, const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        // A null text is the empty text: an empty box stores "", never NULL.
        if (value.typeId() == QMetaType::QString) {
            return sqlite3_bind_text(stmt, index, "", 0, SQLITE_STATIC);
        }
        return sqlite3_bind_null(stmt, index);
    }
    switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
            return sqlite3_bind_int64(stmt, index, value.toLongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return sqlite3_bind_double(stmt, index, value.toDouble());
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return sqlite3_bind_blob64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                       SQLITE_TRANSIENT);
        }
        case QMetaType::QDate:
        case QMetaType::QDateTime: {
            const QByteArray text = value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
            return sqlite3_bind_text64(stmt, index, text.constData(), sqlite3_uint64(text.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            return sqlite3_bind_text64(stmt, index, text.constData(), sqlite3_uint64(text.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
        }
    }
}

}  // namespace

Statement::Statement() = default;

Statement::~Statement() {
    finalize();
}

void Statement::fail() {
    error_ = pg_ ? DescribeServerError(pg_->failure()) : DescribeEngineError(Database::Handle());
    if (!pg_ && Database::Handle() && IsDamageCode(sqlite3_extended_errcode(Database::Handle()))) {
        Database::NoteDamage(error_);
    }
    Transaction::statementFailed(error_);
}

void Statement::freeConnection() {
    for (Statement* statement : Live()) {
        if (statement->pg_ && statement->pg_->streaming()) {
            statement->pg_->spill();
        }
    }
}

bool Statement::preparePg(const QString& text, const QVariantList& params) {
    PgConnection* server = Database::Server();
    freeConnection();
    if (!server->connected()) {
        // Once the server is back the next statement carries on, but never inside a transaction
        // that began on the lost connection: the server has rolled it back.
        if (Transaction::isOpen() || !Database::Reconnect()) {
            PgError lost;
            lost.reason =
                server->error().isEmpty() ? QStringLiteral("数据库连接已断开") : server->error();
            lost.connectionLost = true;
            error_ = DescribeServerError(lost);
            Transaction::statementFailed(error_);
            return false;
        }
    }
    const QString trimmed = text.trimmed();
    const bool command = IsCommand(trimmed);
    pg_ = std::make_unique<PgStatement>();
    if (!pg_->start(*server, sql::ForEngine(sql::Engine::Postgres, trimmed), params, command)) {
        fail();
        pg_.reset();
        return false;
    }
    if (SelectsAll(trimmed)) {
        pg_->moveColumnToEnd(QStringLiteral("rowid"));
    }
    pgDone_ = command;
    if (command) {
        ++g_pgCommands;
        g_pgChanges = pg_->affectedRows();
        g_pgLastRowid = pg_->returnedRowid();
    }
    Live().insert(this);
    return true;
}

bool Statement::prepare(const QString& text, const QVariantList& params) {
    finalize();
    error_.clear();
    // Once a statement of a transaction has failed, the transaction is over: nothing more may be
    // written in it, or outside it in its name.
    if (Database::Server()) {
        if (const QString failed = Transaction::failure(); !failed.isEmpty()) {
            error_ = failed;
            return false;
        }
        return preparePg(text, params);
    }
    sqlite3* db = Database::Handle();
    if (!db) {
        error_ = DescribeEngineError(nullptr);
        return false;
    }
    // Once a statement of a transaction has failed, the transaction is over: nothing more may be
    // written in it, or outside it in its name.
    if (const QString failed = Transaction::failure(); !failed.isEmpty()) {
        error_ = failed;
        return false;
    }
    const QByteArray utf8 = text.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt_, &tail) != SQLITE_OK) {
        fail();
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        return false;
    }
    if (!stmt_) {
        error_ = QStringLiteral("语句为空");
        return false;
    }
    Live().insert(this);
    if (tail && *tail) {
        // More than one statement in the text: refuse rather than silently run the first.
        const QByteArray rest = QByteArray(tail).trimmed();
        if (!rest.isEmpty() && rest != ";") {
            finalize();
            error_ = QStringLiteral("一次只能执行一条语句");
            return false;
        }
    }
    if (params.size() != sqlite3_bind_parameter_count(stmt_)) {
        error_ = QStringLiteral("参数个数不符：语句需要 %1 个，给了 %2 个")
                     .arg(sqlite3_bind_parameter_count(stmt_))
                     .arg(params.size());
        finalize();
        return false;
    }
    for (int i = 0; i < params.size(); ++i) {
        if (Bind(stmt_, i + 1, params[i]) != SQLITE_OK) {
            fail();
            finalize();
            return false;
        }
    }
    return true;
}

int Statement::step() {
    if (pg_) {
        if (pgDone_) {
            return SQLITE_DONE;
        }
        switch (pg_->step()) {
            case PgStatement::Step::Row:
                return SQLITE_ROW;
            case PgStatement::Step::Done:
                pgDone_ = true;
                return SQLITE_DONE;
            case PgStatement::Step::Failed:
                break;
        }
        pgDone_ = true;
        fail();
        return SQLITE_ERROR;
    }
    if (!stmt_) {
        return SQLITE_MISUSE;
    }
    const int rc = sqlite3_step(stmt_);
    Database::EndBusyWait();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        fail();
    }
    return rc;
}

void Statement::finalize() {
    if (stmt_) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        Live().erase(this);
    }
    if (pg_) {
        pg_.reset();
        pgDone_ = false;
        Live().erase(this);
    }
}

int Statement::columnCount() const {
    if (pg_) {
        return pg_->columnCount();
    }
    return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

QString Statement::columnName(int column) const {
    if (pg_) {
        return pg_->columnName(column);
    }
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

QVariant Statement::value(int column) const {
    if (pg_) {
        return pg_->value(column);
    }
    if (!stmt_) {
        return {};
    }
    switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(stmt_, column));
        case SQLITE_FLOAT:
            return sqlite3_column_double(stmt_, column);
        case SQLITE_TEXT:
            return text(column);
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt_, column)),
                              sqlite3_column_bytes(stmt_, column));
        default:
            return {};
    }
}

QString Statement::text(int column) const {
    if (pg_) {
        return pg_->text(column);
    }
    if (!stmt_) {
        return {};
    }
    const int type = sqlite3_column_type(stmt_, column);
    if (type == SQLITE_TEXT) {
        const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return QString::fromUtf8(utf8, sqlite3_column_bytes(stmt_, column));
    }
    return type == SQLITE_NULL ? QString() : value(column).toString();
}

void Statement::textInto(int column, QString& into) const {
    if (pg_ || !stmt_ || sqlite3_column_type(stmt_, column) != SQLITE_TEXT) {
        into = text(column);
        return;
    }
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int bytes = sqlite3_column_bytes(stmt_, column);
    if (bytes == 0) {
        into = QString::fromUtf8(utf8, 0);
        return;
    }
    if (!into.isDetached()) {
        into = QString();
    }
    // Decoded as fromUtf8 does: a leading byte-order mark is kept, bad bytes become U+FFFD.
    thread_local QStringDecoder decoder(
        QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    // UTF-16 never needs more units than the UTF-8 text has bytes.
    into.resize(bytes);
    const QChar* end = decoder.appendToBuffer(into.data(), QByteArrayView(utf8, bytes));
    into.resize(end - into.constData());
}

QByteArray Statement::utf8(int column) const {
    if (pg_) {
        return pg_->utf8(column);
    }
    if (!stmt_) {
        return {};
    }
    const int type = sqlite3_column_type(stmt_, column);
    if (type == SQLITE_TEXT) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return QByteArray::fromRawData(text, sqlite3_column_bytes(stmt_, column));
    }
    return type == SQLITE_NULL ? QByteArray() : value(column).toString().toUtf8();
}

qint64 Statement::int64(int column) const {
    if (pg_) {
        return pg_->int64(column);
    }
    return stmt_ ? sqlite3_column_int64(stmt_, column) : 0;
}

bool Statement::number(int column, double* value) const {
    if (pg_) {
        return pg_->number(column, value);
    }
    if (!stmt_) {
        return false;
    }
    const int type = sqlite3_column_type(stmt_, column);
    if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) {
        return false;
    }
    *value = sqlite3_column_double(stmt_, column);
    return true;
}

int Statement::changes() {
    if (Database::Server()) {
        return int(g_pgChanges);
    }
    sqlite3* db = Database::Handle();
    return db ? sqlite3_changes(db) : 0;
}

qint64 Statement::serverCommands() {
    return g_pgCommands;
}

qint64 Statement::lastInsertRowid() {
    if (Database::Server()) {
        return g_pgLastRowid;
    }
    sqlite3* db = Database::Handle();
    return db ? sqlite3_last_insert_rowid(db) : 0;
}

bool Statement::exec(const QString& text, QString* error) {
    Statement statement;
    if (!statement.prepare(text)) {
        if (error) {
            *error = statement.error();
        }
        return false;
    }
    const int rc = statement.step();
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        if (error) {
            *error = statement.error();
        }
        return false;
    }
    return true;
}

void Statement::finalizeAll() {
    const auto live = Live();
    for (Statement* statement : live) {
        statement->finalize();
    }
}
