#include "data/pg_connection.h"

#include <libpq-fe.h>

#include <QDate>
#include <QDeadlineTimer>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <utility>
#include <vector>

#include "data/engine_error.h"
#include "platform/socket_wait.h"

namespace {

// Application name other stations and the restore check see in pg_stat_activity, unless the
// connection URI names one.
constexpr char kApplicationName[] = "ruvaso";
constexpr char kConnectTimeoutSeconds[] = "10";
constexpr int kConnectTimeoutMs = 10000;

// Values in the text form the server parses, bound the way the SQLite path binds them.
class Params {
public:
    explicit Params(const QVariantList& list) {
        bytes_.reserve(list.size());
        for (const QVariant& value : list) {
            add(value);
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            values_.push_back(nulls_[i]             ? nullptr
                              : bytes_[i].isEmpty() ? ""
                                                    : bytes_[i].constData());
            lengths_.push_back(int(bytes_[i].size()));
        }
    }

    int count() const { return int(values_.size()); }
    const char* const* values() const { return values_.data(); }
    const int* lengths() const { return lengths_.data(); }
    const int* formats() const { return formats_.data(); }

private:
    void add(const QVariant& value) {
        QByteArray bytes;
        bool null = false;
        int format = 0;
        if (!value.isValid() || value.isNull()) {
            // A null text is the empty text: an empty box stores "", never NULL.
            null = value.typeId() != QMetaType::QString;
        } else {
            switch (value.typeId()) {
                case QMetaType::Bool:
                    bytes = value.toBool() ? "1" : "0";
                    break;
                case QMetaType::Int:
                case QMetaType::Long:
                case QMetaType::LongLong:
                case QMetaType::Short:
                    bytes = QByteArray::number(value.toLongLong());
                    break;
                case QMetaType::UInt:
                case QMetaType::ULong:
                case QMetaType::ULongLong:
                case QMetaType::UShort:
                    bytes = QByteArray::number(value.toULongLong());
                    break;
                case QMetaType::Double:
                case QMetaType::Float:
                    // The shortest text that reads back as the same double.
                    bytes =
                        QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
                    break;
                case QMetaType::QByteArray:
                    bytes = value.toByteArray();
                    format = 1;
                    break;
                case QMetaType::QDate:
                case QMetaType::QDateTime:
                    bytes = value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
                    break;
                default:
                    bytes = value.toString().toUtf8();
                    break;
            }
        }
        bytes_.push_back(std::move(bytes));
        nulls_.push_back(null);
        formats_.push_back(format);
    }

    std::vector<QByteArray> bytes_;
    std::vector<bool> nulls_;
    std::vector<const char*> values_;
    std::vector<int> lengths_;
    std::vector<int> formats_;
};

QString Sentence(const char* text) {
    // The library's own messages span several indented lines.
    return QString::fromUtf8(text).simplified();
}

bool IsFailure(ExecStatusType status) {
    return status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE ||
           status == PGRES_NONFATAL_ERROR;
}

bool IsCopy(ExecStatusType status) {
    return status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH;
}

// The next result of the statement under way. A copy would wait for data this class never sends
// or reads, so it is ended here; the caller reports it as refused.
pg_result* NextResult(pg_conn* conn) {
    pg_result* result = PQgetResult(conn);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_EMPTY_QUERY;
    if (status == PGRES_COPY_IN) {
        PQputCopyEnd(conn, "copy is not supported here");
    } else if (status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH) {
        char* buffer = nullptr;
        while (PQgetCopyData(conn, &buffer, 0) > 0) {
            PQfreemem(buffer);
        }
    }
    return result;
}

// Reads what the server has already sent of a statement that is being closed, up to a few rows.
// True when that reaches its end: most statements closed early (a lookup with `limit 1`) have
// sent everything by the time their row is read, and need no cancel.
bool EndedWithoutWaiting(pg_conn* conn) {
    constexpr int kRowsWorthReading = 64;
    for (int read = 0; read <= kRowsWorthReading; ++read) {
        if (PQconsumeInput(conn) == 0 || PQisBusy(conn) != 0) {
            return false;
        }
        pg_result* result = NextResult(conn);
        if (!result) {
            return true;
        }
        PQclear(result);
    }
    return false;
}

QString CopyRefused() {
    return QStringLiteral("不支持复制语句");
}

void IgnoreNotice(void*, const char*) {}

// Whether the client library would read `uri` as a server's address. Anything else it takes for
// a bare database name on the local socket, which is never what was meant.
bool ParsesAsAddress(const QString& uri, QString* reason) {
    const QString trimmed = uri.trimmed();
    if (!trimmed.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) &&
        !trimmed.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive) &&
        !trimmed.contains(QLatin1Char('='))) {
        *reason = QStringLiteral("地址应以 postgresql:// 开头");
        return false;
    }
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &error);
    if (!options) {
        *reason = error ? Sentence(error) : QStringLiteral("内存不足");
        PQfreemem(error);
        return false;
    }
    PQconninfoFree(options);
    return true;
}

