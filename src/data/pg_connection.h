#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <utility>

#include "data/db_result.h"

struct pg_conn;
struct pg_result;

// Why the server or the client library refused a statement or a connection.
struct PgError {
    // The server's own reason ("relation \"kh_table\" does not exist"), or the library's when
    // the server could not be reached. Empty when nothing failed.
    QString reason;
    // The five-character SQLSTATE the server gave ("23505" for a duplicate key); empty when the
    // failure did not come from the server.
    QByteArray sqlState;
    // The connection is gone (server stopped, socket closed); no statement can run on it.
    bool connectionLost = false;
};

// Why a connection could not be made, from the server's SQLSTATE or the library's status.
enum class PgConnectFailure {
    None,
    BadAddress,      // the URI cannot be parsed
    NotRunning,      // nothing answers at the address: no server, wrong host or port, no network
    Timeout,         // no answer within the connection's timeout
    PasswordNeeded,  // the server asks for a password and none was given
    WrongPassword,   // 28P01
    NoDatabase,      // 3D000
    NoUser,          // 28000, the role does not exist
    AccessRules,     // 28000, refused by pg_hba.conf
    NotReady,        // 57P03, starting up or shutting down
    TooMany,         // 53300
    Other
};

// One row of a result: the values as the server sent them in text form.
class PgRow {
public:
    PgRow() = default;
    PgRow(const pg_result* result, int row) : result_(result), row_(row) {}

    int columns() const;
    bool isNull(int column) const;
    // The value's bytes, valid as long as the row is; empty for NULL.
    QByteArrayView view(int column) const;
    // The value as text; a null QString for NULL.
    QString text(int column) const;
    // The column's name and its type as the server's type id (the oid, e.g. 25 for text).
    QString name(int column) const;
    unsigned type(int column) const;

private:
    const pg_result* result_ = nullptr;
    int row_ = 0;
};

// Every row of one statement, or why it failed.
class PgResult {
public:
    PgResult() = default;
    PgResult(pg_result* result, PgError error);

    bool ok() const { return error_.reason.isEmpty(); }
    const QString& error() const { return error_.reason; }
    const PgError& failure() const { return error_; }

    int rows() const;
    int columns() const;
    PgRow row(int index) const { return PgRow(result_.get(), index); }
    // Rows inserted, updated or deleted by the statement.
    qint64 affectedRows() const;

private:
    struct Clear {
        void operator()(pg_result* result) const;
    };
    std::unique_ptr<pg_result, Clear> result_;
    PgError error_;
};

class PgConnection;

// The rows of one statement, read one at a time as the server sends them, so a long list never
// sits whole in memory. Dropping it before the end cancels the rest on the server.
//
//     PgQuery query = connection.query("select id from big where day >= $1", {from});
//     while (query.next()) { use(query.row()); }
//     if (!query.ok()) { show(query.error()); }
class PgQuery {
public:
    PgQuery() = default;
    ~PgQuery();
    PgQuery(PgQuery&& other) noexcept;
    PgQuery& operator=(PgQuery&& other) noexcept;
    PgQuery(const PgQuery&) = delete;
    PgQuery& operator=(const PgQuery&) = delete;

    // Moves to the next row; false at the end of the rows or on failure (see ok()).
    bool next();
    // The current row, valid until the next call of next().
    PgRow row() const { return PgRow(current_, 0); }
    // The current row, to keep beyond the next call of next().
    PgResult takeRow();
    // Whether rows may still come: the statement has not ended on the server.
    bool active() const { return connection_ != nullptr; }
    // After the end: the statement's closing result, which names the columns of a statement
    // that sent no rows and counts the rows a command changed.
    const PgResult& end() const { return end_; }

    bool ok() const { return error_.reason.isEmpty(); }
    const QString& error() const { return error_.reason; }
    const PgError& failure() const { return error_; }

private:
    friend class PgConnection;
    PgQuery(PgConnection* connection, PgError error);
    void finish(bool cancel);
    void clearCurrent();

    PgConnection* connection_ = nullptr;
    pg_result* current_ = nullptr;
    PgResult end_;
    PgError error_;
};

// A connection to a PostgreSQL server, opened from a libpq connection URI
// ("postgresql:///shop?host=/run/postgresql"). Statements use the extended protocol: values are
// always sent apart from the statement text, as $1, $2 ... in the statement.
//
// Values are sent as the SQLite path binds them: a null QString as the empty text, an invalid
// QVariant as NULL, a date as yyyy-MM-dd, a bool as 1 or 0, a QByteArray as binary.
//
// One statement at a time: while a PgQuery is still open, other statements are refused. The
// connection must outlive the queries it hands out.
class PgConnection {
public:
    explicit PgConnection(const QString& uri);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // The connection URI it was opened with (it may hold a password: never show it).
    const QString& uri() const { return uri_; }
    // Whether the connection opened; error() says why not.
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    // Why the last connection attempt failed, and the server's or the library's own text.
    PgConnectFailure failure() const { return failure_; }
    const QString& failureText() const { return failureText_; }
    // Where the connection goes, as the client library resolved it: user@host:port/database,
    // the host being the socket's folder for a local server. Never a password, and nothing the
    // server would have to let this user read.
    QString where() const;
    // Whether the server is still there as far as the last statement could tell.
    bool connected() const;
    // Connects again with the same parameters after the connection was lost; whether it worked
    // (error() says why not). What the old connection had prepared is gone.
    bool reconnect();

    PgResult exec(const QString& statement, const QVariantList& params = {});
    PgQuery query(const QString& statement, const QVariantList& params = {});

    // The socket the server's messages arrive on (for a notifier), and this connection's
    // server process, which other connections' notifications name as their sender.
    int socket() const;
    int backendPid() const;
    // Notifications (NOTIFY) that have arrived since the last call, as (sender, payload), read
    // without waiting.
    QList<std::pair<int, QString>> takeNotifications();

    // Runs `copyStatement` ("copy t (a, b) from stdin") and sends the data `produce` hands out,
    // chunk by chunk in the copy text format, until it returns false. Nothing is kept unless
    // every chunk arrived and the server accepted them all.
    DbStatus copyIn(const QString& copyStatement, const std::function<bool(QByteArray&)>& produce);

    // A statement parsed once on the server, then run by name as often as needed.
    DbStatus prepare(const QByteArray& name, const QString& statement);
    PgResult execPrepared(const QByteArray& name, const QVariantList& params = {});
    PgQuery queryPrepared(const QByteArray& name, const QVariantList& params = {});

private:
    friend class PgQuery;
    struct Call;
    PgError refusal() const;
    PgError send(const Call& call);
    PgResult collect();
    PgResult run(const Call& call);
    PgQuery stream(const Call& call);
    PgError lastError(const pg_result* result);
    bool finishConnecting(bool reset);

    pg_conn* conn_ = nullptr;
    QString uri_;
    QString error_;
    PgConnectFailure failure_ = PgConnectFailure::None;
    QString failureText_;
    bool streaming_ = false;
};
