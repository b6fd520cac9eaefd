#include "data/database.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>

#include "data/password.h"
#include "data/statement.h"

namespace {

const QString kConnection = QStringLiteral("ruvaso");
const QString kCreateConnection = QStringLiteral("ruvaso_create");
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

bool RegisterFunctions(const QSqlDatabase& db) {
    sqlite3* handle = DriverHandle(db);
    return handle &&
           sqlite3_create_function_v2(handle, "str", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      StrFunction, nullptr, nullptr, nullptr) == SQLITE_OK;
}

QString ReadSchema() {
    QFile file(QStringLiteral(":/data/schema.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

bool Exec(QSqlDatabase& db, const QString& statement, const QVariantList& params, QString* error) {
    QSqlQuery query(db);
    if (!query.prepare(statement)) {
        *error = query.lastError().text();
        return false;
    }
    for (const QVariant& p : params) {
        query.addBindValue(p);
    }
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

bool WriteSchemaAndSeed(QSqlDatabase& db, QString* error) {
    sqlite3* handle = DriverHandle(db);
    const QString schema = ReadSchema();
    if (!handle || schema.isEmpty()) {
        *error = QStringLiteral("内部错误：无法读取数据库结构");
        return false;
    }
    char* message = nullptr;
    const QByteArray script = "begin;\n" + schema.toUtf8() + "\ncommit;";
    if (sqlite3_exec(handle, script.constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        *error = QString::fromUtf8(message ? message : "");
        sqlite3_free(message);
        sqlite3_exec(handle, "rollback", nullptr, nullptr, nullptr);
        return false;
    }
    const QString hash = HashPassword(Database::DefaultPassword());
    if (hash.isEmpty()) {
        *error = QStringLiteral("无法生成密码散列");
        return false;
    }
    return db.transaction() &&
           Exec(db, QStringLiteral("insert into meta (version) values (?)"),
                {Database::kSchemaVersion}, error) &&
           Exec(db, QStringLiteral("insert into user_table (user_name, user_pass) values (?, ?)"),
                {Database::DefaultOperatorName(), hash}, error) &&
           Exec(db, QStringLiteral("insert into cp_table (cp_name) values (?)"),
                {QStringLiteral("京A")}, error) &&
           Exec(db, QStringLiteral("insert into regedit_table (re_name) values (?)"),
                {QStringLiteral("Ruvaso")}, error) &&
           db.commit();
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
            *error = file.errorString();
            return false;
        }
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kCreateConnection);
        db.setDatabaseName(temp);
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            ok = WriteSchemaAndSeed(db, error);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(kCreateConnection);
    if (ok && !QFile::rename(temp, path)) {
        *error = QStringLiteral("无法建立文件 %1").arg(path);
        ok = false;
    }
    if (!ok) {
        QFile::remove(temp);
    }
    return ok;
}

// Whether a read failed because the file is not a database or its pages are corrupt.
bool IsDamage(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

QString CheckDatabase(QSqlDatabase& db, int* version, bool* damaged) {
    const QString notOurs =
        QStringLiteral("文件“%1”不是本系统的数据库，或者已经损坏。\n程序不会修改这个文件。")
            .arg(QDir::toNativeSeparators(db.databaseName()));
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("pragma application_id")) || !query.next()) {
        *damaged = IsDamage(query.lastError());
        return notOurs + QStringLiteral("\n（%1）").arg(query.lastError().text());
    }
    if (query.value(0).toInt() != Database::kApplicationId) {
        // An empty file reads as an empty database, but ours is never empty.
        *damaged = QFileInfo(db.databaseName()).size() == 0;
        return notOurs;
    }
    QStringList present;
    if (!query.exec(QStringLiteral("select name from sqlite_master where type = 'table'"))) {
        *damaged = IsDamage(query.lastError());
        return notOurs + QStringLiteral("\n（%1）").arg(query.lastError().text());
    }
    while (query.next()) {
        present << query.value(0).toString();
    }
    for (const QString& table : RequiredTables()) {
        if (!present.contains(table)) {
            return notOurs + QStringLiteral("\n（缺少数据表 %1）").arg(table);
        }
    }
    if (!query.exec(QStringLiteral("select version from meta")) || !query.next()) {
        *damaged = IsDamage(query.lastError());
        return notOurs + QStringLiteral("\n（%1）").arg(query.lastError().text());
    }
    *version = query.value(0).toInt();
    if (*version > Database::kSchemaVersion) {
        return QStringLiteral("数据库“%1”由更新版本的程序建立，请升级本程序后再打开。")
            .arg(QDir::toNativeSeparators(db.databaseName()));
    }
    return {};
}

bool Configure(QSqlDatabase& db, QString* error) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("pragma journal_mode = wal")) || !query.next() ||
        query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        *error = QStringLiteral("无法启用预写日志：%1").arg(query.lastError().text());
        return false;
    }
    if (!query.exec(QStringLiteral("pragma synchronous = full")) ||
        !query.exec(QStringLiteral("pragma busy_timeout = 5000"))) {
        *error = query.lastError().text();
        return false;
    }
    if (!RegisterFunctions(db)) {
        *error = QStringLiteral("无法注册数据库函数");
        return false;
    }
    return true;
}

}  // namespace

QString Database::DefaultOperatorName() {
    return QStringLiteral("管理员");
}

QString Database::DefaultPassword() {
    return QStringLiteral("888888");
}

QString Database::DefaultDataDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/ruvaso/data");
}

Database::OpenResult Database::Open(const QString& dataDir) {
    Close();
    OpenResult result;
    result.message = CheckEngine();
    if (!result.message.isEmpty()) {
        return result;
    }
    const QString dir = QDir(dataDir).absolutePath();
    if (!QDir().mkpath(dir)) {
        result.message =
            QStringLiteral("无法建立数据文件夹“%1”。").arg(QDir::toNativeSeparators(dir));
        return result;
    }
    const QString path = dir + QLatin1Char('/') + FileName();
    if (!QFileInfo::exists(path)) {
        QString error;
        if (!CreateDatabase(path, &error)) {
            result.message =
                QStringLiteral("无法建立数据库“%1”：%2").arg(QDir::toNativeSeparators(path), error);
            return result;
        }
        result.created = true;
    } else if (!QFileInfo(path).isFile()) {
        result.message = QStringLiteral("“%1”不是文件。").arg(QDir::toNativeSeparators(path));
        return result;
    }

    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        int version = 0;
        if (!db.open()) {
            error = QStringLiteral("无法打开数据库“%1”：%2")
                        .arg(QDir::toNativeSeparators(path), db.lastError().text());
        } else {
            error = CheckDatabase(db, &version, &result.damaged);
        }
        if (error.isEmpty() && !Configure(db, &error)) {
            error =
                QStringLiteral("无法打开数据库“%1”：%2").arg(QDir::toNativeSeparators(path), error);
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
    result.ok = true;
    return result;
}

void Database::Close() {
    Statement::finalizeAll();
    g_handle = nullptr;
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
    return QSqlDatabase::contains(kConnection) &&
           QSqlDatabase::database(kConnection, false).isOpen();
}

QString Database::DataDir() {
    return g_dataDir;
}

QString Database::FilePath() {
    return g_dataDir.isEmpty() ? QString() : g_dataDir + QLatin1Char('/') + FileName();
}

sqlite3* Database::Handle() {
    return g_handle;
}

QSqlDatabase Database::Connection() {
    return QSqlDatabase::database(kConnection, false);
}
