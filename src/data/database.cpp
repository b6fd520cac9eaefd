#include "data/database.h"

#include <sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "data/data_folder.h"
#include "data/engine_error.h"
#include "data/pg_connection.h"
#include "data/pg_schema.h"
#include "data/schema_migration.h"
#include "data/seed.h"
#include "data/server_notices.h"
#include "data/statement.h"
#include "platform/file_io.h"
#include "platform/user_folders.h"

namespace {

const QString kConnection = QStringLiteral("ruvaso");
const QString kEngineCheck = QStringLiteral("ruvaso_engine_check");
QString g_dataDir;

const QStringList& RequiredTables() {
    static const QStringList tables = {
        QStringLiteral("kh_table"),      QStringLiteral("kh_tele_table"),
        QStringLiteral("kh_wx_table"),   QStringLiteral("kh_wx_mx_table"),
        QStringLiteral("xm_table"),      QStringLiteral("wxjs_table"),
        QStringLiteral("cp_table"),      QStringLiteral("user_table"),
        QStringLiteral("tele_nr"),       QStringLiteral("tele_hy"),
        QStringLiteral("regedit_table"), QStringLiteral("meta")};
    return tables;
}

sqlite3* g_handle = nullptr;

sqlite3* DriverHandle(const QSqlDatabase& db) {
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3* const*>(v.constData());
}

// Why `db` cannot serve this program's own statements, or empty when it can.
QString EngineProblem(const QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("select sqlite_version()")) || !query.next()) {
        return query.lastError().text();
    }
    const QString driver = query.value(0).toString();
    const QString linked = QString::fromLatin1(sqlite3_libversion());
    if (driver != linked) {
        return QStringLiteral("数据库驱动使用 SQLite %1，程序使用 SQLite %2。").arg(driver, linked);
    }
    g_handle = DriverHandle(db);
    if (!g_handle) {
        return QStringLiteral("无法取得数据库驱动的连接。");
    }
    Statement statement;
    QString problem;
    if (!statement.prepare(QStringLiteral("select count(*) + ? from sqlite_master"), {42}) ||
        statement.step() != SQLITE_ROW || statement.int64(0) != 42) {
        problem = statement.error().isEmpty() ? QStringLiteral("测试语句的结果不对。")
                                              : statement.error();
    }
    statement.finalize();
    g_handle = nullptr;
    return problem;
}

// The data layer runs its own statements, with the SQLite library this program links, on the
// handle that Qt's driver opened. That is only sound while the driver uses that same library,
// so Open checks it on a scratch connection before any file is created or opened.
QString CheckEngine() {
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kEngineCheck);
        db.setDatabaseName(QStringLiteral(":memory:"));
        problem = db.open() ? EngineProblem(db) : db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(kEngineCheck);
    if (problem.isEmpty()) {
        return {};
    }
    return QStringLiteral(
               "程序安装有误，无法使用数据库驱动：\n%1\n"
               "为保护数据，程序没有打开数据库文件。请重新安装本程序。")
        .arg(problem);
}

// str(date) gives the stored text of a date, so date ranges compare as text.
void StrFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const unsigned char* text = sqlite3_value_text(argv[0]);
    sqlite3_result_text(context, reinterpret_cast<const char*>(text), sqlite3_value_bytes(argv[0]),
                        SQLITE_TRANSIENT);
}

// Runs one statement with its values bound, on the raw handle.
bool Exec(sqlite3* db, const QString& sql, const QStringList& params) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        return false;
    }
    for (int i = 0; i < params.size(); ++i) {
        const QByteArray text = params[i].toUtf8();
        sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

// The schema and the seed in one transaction: a new file holds both or is thrown away.
bool WriteSchemaAndSeed(sqlite3* db, QString* error) {
    const QString schema = SchemaSql();
    const QList<SeedStatement> seed = SeedStatements();
    if (schema.isEmpty() || seed.isEmpty()) {
        *error = QStringLiteral("内部错误：无法读取数据库结构或生成密码散列");
        return false;
    }
    bool ok = sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, schema.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const SeedStatement& statement : seed) {
        ok = ok && Exec(db, statement.sql, statement.params);
    }
    ok = ok && sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        *error = DescribeEngineError(db);
        sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
    }
    return ok;
}

