#pragma once

#include <QString>
#include <optional>

// A database file as the first version of the program left it (tests/data/schema_v1.sql): meta
// version 1, the seed operator with a password of plain text as older files may hold it, one
// customer, one order with one line, and the shop row with `shopName` (no row when there is
// none). Written in rollback-journal mode, so the file alone holds it. Returns why it failed,
// or an empty text.
QString WriteVersion1Database(const QString& path, const std::optional<QString>& shopName);
