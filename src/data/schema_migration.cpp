#include "data/schema_migration.h"

#include <sqlite3.h>

#include "data/database.h"
#include "data/engine_error.h"

QString DuplicatedOrderNumbersQuery() {
    return QStringLiteral(
        "select kh_wx_dh from kh_wx_table group by kh_wx_dh having count(*) > 1 order by kh_wx_dh");
}

const QList<SchemaStep>& SchemaSteps() {
    static const QList<SchemaStep> steps = {
        // The shop's address and telephone beside its name, for the slip. Version 1 seeded the
        // program's own name as the shop's: it is no name the shop chose, so it is cleared and
        // the paper asks for the real one.
        {2,
         {QStringLiteral("alter table regedit_table add column re_address TEXT NOT NULL "
                         "DEFAULT ''"),
          QStringLiteral("alter table regedit_table add column re_tele TEXT NOT NULL DEFAULT ''"),
          QStringLiteral("update regedit_table set re_name = '' where re_name = 'Ruvaso'")}},
        // The date indexes of orders and their lines carry the amount too, so the statistics
        // total a date range from the index alone, without reading every row.
        {3,
         {QStringLiteral("drop index kh_wx_table_date"),
          QStringLiteral("create index kh_wx_table_date_amount on kh_wx_table (kh_wx_date, "
                         "kh_wx_hj)"),
          QStringLiteral("drop index kh_wx_mx_table_date"),
          QStringLiteral("create index kh_wx_mx_table_date_amount on kh_wx_mx_table "
                         "(kh_wx_mx_date, kh_wx_mx_hj)")}},
        // Two stations must never store the same order number. A file that already holds a
        // number twice keeps its plain index; the save's own check keeps new numbers apart.
        {4,
         {QStringLiteral("drop index kh_wx_table_dh"),
          QStringLiteral("create unique index kh_wx_table_dh on kh_wx_table (kh_wx_dh)")},
         DuplicatedOrderNumbersQuery()},
        // A plate is found however its letters were typed (`upper(kh_cph) = ?`). Without this
        // index every order save and every new customer read the whole customer table.
        {5, {QStringLiteral("create index kh_table_cph_upper on kh_table (upper(kh_cph))")}},
        // A plate is also found however it was spaced or dotted ("浙A·D12345" is "浙AD12345"):
        // the index holds each plate in upper case without the separators people type. It
        // replaces the upper-case index, which it covers.
        {6,
         {QStringLiteral("drop index kh_table_cph_upper"),
          QStringLiteral(
              "create index kh_table_cph_key on kh_table "
              "(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace("
              "replace(replace(upper(kh_cph), ' ', ''), '　', ''), '·', ''), '•', ''), '・', ''), "
              "'‧', ''), '･', ''), '-', ''), '‐', ''), '–', ''), '—', ''), '.', ''))")}},
        {7,
         {
             // Operators get a role, may be disabled, may be made to set a new password, and
             // their last login is kept. Everyone who could log in before did everything, so
             // every stored operator stays an administrator; an operator added later without
             // a role is a clerk.
             QStringLiteral(
                 "alter table user_table add column user_role TEXT NOT NULL DEFAULT '店员'"),
             QStringLiteral("update user_table set user_role = '管理员'"),
             QStringLiteral(
                 "alter table user_table add column user_enabled INTEGER NOT NULL DEFAULT 1"),
             QStringLiteral(
                 "alter table user_table add column user_reset INTEGER NOT NULL DEFAULT 0"),
             QStringLiteral(
                 "alter table user_table add column user_login TEXT NOT NULL DEFAULT ''"),
             // Orders: a void mark with who, when and why, a revision number that a second
             // station's correction is checked against, the earlier versions of corrected orders
             // and the trail of plate corrections. The date indexes carry the void mark, so the
             // statistics still total a date range from the index alone.
             QStringLiteral(
                 "alter table kh_wx_table add column kh_wx_zf TEXT NOT NULL DEFAULT '0'"),
             QStringLiteral(
                 "alter table kh_wx_table add column kh_wx_zfr TEXT NOT NULL DEFAULT ''"),
             QStringLiteral(
                 "alter table kh_wx_table add column kh_wx_zfsj TEXT NOT NULL DEFAULT ''"),
             QStringLiteral(
                 "alter table kh_wx_table add column kh_wx_zfyy TEXT NOT NULL DEFAULT ''"),
             QStringLiteral(
                 "alter table kh_wx_table add column kh_wx_bb INTEGER NOT NULL DEFAULT 0"),
             QStringLiteral(
                 "alter table kh_wx_mx_table add column kh_wx_mx_zf TEXT NOT NULL DEFAULT '0'"),
             QStringLiteral("drop index kh_wx_table_date_amount"),
             QStringLiteral("create index kh_wx_table_date_amount on kh_wx_table (kh_wx_date, "
                            "kh_wx_hj, kh_wx_zf)"),
             QStringLiteral("drop index kh_wx_mx_table_date_amount"),
             QStringLiteral("create index kh_wx_mx_table_date_amount on kh_wx_mx_table "
                            "(kh_wx_mx_date, kh_wx_mx_hj, kh_wx_mx_zf)"),
             QStringLiteral(
                 "create table kh_wx_ls_table (kh_wx_ls_code TEXT NOT NULL PRIMARY KEY, "
                 "kh_wx_ls_dh TEXT NOT NULL DEFAULT '', kh_wx_ls_bb INTEGER NOT NULL DEFAULT 0, "
                 "kh_wx_ls_cph TEXT NOT NULL DEFAULT '', kh_wx_ls_czname TEXT NOT NULL DEFAULT '', "
                 "kh_wx_ls_cx TEXT NOT NULL DEFAULT '', kh_wx_ls_tele TEXT NOT NULL DEFAULT '', "
                 "kh_wx_ls_hj REAL NOT NULL DEFAULT 0, kh_wx_ls_czr TEXT NOT NULL DEFAULT '', "
                 "kh_wx_ls_txdate TEXT NOT NULL DEFAULT '', kh_wx_ls_date TEXT NOT NULL DEFAULT "
                 "'', "
                 "kh_wx_ls_wxjs TEXT NOT NULL DEFAULT '', kh_wx_ls_xgr TEXT NOT NULL DEFAULT '', "
                 "kh_wx_ls_xgsj TEXT NOT NULL DEFAULT '')"),
             QStringLiteral("create index kh_wx_ls_table_dh on kh_wx_ls_table (kh_wx_ls_dh)"),
             QStringLiteral(
                 "create table kh_wx_mx_ls_table (kh_wx_mx_ls_code TEXT NOT NULL PRIMARY KEY, "
                 "kh_wx_mx_ls_dh TEXT NOT NULL DEFAULT '', kh_wx_mx_ls_bb INTEGER NOT NULL "
                 "DEFAULT 0, kh_wx_mx_ls_xh INTEGER NOT NULL DEFAULT 0, kh_wx_mx_ls_xm TEXT NOT "
                 "NULL DEFAULT '', kh_wx_mx_ls_xmsm TEXT NOT NULL DEFAULT '', kh_wx_mx_ls_sl REAL "
                 "NOT NULL DEFAULT 0, kh_wx_mx_ls_dj REAL NOT NULL DEFAULT 0, kh_wx_mx_ls_hj REAL "
                 "NOT NULL DEFAULT 0)"),
             QStringLiteral(
                 "create index kh_wx_mx_ls_table_dh on kh_wx_mx_ls_table (kh_wx_mx_ls_dh)"),
             QStringLiteral(
                 "create table kh_cph_gz_table (kh_cph_gz_code TEXT NOT NULL PRIMARY KEY, "
                 "kh_cph_gz_khdm TEXT NOT NULL DEFAULT '', kh_cph_gz_old TEXT NOT NULL DEFAULT '', "
                 "kh_cph_gz_new TEXT NOT NULL DEFAULT '', kh_cph_gz_czr TEXT NOT NULL DEFAULT '', "
                 "kh_cph_gz_sj TEXT NOT NULL DEFAULT '')"),
             QStringLiteral(
                 "create index kh_cph_gz_table_khdm on kh_cph_gz_table (kh_cph_gz_khdm)"),
             // End of the orders' and plates' statements.
         }},
    };
    return steps;
}