// Runs `sql` on the raw handle and collects the first column of its rows; the engine's code.
int Query(sqlite3* db, const char* sql, QStringList* rows = nullptr) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (rows) {
            rows->append(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                  sqlite3_column_bytes(stmt, 0)));
        }
        rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Builds the new database beside the final name and moves it into place only when complete,
// so a crash during the first start never leaves a half-made file behind.
bool CreateDatabase(const QString& path, QString* error) {
    const QString temp = path + QStringLiteral(".new");
    QFile::remove(temp);
    QFile::remove(temp + QStringLiteral("-journal"));
    {
        QFile file(temp);
        if (!file.open(QIODevice::WriteOnly) ||
            !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            *error = DescribeSystemError(errno);
            return false;
        }
    }
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(temp).constData(), &db, SQLITE_OPEN_READWRITE,
                              nullptr) == SQLITE_OK;
    if (db) {
        sqlite3_extended_result_codes(db, 1);
    }
    if (!ok) {
        *error = DescribeEngineError(db);
    } else {
        ok = Query(db, "pragma synchronous = full") == SQLITE_OK && WriteSchemaAndSeed(db, error);
    }
    sqlite3_close_v2(db);
    if (ok && !platform::ReplaceFile(temp, path)) {
        *error = DescribeSystemError(errno);
        ok = false;
    }
    if (!ok) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
    }
    return ok;
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString CannotOpen(const QString& path, const QString& reason) {
    return QStringLiteral("无法打开数据库“%1”：%2").arg(Native(path), reason);
}

QString NotOursText(const QString& path) {
    return QStringLiteral("文件“%1”不是本系统的数据库，或者已经损坏。\n程序不会修改这个文件。")
        .arg(Native(path));
}

// A file without the engine's header is refused before the engine sees it: the engine would
// fold or remove a log lying beside it, and that log may hold the last of the shop's work.
bool HasDatabaseHeader(const QString& path) {
    static constexpr char kMagic[] = "SQLite format 3";
    QFile file(path);
    return file.open(QIODevice::ReadOnly) &&
           file.read(sizeof kMagic) == QByteArray(kMagic, sizeof kMagic);
}

// Why the file cannot be used, or empty. Only a file the engine reads as damaged, or one that
// is not ours, is called so; a full disk or a permission problem is told as what it is.
QString CheckDatabase(sqlite3* db, const QString& path, int* version, bool* damaged) {
    const QString notOurs = NotOursText(path);
    auto failed = [&](int rc) {
        if (IsDamageCode(rc)) {
            *damaged = true;
            return notOurs + QStringLiteral("\n（%1）").arg(DescribeEngineError(db));
        }
        return CannotOpen(path, DescribeEngineError(db));
    };
    QStringList id;
    if (const int rc = Query(db, "pragma application_id", &id); rc != SQLITE_OK) {
        return failed(rc);
    }
    if (id.value(0).toInt() != Database::kApplicationId) {
        // An empty file reads as an empty database: it is what is left of ours after a crash of
        // the disk, not somebody else's file.
        *damaged = QFileInfo(path).size() == 0;
        return notOurs;
    }
    QStringList present;
    if (const int rc = Query(db, "select name from sqlite_master where type = 'table'", &present);
        rc != SQLITE_OK) {
        return failed(rc);
    }
    for (const QString& table : RequiredTables()) {
        if (!present.contains(table)) {
            return notOurs + QStringLiteral("\n（缺少数据表 %1）").arg(table);
        }
    }
    QStringList versions;
    if (const int rc = Query(db, "select version from meta", &versions); rc != SQLITE_OK) {
        return failed(rc);
    }
    if (versions.isEmpty()) {
        return notOurs + QStringLiteral("\n（缺少版本号）");
    }
    *version = versions.first().toInt();
    if (*version > Database::kSchemaVersion) {
        return QStringLiteral("数据库“%1”由更新版本的程序建立，请升级本程序后再打开。")
            .arg(Native(path));
    }
    return {};
}

