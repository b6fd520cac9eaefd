#include "support/old_database.h"

#include <sqlite3.h>

#include <QFile>
#include <QStringList>

namespace {

QString Run(sqlite3* db, const QString& sql, const QStringList& params = {}) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    const char* tail = text.constData();
    // The schema holds many statements: run them one after another.
    while (tail && *tail) {
        if (sqlite3_prepare_v2(db, tail, -1, &stmt, &tail) != SQLITE_OK) {
            return QString::fromUtf8(sqlite3_errmsg(db));
        }
        if (!stmt) {
            break;
        }
        for (int i = 0; i < params.size(); ++i) {
            const QByteArray value = params[i].toUtf8();
            sqlite3_bind_text(stmt, i + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        }
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            return QString::fromUtf8(sqlite3_errmsg(db));
        }
    }
    return {};
}

}  // namespace

QString WriteVersion1Database(const QString& path, const std::optional<QString>& shopName) {
    QFile schemaFile(QStringLiteral(RUVASO_TEST_DATA_DIR "/schema_v1.sql"));
    if (!schemaFile.open(QIODevice::ReadOnly)) {
        return schemaFile.errorString();
    }
    const QString schema = QString::fromUtf8(schemaFile.readAll());
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close_v2(db);
        return error;
    }
    QStringList errors;
    errors
        << Run(db, QStringLiteral("begin")) << Run(db, schema)
        << Run(db, QStringLiteral("insert into meta (version) values (1)"))
        << Run(db, QStringLiteral("insert into user_table values (?, ?)"),
               {QStringLiteral("管理员"), QStringLiteral("888888")})
        << Run(db, QStringLiteral("insert into cp_table values (?)"), {QStringLiteral("沪B")})
        << Run(db, QStringLiteral("insert into kh_table values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {QStringLiteral("{K1}"), QStringLiteral("沪B12345"), QStringLiteral("张三"),
                QStringLiteral("先生"), QStringLiteral("13912345678"), QStringLiteral("2026-01-05"),
                QStringLiteral("2026-07-05"), QString(), QStringLiteral("大众帕萨特"),
                QStringLiteral("0")})
        << Run(db,
               QStringLiteral("insert into kh_wx_table values (?, ?, ?, ?, ?, ?, 68, ?, ?, ?, ?)"),
               {QStringLiteral("{W1}"), QStringLiteral(" 202601050001"), QStringLiteral("沪B12345"),
                QStringLiteral("张三"), QStringLiteral("大众帕萨特"), QStringLiteral("13912345678"),
                QStringLiteral("管理员"), QStringLiteral("2026-07-05"),
                QStringLiteral("2026-01-05"), QStringLiteral("李师傅")})
        << Run(db,
               QStringLiteral("insert into kh_wx_mx_table values "
                              "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 68, 68)"),
               {QStringLiteral("{M1}"), QStringLiteral(" 202601050001"), QStringLiteral("沪B12345"),
                QStringLiteral("张三"), QStringLiteral("大众帕萨特"), QStringLiteral("13912345678"),
                QStringLiteral("管理员"), QStringLiteral("2026-01-05"), QStringLiteral("李师傅"),
                QStringLiteral("更换机油"), QStringLiteral("全合成")});
    if (shopName) {
        errors << Run(db, QStringLiteral("insert into regedit_table values (?)"), {*shopName});
    }
    errors << Run(db, QStringLiteral("commit"));
    sqlite3_close_v2(db);
    errors.removeAll(QString());
    return errors.isEmpty() ? QString() : errors.join(QLatin1Char('\n'));
}