namespace {

bool Run(sqlite3* db, const QString& sql) {
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

int CountRow(void* found, int, char**, char**) {
    ++*static_cast<int*>(found);
    return 1;  // one row is enough to know
}

// Whether `query` finds a row; false with the reason when it cannot run.
bool Finds(sqlite3* db, const QString& query, bool* ok) {
    int found = 0;
    const int rc = sqlite3_exec(db, query.toUtf8().constData(), &CountRow, &found, nullptr);
    *ok = rc == SQLITE_OK || (rc == SQLITE_ABORT && found > 0);
    return found > 0;
}

}  // namespace

QString MigrateSchema(sqlite3* db, int version) {
    if (version >= Database::kSchemaVersion) {
        return {};
    }
    // A writer from the start, so no other connection can slip in between the steps.
    if (!Run(db, QStringLiteral("begin immediate"))) {
        return DescribeEngineError(db);
    }
    bool ok = true;
    for (const SchemaStep& step : SchemaSteps()) {
        if (step.toVersion <= version || !ok) {
            continue;
        }
        if (!step.skipWhenFound.isEmpty() && Finds(db, step.skipWhenFound, &ok)) {
            continue;
        }
        for (const QString& statement : step.statements) {
            ok = ok && Run(db, statement);
        }
    }
    ok = ok &&
         Run(db, QStringLiteral("update meta set version = %1").arg(Database::kSchemaVersion)) &&
         Run(db, QStringLiteral("commit"));
    if (ok) {
        return {};
    }
    const QString reason = DescribeEngineError(db);
    if (!sqlite3_get_autocommit(db)) {
        Run(db, QStringLiteral("rollback"));
    }
    return reason;
}