// The socket of a connection under way is ready for what the library waits for; false when
// `deadline` passed first.
bool WaitForSocket(int socket, bool forWriting, const QDeadlineTimer& deadline) {
    if (socket < 0) {
        return true;
    }
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            return false;
        }
        if (platform::WaitForSocket(socket, forWriting, left)) {
            return true;
        }
    }
}

// The SQLSTATE and the server's own sentence in a verbose connection failure: "...failed:
// FATAL:  28P01: password authentication failed for user ...".
std::pair<QByteArray, QString> ServerReason(const QString& message) {
    static const QRegularExpression coded(QStringLiteral(R"(\b([0-9A-Z]{5}):)"));
    // The severity ("FATAL") has the code's shape too, but never a digit.
    for (QRegularExpressionMatchIterator it = coded.globalMatch(message); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString code = match.captured(1);
        if (std::any_of(code.begin(), code.end(), [](QChar c) { return c.isDigit(); })) {
            return {code.toLatin1(),
                    message.mid(match.capturedEnd()).section(QLatin1Char('\n'), 0, 0).trimmed()};
        }
    }
    return {};
}

// What the library said, without the location line verbose messages add.
QString LibraryReason(const char* message) {
    QStringList lines = QString::fromUtf8(message).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("LOCATION:")); });
    return lines.join(QLatin1Char(' ')).simplified();
}

}  // namespace

int PgRow::columns() const {
    return result_ ? PQnfields(result_) : 0;
}

bool PgRow::isNull(int column) const {
    return !result_ || PQgetisnull(result_, row_, column) != 0;
}

QByteArrayView PgRow::view(int column) const {
    if (isNull(column)) {
        return {};
    }
    return QByteArrayView(PQgetvalue(result_, row_, column), PQgetlength(result_, row_, column));
}

QString PgRow::text(int column) const {
    if (isNull(column)) {
        return QString();
    }
    const QByteArrayView bytes = view(column);
    return QString::fromUtf8(bytes.data(), bytes.size());
}

QString PgRow::name(int column) const {
    return result_ ? QString::fromUtf8(PQfname(result_, column)) : QString();
}

unsigned PgRow::type(int column) const {
    return result_ ? unsigned(PQftype(result_, column)) : 0;
}

void PgResult::Clear::operator()(pg_result* result) const {
    PQclear(result);
}

PgResult::PgResult(pg_result* result, PgError error) : result_(result), error_(std::move(error)) {}

int PgResult::rows() const {
    return result_ ? PQntuples(result_.get()) : 0;
}

int PgResult::columns() const {
    return result_ ? PQnfields(result_.get()) : 0;
}

qint64 PgResult::affectedRows() const {
    return result_ ? QByteArray(PQcmdTuples(result_.get())).toLongLong() : 0;
}

PgQuery::PgQuery(PgConnection* connection, PgError error)
    : connection_(connection), error_(std::move(error)) {
    if (connection_) {
        connection_->streaming_ = true;
    }
}

PgQuery::~PgQuery() {
    clearCurrent();
    if (connection_) {
        finish(true);
    }
}

PgQuery::PgQuery(PgQuery&& other) noexcept
    : connection_(std::exchange(other.connection_, nullptr)),
      current_(std::exchange(other.current_, nullptr)),
      end_(std::move(other.end_)),
      error_(std::move(other.error_)) {}