// Brings a file of an older schema version to the newest. A file that cannot be written is
// refused rather than shown with statements it cannot answer.
QString Upgrade(sqlite3* db, const QString& path, int version, const QString& readOnlyReason) {
    if (version >= Database::kSchemaVersion) {
        return {};
    }
    if (!readOnlyReason.isEmpty()) {
        return QStringLiteral(
                   "数据库“%1”是旧版本程序的数据库，需要先升级才能打开，但是现在无法写入：%2\n"
                   "程序没有修改这个文件。")
            .arg(Native(path), readOnlyReason);
    }
    if (const QString reason = MigrateSchema(db, version); !reason.isEmpty()) {
        return QStringLiteral("数据库“%1”升级失败：%2\n程序没有修改这个文件。")
            .arg(Native(path), reason);
    }
    return {};
}

// Another program's wait for the write lock: pauses that grow from 1 ms to 100 ms, up to
// kBusyTimeoutMs in all, as the engine's own timeout does.
constexpr int kBusyTimeoutMs = 5000;
std::function<void(bool)> g_busyHook;
bool g_busyWaiting = false;

int BusyWait(void*, int count) {
    static constexpr int kDelays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    constexpr int kSteps = int(sizeof(kDelays) / sizeof(kDelays[0]));
    int waited = 0;
    for (int i = 0; i < count && waited < kBusyTimeoutMs; ++i) {
        waited += kDelays[std::min(i, kSteps - 1)];
    }
    if (waited >= kBusyTimeoutMs) {
        return 0;
    }
    if (count == 0 && g_busyHook && !g_busyWaiting) {
        g_busyWaiting = true;
        g_busyHook(true);
    }
    sqlite3_sleep(std::min(kDelays[std::min(count, kSteps - 1)], kBusyTimeoutMs - waited));
    return 1;
}

