#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The text of schema.sql, the schema a new database starts with; empty if it cannot be read.
QString SchemaSql();

// One statement of the seed, with `?` placeholders and its values as text.
struct SeedStatement {
    QString sql;
    QStringList params;
};

// The rows every new database starts with, on either engine: the schema version in meta, the
// seed operator with the default password, one plate prefix and the shop's row. Empty when the
// password hash could not be made.
QList<SeedStatement> SeedStatements();