PgQuery& PgQuery::operator=(PgQuery&& other) noexcept {
    if (this != &other) {
        clearCurrent();
        if (connection_) {
            finish(true);
        }
        connection_ = std::exchange(other.connection_, nullptr);
        current_ = std::exchange(other.current_, nullptr);
        end_ = std::move(other.end_);
        error_ = std::move(other.error_);
    }
    return *this;
}

void PgQuery::clearCurrent() {
    PQclear(current_);
    current_ = nullptr;
}

bool PgQuery::next() {
    clearCurrent();
    if (!connection_) {
        return false;
    }
    pg_result* result = NextResult(connection_->conn_);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_SINGLE_TUPLE) {
        current_ = result;
        return true;
    }
    if (IsFailure(status)) {
        error_ = connection_->lastError(result);
    } else if (IsCopy(status)) {
        error_ = PgError{CopyRefused(), {}, !connection_->connected()};
    }
    if (error_.reason.isEmpty() && result) {
        end_ = PgResult(result, {});
    } else {
        PQclear(result);
    }
    finish(false);
    return false;
}

PgResult PgQuery::takeRow() {
    return PgResult(std::exchange(current_, nullptr), {});
}

void PgQuery::finish(bool cancel) {
    pg_conn* conn = connection_->conn_;
    // A cancel costs the server a connection of its own, so it is sent only for rows still to
    // come; without it the server would send every one of them, only to be thrown away.
    if (cancel && PQstatus(conn) == CONNECTION_OK && !EndedWithoutWaiting(conn)) {
        if (PGcancel* handle = PQgetCancel(conn)) {
            char reason[256];
            PQcancel(handle, reason, int(sizeof reason));
            PQfreeCancel(handle);
        }
    }
    while (pg_result* rest = NextResult(conn)) {
        PQclear(rest);
    }
    connection_->streaming_ = false;
    connection_ = nullptr;
}

struct PgConnection::Call {
    // The statement's text, or the name of a prepared statement.
    const QByteArray& text;
    bool prepared = false;
    const QVariantList& params;
    bool rowByRow = false;
};

PgConnection::PgConnection(const QString& uri) : uri_(uri) {
    const QByteArray target = uri.toUtf8();
    // Defaults come before the URI, which may override them; the encoding and the schema come
    // after, since every text this program sends and reads is UTF-8 and its tables live in
    // public (a schema named after the user would otherwise be searched first).
    const char* const keys[] = {"connect_timeout", "fallback_application_name",
                                "dbname",          "client_encoding",
                                "options",         nullptr};
    const char* const values[] = {kConnectTimeoutSeconds, kApplicationName,
                                  target.constData(),     "UTF8",
                                  "-csearch_path=public", nullptr};
    if (QString reason; !ParsesAsAddress(uri, &reason)) {
        failure_ = PgConnectFailure::BadAddress;
        failureText_ = reason;
        error_ = DescribeConnectFailure(failure_, failureText_);
        return;
    }
    conn_ = PQconnectStartParams(keys, values, 1);
    if (!conn_) {
        error_ = QStringLiteral("内存不足");
        return;
    }
    if (!finishConnecting(false)) {
        return;
    }
    // Notices (a table that was not there to drop, a server going down) are not errors and
    // must not end up on the terminal.
    PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
}

PgConnection::~PgConnection() {
    PQfinish(conn_);
}

QString PgConnection::where() const {
    if (!conn_) {
        return {};
    }
    return QStringLiteral("%1@%2:%3/%4")
        .arg(QString::fromUtf8(PQuser(conn_)), QString::fromUtf8(PQhost(conn_)),
             QString::fromUtf8(PQport(conn_)), QString::fromUtf8(PQdb(conn_)));
}

