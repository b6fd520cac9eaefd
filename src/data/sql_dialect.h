#pragma once

#include <QString>
#include <QStringList>

// The one place where the SQL of the two engines differs. Statements are written once, in the
// SQLite form the program has always used (`?` placeholders, schema.sql); what PostgreSQL needs
// instead is derived here.
//
// Known differences not handled here yet; whoever routes the statements to the server must
// answer each of them:
// - glob: the order-number proposal (repairs/order_entry.cpp) tests "digits only" with
//   `not glob '*[^0-9]*'`; PostgreSQL has no glob (a regular expression `!~ '[^0-9]'` does it).
// - rowid: lists keep save order with `order by rowid` (operators, call history, order lines,
//   master lists, the shop row); PostgreSQL tables have no rowid, so the tables need an explicit
//   save-order column, given to SQLite files too by a schema step.
// - Recordset updates and reads back a row by `_rowid_` (data/run_sql.cpp, data/recordset.cpp);
//   on the server it must use that save-order column or the primary key.
// - like: SQLite folds ASCII case, PostgreSQL does not; the search (app/reminder_list.cpp) must
//   still find "苏E12345" from "e123" (`ilike`, or lower() on both sides).
// - str(): the date-text function is registered on the SQLite connection only
//   (data/database.cpp); the server needs a function of the same name or the statements lose it.
// - printf('%.15g', x) in the master lists (masterdata/master_list.cpp) is SQLite's; the server
//   has to_char or a plain cast.
// - Types: SQLite keeps any value in any column and compares across types; the server infers a
//   placeholder's type from where it stands and refuses text where a number is expected.
// - Amounts: REAL is `double precision` on the server (see below), so sums agree to the cent.
namespace sql {

enum class Engine { Sqlite, Postgres };

// `?` placeholders numbered in order as `$1, $2, ...`. A `?` inside a quoted string, a quoted
// identifier or a comment is text, not a placeholder, and is left alone; so is a numbered
// SQLite placeholder `?NNN`, which becomes `$NNN`.
QString NumberedPlaceholders(const QString& statement);

// One statement as `engine` runs it.
QString ForEngine(Engine engine, const QString& statement);

// The statements of a script (schema.sql, a migration) one by one, split at the semicolons that
// end them; comments stay with the statement they precede, and nothing but comments and blanks
// is no statement.
QStringList SplitStatements(const QString& script);

// The statements that give an empty database the schema of schema.sql, as `engine` runs them.
// On PostgreSQL, REAL columns are `double precision`, and `PRAGMA application_id = N`, which
// has no form there, becomes the comment ApplicationMark(N) on the meta table, made after it.
QStringList SchemaStatements(Engine engine, const QString& schemaSql);

// The comment on the meta table that marks a PostgreSQL database as the shop's, standing in
// for SQLite's application id: "ruvaso application_id <id>".
QString ApplicationMark(int applicationId);

}  // namespace sql
