#include "data/pg_schema.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

#include "data/database.h"
#include "data/pg_connection.h"
#include "data/schema_migration.h"
#include "data/seed.h"
#include "data/sql_dialect.h"

namespace {

constexpr auto kEngine = sql::Engine::Postgres;
// How many of a foreign database's tables the refusal names.
constexpr int kTablesNamed = 5;

struct Table {
    QString name;
    QString comment;
};

}  // namespace

// Every table-like relation of the public schema, which is where ours live.
const QString kListPgTables = QStringLiteral(
    "select c.relname, coalesce(obj_description(c.oid, 'pg_class'), '') from pg_class c "
    "join pg_namespace n on n.oid = c.relnamespace "
    "where n.nspname = 'public' and c.relkind in ('r', 'p', 'v', 'm', 'f') order by c.relname");

QStringList SchemaTables() {
    static const QRegularExpression create(QStringLiteral("^\\s*create\\s+table\\s+(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (const QString& statement : sql::SplitStatements(SchemaSql())) {
        QString code = statement;
        code.remove(QRegularExpression(QStringLiteral("--[^\\n]*")));
        if (const auto match = create.match(code); match.hasMatch()) {
            tables.append(match.captured(1).toLower());
        }
    }
    return tables;
}

namespace {

// The tables the schema steps after `version` create.
QStringList TablesCreatedAfter(int version) {
    static const QRegularExpression create(QStringLiteral("^\\s*create\\s+table\\s+(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (const SchemaStep& step : SchemaSteps()) {
        if (step.toVersion <= version) {
            continue;
        }
        for (const QString& statement : step.statements) {
            if (const auto match = create.match(statement); match.hasMatch()) {
                tables.append(match.captured(1).toLower());
            }
        }
    }
    return tables;
}

class Preparation {
public:
    explicit Preparation(PgConnection& connection) : connection_(connection) {}

    PgSchemaResult run() {
        const PgResult name = connection_.exec(QStringLiteral("select current_database()"));
        if (!name.ok() || name.rows() != 1) {
            return failed(QStringLiteral("无法打开数据库：%1").arg(name.error()));
        }
        name_ = name.row(0).text(0);
        // The lock queues a second station's first start behind ours until we commit.
        if (!exec(QStringLiteral("begin")) ||
            !exec(QStringLiteral("set local search_path = public")) ||
            !exec(
                QStringLiteral("select pg_advisory_xact_lock(%1)").arg(Database::kApplicationId))) {
            return failed(QStringLiteral("无法打开数据库“%1”：%2").arg(name_, error_));
        }
        const PgResult tables = connection_.exec(kListPgTables);
        if (!tables.ok()) {
            return failed(QStringLiteral("无法打开数据库“%1”：%2").arg(name_, tables.error()));
        }
        QList<Table> present;
        for (int row = 0; row < tables.rows(); ++row) {
            present.append({tables.row(row).text(0), tables.row(row).text(1)});
        }
        if (present.isEmpty()) {
            return create();
        }
        return open(present);
    }

private:
    bool exec(const QString& statement, const QStringList& params = {}) {
        QVariantList values;
        for (const QString& param : params) {
            values.append(param);
        }
        const PgResult result = connection_.exec(sql::ForEngine(kEngine, statement), values);
        if (!result.ok()) {
            error_ = result.error();
        }
        return result.ok();
    }

    bool execAsIs(const QString& statement) {
        const PgResult result = connection_.exec(statement);
        if (!result.ok()) {
            error_ = result.error();
        }
        return result.ok();
    }

    // A column a step added to a table comes after its row id, and a recordset that writes rows
    // back finds the row id as the last column: the row id is made again at the end, with the
    // numbers it held, so save order and the next numbers stay as they were.
    bool keepRowidLast() {
        const PgResult tables = connection_.exec(QStringLiteral(
            "select c.table_name from information_schema.columns c where c.table_schema = "
            "'public' and c.column_name = 'rowid' and c.ordinal_position < (select "
            "max(d.ordinal_position) from information_schema.columns d where d.table_schema = "
            "'public' and d.table_name = c.table_name) order by 1"));
        if (!tables.ok()) {
            error_ = tables.error();
            return false;
        }
        bool ok = true;
        for (int row = 0; row < tables.rows() && ok; ++row) {
            const QString table = sql::QuotedName(tables.row(row).text(0));
            const QString name = tables.row(row).text(0);
            for (const QString& statement : {
                     QStringLiteral("alter table %1 rename column rowid to rowid_before"),
                     QStringLiteral("alter table %1 add column rowid bigint"),
                     QStringLiteral("update %1 set rowid = rowid_before"),
                     QStringLiteral("alter table %1 drop column rowid_before"),
                     QStringLiteral("alter table %1 alter column rowid set not null"),
                     QStringLiteral(
                         "alter table %1 alter column rowid add generated by default as identity"),
                     QStringLiteral("alter table %1 add unique (rowid)"),
                 }) {
                ok = ok && execAsIs(statement.arg(table));
            }
            ok =
                ok && execAsIs(QStringLiteral("select setval(pg_get_serial_sequence('%1', "
                                              "'rowid'), coalesce(max(rowid), 0) + 1, false) "
                                              "from %2")
                                   .arg(QString(name).replace(u'\'', QStringLiteral("''")), table));
        }
        return ok;
    }

    // Ends the transaction without keeping anything it did.
    PgSchemaResult failed(const QString& message, bool refused = false) {
        if (connection_.connected()) {
            connection_.exec(QStringLiteral("rollback"));
        }
        PgSchemaResult result;
        result.refused = refused;
        result.message = message;
        return result;
    }

    PgSchemaResult refused(const QString& reason) {
        return failed(reason + QStringLiteral("\n程序没有修改这个数据库。"), true);
    }

    PgSchemaResult create() {
        const QList<SeedStatement> seed = SeedStatements();
        const QString schema = SchemaSql();
        if (seed.isEmpty() || schema.isEmpty()) {
            return failed(QStringLiteral("内部错误：无法读取数据库结构或生成密码散列"));
        }
        bool ok = true;
        for (const QString& statement : sql::SchemaStatements(kEngine, schema)) {
            ok = ok && exec(statement);
        }
        for (const SeedStatement& statement : seed) {
            ok = ok && exec(statement.sql, statement.params);
        }
        ok = ok && exec(QStringLiteral("commit"));
        if (!ok) {
            return failed(
                QStringLiteral("无法在数据库“%1”中建立数据表：%2\n程序没有修改这个数据库。")
                    .arg(name_, error_));
        }
        PgSchemaResult result;
        result.ok = result.created = true;
        return result;
    }

    PgSchemaResult open(const QList<Table>& present) {
        const QString mark = sql::ApplicationMark(Database::kApplicationId);
        const bool ours = std::any_of(present.begin(), present.end(), [&](const Table& table) {
            return table.name == QStringLiteral("meta") && table.comment == mark;
        });
        if (!ours) {
            QStringList names;
            for (int i = 0; i < present.size() && i < kTablesNamed; ++i) {
                names.append(present[i].name);
            }
            if (present.size() > kTablesNamed) {
                names.append(QStringLiteral("等%1个").arg(present.size()));
            }
            return refused(QStringLiteral("数据库“%1”中已有其他数据表（%2），不是本系统的数据库。")
                               .arg(name_, names.join(QStringLiteral("、"))));
        }
        const PgResult versions = connection_.exec(QStringLiteral("select version from meta"));
        if (!versions.ok()) {
            return failed(QStringLiteral("无法打开数据库“%1”：%2").arg(name_, versions.error()));
        }
        if (versions.rows() == 0) {
            return refused(
                QStringLiteral("数据库“%1”不是本系统的数据库，或者已经损坏（缺少版本号）。")
                    .arg(name_));
        }
        const int version = versions.row(0).text(0).toInt();
        // A table a later step creates is one an older database cannot have yet.
        const QStringList later = TablesCreatedAfter(version);
        for (const QString& table : SchemaTables()) {
            const bool found = std::any_of(present.begin(), present.end(),
                                           [&](const Table& t) { return t.name == table; });
            if (!found && !later.contains(table)) {
                return refused(
                    QStringLiteral("数据库“%1”不是本系统的数据库，或者已经损坏（缺少数据表 %2）。")
                        .arg(name_, table));
            }
        }
        if (version > Database::kSchemaVersion) {
            return refused(QStringLiteral("数据库“%1”由更新版本的程序建立，请升级本程序后再打开。")
                               .arg(name_));
        }
        if (version < Database::kSchemaVersion) {
            return upgrade(version);
        }
        if (!exec(QStringLiteral("commit"))) {
            return failed(QStringLiteral("无法打开数据库“%1”：%2").arg(name_, error_));
        }
        PgSchemaResult result;
        result.ok = true;
        return result;
    }

    PgSchemaResult upgrade(int version) {
        bool ok = true;
        for (const SchemaStep& step : SchemaSteps()) {
            if (step.toVersion <= version) {
                continue;
            }
            // A database that already breaks what the step would enforce keeps working without it.
            if (!step.skipWhenFound.isEmpty()) {
                const PgResult found =
                    connection_.exec(sql::ForEngine(kEngine, step.skipWhenFound));
                if (!found.ok()) {
                    error_ = found.error();
                    ok = false;
                    break;
                }
                if (found.rows() > 0) {
                    continue;
                }
            }
            for (const QString& statement : step.statements) {
                ok = ok && execAsIs(sql::StepStatement(kEngine, statement));
            }
        }
        ok = ok && keepRowidLast() &&
             exec(QStringLiteral("update meta set version = ?"),
                  {QString::number(Database::kSchemaVersion)}) &&
             exec(QStringLiteral("commit"));
        if (!ok) {
            return failed(QStringLiteral("数据库“%1”升级失败：%2\n程序没有修改这个数据库。")
                              .arg(name_, error_));
        }
        PgSchemaResult result;
        result.ok = result.upgraded = true;
        return result;
    }

    PgConnection& connection_;
    QString name_;
    QString error_;
};

}  // namespace

PgSchemaResult PreparePgSchema(PgConnection& connection) {
    return Preparation(connection).run();
}