bool PgConnection::connected() const {
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

bool PgConnection::reconnect() {
    if (!conn_ || streaming_) {
        return false;
    }
    if (!PQresetStart(conn_)) {
        failure_ = PgConnectFailure::NotRunning;
        failureText_ = LibraryReason(PQerrorMessage(conn_));
        error_ = DescribeConnectFailure(failure_, failureText_);
        return false;
    }
    return finishConnecting(true);
}

bool PgConnection::finishConnecting(bool reset) {
    // Verbose messages carry the server's SQLSTATE, which says why it refused in any language.
    PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
    const QDeadlineTimer deadline(kConnectTimeoutMs);
    // Refused before any attempt: the address's values themselves are wrong ("port=abc"),
    // unless it was the host's name that could not be looked up.
    const QByteArray early = PQerrorMessage(conn_);
    const bool refusedAtOnce = PQstatus(conn_) == CONNECTION_BAD &&
                               !early.contains("connection to server") &&
                               !early.contains("host name");
    PostgresPollingStatusType polled =
        PQstatus(conn_) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    bool timedOut = false;
    while (polled != PGRES_POLLING_OK && polled != PGRES_POLLING_FAILED) {
        if (!WaitForSocket(PQsocket(conn_), polled == PGRES_POLLING_WRITING, deadline)) {
            timedOut = true;
            break;
        }
        polled = reset ? PQresetPoll(conn_) : PQconnectPoll(conn_);
    }
    PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);
    if (!timedOut && polled == PGRES_POLLING_OK && PQstatus(conn_) == CONNECTION_OK) {
        error_.clear();
        failure_ = PgConnectFailure::None;
        failureText_.clear();
        return true;
    }
    const QString message = QString::fromUtf8(PQerrorMessage(conn_));
    const auto [state, serverText] = ServerReason(message);
    failureText_ = serverText.isEmpty() ? LibraryReason(PQerrorMessage(conn_)) : serverText;
    if (refusedAtOnce && !reset) {
        failure_ = PgConnectFailure::BadAddress;
    } else if (timedOut) {
        failure_ = PgConnectFailure::Timeout;
        failureText_ = QStringLiteral("%1 秒内没有应答").arg(kConnectTimeoutMs / 1000);
    } else if (state == "28P01") {
        failure_ = PgConnectFailure::WrongPassword;
    } else if (state == "3D000") {
        failure_ = PgConnectFailure::NoDatabase;
    } else if (state == "28000") {
        // The file's name is the same in every language the server speaks.
        failure_ = serverText.contains(QLatin1String("pg_hba")) ? PgConnectFailure::AccessRules
                                                                : PgConnectFailure::NoUser;
    } else if (state == "57P03") {
        failure_ = PgConnectFailure::NotReady;
    } else if (state == "53300") {
        failure_ = PgConnectFailure::TooMany;
    } else if (!state.isEmpty()) {
        failure_ = PgConnectFailure::Other;
    } else if (PQconnectionNeedsPassword(conn_)) {
        failure_ = PgConnectFailure::PasswordNeeded;
    } else {
        failure_ = PgConnectFailure::NotRunning;
    }
    error_ = DescribeConnectFailure(failure_, failureText_);
    return false;
}

PgError PgConnection::lastError(const pg_result* result) {
    PgError error;
    if (const char* primary =
            result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr) {
        error.reason = Sentence(primary);
        if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
            error.reason += QStringLiteral(": ") + Sentence(detail);
        }
        error.sqlState = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    } else {
        error.reason = Sentence(conn_ ? PQerrorMessage(conn_) : "");
    }
    // The library reports a closed socket before it marks the connection as gone; one more
    // read settles it.
    if (connected()) {
        PQconsumeInput(conn_);
    }
    error.connectionLost = !connected();
    if (error.reason.isEmpty()) {
        error.reason =
            error.connectionLost ? QStringLiteral("数据库连接已断开") : QStringLiteral("未知错误");
    }
    return error;
}

PgError PgConnection::refusal() const {
    if (!ok()) {
        return PgError{error_, {}, true};
    }
    if (streaming_) {
        return PgError{QStringLiteral("上一条语句的行还没有读完"), {}, false};
    }
    return {};
}

PgError PgConnection::send(const Call& call) {
    if (PgError refused = refusal(); !refused.reason.isEmpty()) {
        return refused;
    }
    const Params params(call.params);
    const int sent =
        call.prepared ? PQsendQueryPrepared(conn_, call.text.constData(), params.count(),
                                            params.values(), params.lengths(), params.formats(), 0)
                      : PQsendQueryParams(conn_, call.text.constData(), params.count(), nullptr,
                                          params.values(), params.lengths(), params.formats(), 0);
    if (!sent) {
        return lastError(nullptr);
    }
    if (call.rowByRow && !PQsetSingleRowMode(conn_)) {
        collect();
        return PgError{QStringLiteral("无法逐行读取结果"), {}, !connected()};
    }
    return {};
}

