#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

// What turns a database file of one schema version into the next. To add a version: raise
// Database::kSchemaVersion, change schema.sql (the schema a new file starts with) and append
// the step that gives an older file the same tables and columns.
struct SchemaStep {
    int toVersion;
    QStringList statements;
    // A query that finds the rows an older file may hold that would make `statements` fail (rows
    // that break a new unique index). When it finds one, the step's statements are left out: the
    // file keeps working as before, and only the version number moves on. Empty: always run.
    QString skipWhenFound = {};
};

// The order numbers stored more than once, in number order: a file an older version made may
// hold some, and then it keeps working without the unique index on the number.
QString DuplicatedOrderNumbersQuery();

// Every step, oldest first; step i brings version i + 1 to version i + 2.
const QList<SchemaStep>& SchemaSteps();

// Brings the file open on `db`, at `version`, to the newest version: every step it lacks and
// the new number in meta, in one transaction. On failure nothing is kept and the reason is
// returned; empty on success.
QString MigrateSchema(sqlite3* db, int version);