bool Configure(sqlite3* db, bool readOnly, QString* error) {
    if (!readOnly) {
        QStringList mode;
        if (Query(db, "pragma journal_mode = wal", &mode) != SQLITE_OK) {
            *error = DescribeEngineError(db);
            return false;
        }
        if (mode.value(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
            *error = QStringLiteral("无法启用预写日志");
            return false;
        }
    }
    if (Query(db, "pragma synchronous = full") != SQLITE_OK) {
        *error = DescribeEngineError(db);
        return false;
    }
    sqlite3_busy_handler(db, BusyWait, nullptr);
    if (sqlite3_create_function_v2(db, "str", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   StrFunction, nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = QStringLiteral("无法注册数据库函数");
        return false;
    }
    return true;
}

bool Writable(const QString& path, int* systemErrno) {
    if (::access(QFile::encodeName(path).constData(), W_OK) == 0) {
        return true;
    }
    *systemErrno = errno;
    return false;
}

std::unique_ptr<FolderLock> g_lock;
bool g_damageSeen = false;
std::function<void(const QString&)> g_damageHook;
std::unique_ptr<PgConnection> g_server;
QString g_serverLocation;
bool g_readOnly = false;
bool g_networkAllowed = false;
std::vector<std::pair<int, std::function<void()>>> g_readers;
int g_lastReader = 0;

// Takes the folder's lock unless this program holds it already; the message when it cannot.
QString LockFolder(const QString& dir, bool* inUse) {
    if (g_lock && g_lock->dir() == dir && g_lock->outcome() == FolderLock::Outcome::Locked) {
        return {};
    }
    g_lock.reset();
    auto lock = std::make_unique<FolderLock>(dir);
    switch (lock->outcome()) {
        case FolderLock::Outcome::Locked:
            g_lock = std::move(lock);
            return {};
        case FolderLock::Outcome::HeldByAnother:
            *inUse = true;
            return QStringLiteral("该数据文件夹已被另一个Ruvaso程序使用。");
        case FolderLock::Outcome::Failed:
            break;
    }
    return QStringLiteral("无法使用数据文件夹“%1”：%2").arg(Native(dir), lock->error());
}

QString NetworkFolderMessage(const QString& dir, const QString& kind) {
    return QStringLiteral(
               "数据文件夹“%1”位于网络文件系统（%2）上，程序没有打开它。\n"
               "数据库的预写日志需要同一台电脑上的共享内存：网络文件夹上的数据库文件在几台电脑同时"
               "使用时会损坏。几台电脑共用数据，请使用数据库服务器。\n"
               "如果确知这个文件夹只由本机使用，可以用 --allow-network-folder 选项启动程序。")
        .arg(Native(dir), kind);
}

// A shared-memory index left by another user, or with a mode this user cannot write, keeps the
// engine from opening the file. With the folder locked and no process using the file it is
// only a leftover: the engine rebuilds it from the log.
void RemoveStaleIndex(const QString& path) {
    const QString shm = path + QStringLiteral("-shm");
    int ignored = 0;
    if (QFileInfo::exists(shm) && !Writable(shm, &ignored) && OtherProcessesUsing(path).isEmpty()) {
        QFile::remove(shm);
    }
}

// A log that a read-only session left with the database file's read-only mode keeps
// every later session read-only, once the file is writable again. With the folder locked and no
// process using the file it is only a leftover: an empty one goes; one holding pages becomes the
// owner's to write again (when this user owns it), so nothing in it is lost.
void MendLeftoverLog(const QString& path) {
    int ignored = 0;
    if (!Writable(path, &ignored)) {
        return;
    }
    const QString log = path + QStringLiteral("-wal");
    if (!QFileInfo::exists(log) || Writable(log, &ignored) ||
        !OtherProcessesUsing(path).isEmpty()) {
        return;
    }
    if (QFileInfo(log).size() == 0) {
        QFile::remove(log);
    } else {
        QFile::setPermissions(log, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

// In a folder nobody can write, the engine cannot make the shared-memory index that reading
// a database with a write-ahead log needs. With no log to read, nothing can change the file,
// and it is read as it stands.
bool ReadsWithoutIndex(const QString& dir, const QString& path) {
    int ignored = 0;
    return !Writable(dir, &ignored) && !QFileInfo::exists(path + QStringLiteral("-shm")) &&
           QFileInfo(path + QStringLiteral("-wal")).size() == 0;
}

// Whether the database can only be read here, and why, as the shop should be told.
QString ReadOnlyReason(const QString& dir, const QString& path) {
    int systemErrno = 0;
    // The shared-memory index comes last: a leftover one is replaced once the folder is locked.
    for (const QString& file :
         {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        if (QFileInfo::exists(file) && !Writable(file, &systemErrno)) {
            return systemErrno == EROFS
                       ? DescribeSystemError(systemErrno)
                       : QStringLiteral("数据文件是只读的（%1）").arg(Native(file));
        }
    }
    if (!Writable(dir, &systemErrno)) {
        return systemErrno == EROFS ? DescribeSystemError(systemErrno)
                                    : QStringLiteral("数据文件夹是只读的（%1）").arg(Native(dir));
    }
    return {};
}

}  // namespace

QString Database::DefaultOperatorName() {
    return QStringLiteral("管理员");
}

QString Database::DefaultPassword() {
    return QStringLiteral("888888");
}

QString Database::DefaultDataDir() {
    return platform::DefaultDataFolder();
}

Database::OpenResult Database::Open(const QString& dataDir) {
    Close(true);
    g_damageSeen = false;
    OpenResult result;
    result.message = CheckEngine();
    if (!result.message.isEmpty()) {
        return result;
    }
    const QString dir = QDir(dataDir).absolutePath();
    if (!QDir().mkpath(dir)) {
        result.message = QStringLiteral("无法建立数据文件夹“%1”：%2")
                             .arg(Native(dir), DescribeSystemError(errno));
        return result;
    }
    if (const QString kind = NetworkFileSystem(dir); !kind.isEmpty() && !g_networkAllowed) {
        result.message = NetworkFolderMessage(dir, kind);
        return result;
    }
    const QString path = dir + QLatin1Char('/') + FileName();
    const bool exists = QFileInfo::exists(path);
    if (exists && !QFileInfo(path).isFile()) {
        result.message = QStringLiteral("“%1”不是文件。").arg(Native(path));
        return result;
    }
    if (exists && !QFileInfo(path).isReadable()) {
        result.message = CannotOpen(path, DescribeSystemError(EACCES));
        return result;
    }
    int ignored = 0;
    // A database that can only be read here is written by nobody, so it needs no lock. That
    // includes a writable file in a folder that cannot be written: the engine's log and index
    // could not be made there, so it is opened for viewing.
    if (!exists || (Writable(path, &ignored) && Writable(dir, &ignored))) {
        result.message = LockFolder(dir, &result.inUse);
        if (!result.message.isEmpty()) {
            return result;
        }
    }
    if (!exists) {
        QString error;
        if (!CreateDatabase(path, &error)) {
            result.message = QStringLiteral("无法建立数据库“%1”：%2").arg(Native(path), error);
            return result;
        }
        result.created = true;
    } else if (!HasDatabaseHeader(path)) {
        result.damaged = true;
        result.message =
            NotOursText(path) + QStringLiteral("\n（%1）")
                                    .arg(QFileInfo(path).size() == 0
                                             ? QStringLiteral("文件是空的")
                                             : QStringLiteral("文件头不是数据库的文件头"));
        return result;
    } else if (g_lock && g_lock->dir() == dir) {
        MendLeftoverLog(path);
        RemoveStaleIndex(path);
    }
    const QString readOnly = exists ? ReadOnlyReason(dir, path) : QString();
    result.readOnly = !readOnly.isEmpty();

    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        if (result.readOnly && ReadsWithoutIndex(dir, path)) {
            db.setDatabaseName(QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()) +
                               QStringLiteral("?immutable=1"));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        } else {
            db.setDatabaseName(path);
            db.setConnectOptions(result.readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY")
                                                 : QString());
        }
        int version = 0;
        if (!db.open()) {
            error = CannotOpen(path, DescribeEngineError(db.lastError().nativeErrorCode().toInt(),
                                                         0, db.lastError().driverText()));
        } else if (sqlite3* handle = DriverHandle(db); !handle) {
            error = CannotOpen(path, QStringLiteral("无法取得数据库驱动的连接。"));
        } else {
            sqlite3_extended_result_codes(handle, 1);
            error = CheckDatabase(handle, path, &version, &result.damaged);
            // Before the log mode changes, so a failed upgrade leaves the file as it was.
            if (error.isEmpty()) {
                error = Upgrade(handle, path, version, readOnly);
            }
            if (error.isEmpty() && !Configure(handle, result.readOnly, &error)) {
                error = CannotOpen(path, error);
            }
        }
        if (!error.isEmpty()) {
            db.close();
        }
    }
    if (!error.isEmpty()) {
        QSqlDatabase::removeDatabase(kConnection);
        result.message = error;
        return result;
    }
    g_dataDir = dir;
    g_handle = DriverHandle(Connection());
    g_readOnly = result.readOnly;
    result.message = readOnly;
    result.ok = true;
    return result;
}

namespace {

// user@host:port/name of the connection, as the client library made it: a user who may not
// read the server's settings still learns which database is open.
QString ServerLocation(const PgConnection& server) {
    const QString where = server.where();
    return where.isEmpty() ? QStringLiteral("数据库服务器") : where;
}

}  // namespace

Database::OpenResult Database::OpenServer(const QString& uri, const QString& dataDir) {
    Close();
    OpenResult result;
    auto server = std::make_unique<PgConnection>(uri);
    if (!server->ok()) {
        result.message = QStringLiteral("无法连接数据库服务器：%1").arg(server->error());
        return result;
    }
    const PgSchemaResult schema = PreparePgSchema(*server);
    if (!schema.ok) {
        result.message = schema.message;
        return result;
    }
    g_serverLocation = ServerLocation(*server);
    g_server = std::move(server);
    g_dataDir = dataDir.isEmpty() ? QString() : QDir(dataDir).absolutePath();
    ServerNotices::listen();
    result.created = schema.created;
    result.ok = true;
    return result;
}

sql::Engine Database::Engine() {
    return g_server ? sql::Engine::Postgres : sql::Engine::Sqlite;
}

PgConnection* Database::Server() {
    return g_server.get();
}

bool Database::Reconnect() {
    if (!g_server) {
        return false;
    }
    // Statements of the lost connection can read nothing more; they end before it is replaced.
    Statement::finalizeAll();
    if (!g_server->reconnect()) {
        return false;
    }
    ServerNotices::listen();
    return true;
}

QString Database::Location() {
    return g_server ? g_serverLocation : Native(FilePath());
}

int Database::AddBackgroundReader(std::function<void()> end) {
    g_readers.emplace_back(++g_lastReader, std::move(end));
    return g_lastReader;
}

void Database::RemoveBackgroundReader(const int id) {
    std::erase_if(g_readers, [id](const auto& reader) { return reader.first == id; });
}

void Database::Close(bool keepFolderLock) {
    // A copy of the ended readers: ending one may remove it from the list.
    const auto readers = g_readers;
    for (const auto& reader : readers) {
        reader.second();
    }
    Statement::finalizeAll();
    g_handle = nullptr;
    g_readOnly = false;
    if (!keepFolderLock) {
        g_lock.reset();
    }
    if (g_server) {
        ServerNotices::stop();
        g_server.reset();
        g_serverLocation.clear();
        g_dataDir.clear();
    }
    if (!QSqlDatabase::contains(kConnection)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(kConnection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
    g_dataDir.clear();
}

bool Database::IsOpen() {
    return g_server || (QSqlDatabase::contains(kConnection) &&
                        QSqlDatabase::database(kConnection, false).isOpen());
}

QString Database::DataDir() {
    return g_dataDir;
}

QString Database::FilePath() {
    return g_dataDir.isEmpty() || g_server ? QString() : g_dataDir + QLatin1Char('/') + FileName();
}

std::pair<qint64, qint64> Database::ChangeMark() {
    if (g_server) {
        // Other stations announce every save; this one counts its own commands. Both are read
        // without asking the server, as lists check the mark on every page they show.
        return {qint64(ServerNotices::instance()->heard()), Statement::serverCommands()};
    }
    sqlite3* db = Handle();
    if (db == nullptr) {
        return {-1, -1};
    }
    // The data version moves with commits of other connections, the change count with ours.
    int version = -1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return {version, sqlite3_total_changes64(db)};
}

sqlite3* Database::Handle() {
    return g_handle;
}

QSqlDatabase Database::Connection() {
    return QSqlDatabase::database(kConnection, false);
}

bool Database::IsReadOnly() {
    return g_readOnly;
}

void Database::SetNetworkFolderAllowed(bool allowed) {
    g_networkAllowed = allowed;
}

bool Database::HoldsFolderLock() {
    return g_lock && g_lock->dir() == g_dataDir && g_lock->stillHeld();
}

bool Database::HoldsFolderLock(const QString& dir) {
    return g_lock && g_lock->dir() == QDir(dir).absolutePath() && g_lock->stillHeld();
}

void Database::NoteDamage(const QString& reason) {
    g_damageSeen = true;
    if (g_damageHook) {
        g_damageHook(reason);
    }
}

bool Database::DamageSeen() {
    return g_damageSeen;
}

bool Database::CheckForDamage() {
    if (g_damageSeen || g_server || !g_handle) {
        return g_damageSeen;
    }
    QStringList findings;
    const int rc = Query(g_handle, "pragma quick_check", &findings);
    if (IsDamageCode(rc)) {
        NoteDamage(DescribeEngineError(g_handle));
    } else if (rc == SQLITE_OK && findings.value(0) != QLatin1String("ok")) {
        NoteDamage(DescribeEngineError(SQLITE_CORRUPT, 0, findings.value(0)));
    }
    return g_damageSeen;
}

void Database::SetDamageHook(std::function<void(const QString&)> hook) {
    g_damageHook = std::move(hook);
}

void Database::SetBusyWaitHook(std::function<void(bool)> hook) {
    g_busyHook = std::move(hook);
}

void Database::EndBusyWait() {
    if (g_busyWaiting) {
        g_busyWaiting = false;
        if (g_busyHook) {
            g_busyHook(false);
        }
    }
}