PgResult PgConnection::collect() {
    pg_result* kept = nullptr;
    PgError error;
    while (pg_result* result = NextResult(conn_)) {
        const ExecStatusType status = PQresultStatus(result);
        if (error.reason.isEmpty() && IsCopy(status)) {
            error.reason = CopyRefused();
        } else if (error.reason.isEmpty() && IsFailure(status)) {
            error = lastError(result);
        }
        PQclear(kept);
        kept = result;
    }
    if (!kept && error.reason.isEmpty()) {
        error = lastError(nullptr);
    }
    if (!error.reason.isEmpty()) {
        error.connectionLost = !connected();
        PQclear(kept);
        kept = nullptr;
    }
    return PgResult(kept, std::move(error));
}

PgResult PgConnection::run(const Call& call) {
    PgError error = send(call);
    return error.reason.isEmpty() ? collect() : PgResult(nullptr, std::move(error));
}

PgQuery PgConnection::stream(const Call& call) {
    PgError error = send(call);
    return error.reason.isEmpty() ? PgQuery(this, {}) : PgQuery(nullptr, std::move(error));
}

PgResult PgConnection::exec(const QString& statement, const QVariantList& params) {
    return run(Call{statement.toUtf8(), false, params});
}

PgQuery PgConnection::query(const QString& statement, const QVariantList& params) {
    return stream(Call{statement.toUtf8(), false, params, true});
}

DbStatus PgConnection::prepare(const QByteArray& name, const QString& statement) {
    if (PgError refused = refusal(); !refused.reason.isEmpty()) {
        return DbStatus::failure(refused.reason);
    }
    if (!PQsendPrepare(conn_, name.constData(), statement.toUtf8().constData(), 0, nullptr)) {
        return DbStatus::failure(lastError(nullptr).reason);
    }
    const PgResult result = collect();
    return result.ok() ? DbOk() : DbStatus::failure(result.error());
}

PgResult PgConnection::execPrepared(const QByteArray& name, const QVariantList& params) {
    return run(Call{name, true, params});
}

PgQuery PgConnection::queryPrepared(const QByteArray& name, const QVariantList& params) {
    return stream(Call{name, true, params, true});
}

DbStatus PgConnection::copyIn(const QString& copyStatement,
                              const std::function<bool(QByteArray&)>& produce) {
    if (PgError refused = refusal(); !refused.reason.isEmpty()) {
        return DbStatus::failure(refused.reason);
    }
    if (!PQsendQuery(conn_, copyStatement.toUtf8().constData())) {
        return DbStatus::failure(lastError(nullptr).reason);
    }
    pg_result* started = PQgetResult(conn_);
    const ExecStatusType status = started ? PQresultStatus(started) : PGRES_FATAL_ERROR;
    if (status != PGRES_COPY_IN) {
        const PgError error = lastError(started);
        PQclear(started);
        collect();
        return DbStatus::failure(error.reason.isEmpty() ? CopyRefused() : error.reason);
    }
    PQclear(started);
    QByteArray chunk;
    bool sent = true;
    while (sent && produce(chunk)) {
        sent = chunk.isEmpty() || PQputCopyData(conn_, chunk.constData(), int(chunk.size())) == 1;
        chunk.clear();
    }
    // Ending with a reason makes the server throw away what it received.
    if (PQputCopyEnd(conn_, sent ? nullptr : "the copy was not complete") != 1) {
        sent = false;
    }
    const PgResult result = collect();
    if (!result.ok()) {
        return DbStatus::failure(result.error());
    }
    return sent ? DbOk() : DbStatus::failure(lastError(nullptr).reason);
}

int PgConnection::socket() const {
    return conn_ ? PQsocket(conn_) : -1;
}

int PgConnection::backendPid() const {
    return conn_ ? PQbackendPID(conn_) : 0;
}

QList<std::pair<int, QString>> PgConnection::takeNotifications() {
    QList<std::pair<int, QString>> notices;
    if (!connected()) {
        return notices;
    }
    PQconsumeInput(conn_);
    while (PGnotify* notice = PQnotifies(conn_)) {
        notices.append({notice->be_pid, QString::fromUtf8(notice->extra)});
        PQfreemem(notice);
    }
    return notices;
}
