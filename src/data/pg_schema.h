#pragma once

#include <QString>
#include <QStringList>

class PgConnection;

// The tables schema.sql creates, in its order: a database of ours lacking one is not whole.
QStringList SchemaTables();
// Lists the relations of the server's public schema: name, then comment.
extern const QString kListPgTables;

// What PreparePgSchema found and did, for the open path to show.
struct PgSchemaResult {
    bool ok = false;
    // The database was empty and now holds the schema and the seed.
    bool created = false;
    // The database was ours at an older schema version and is now at the newest.
    bool upgraded = false;
    // Refused, with nothing changed, because the database is not ours or is newer than ours.
    bool refused = false;
    // For the user: why the database cannot be used; empty when it can.
    QString message;
};

// The PostgreSQL counterpart of opening a database file: a database without tables gets the
// schema and the seed a new file gets; ours at our version is used as it is; ours at an older
// version is upgraded by the schema steps. Each of these runs in one transaction, so a failure
// leaves the database as it was. A database holding other tables, ours at a newer version, or
// ours without its tables is refused and left untouched.
//
// Ours means the meta table carries the comment sql::ApplicationMark(Database::kApplicationId).
// Two stations starting at once on an empty database queue on a transaction lock: the first
// creates the schema, the second then finds it.
PgSchemaResult PreparePgSchema(PgConnection& connection);
