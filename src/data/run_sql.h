#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

#include "data/db_result.h"
#include "data/recordset.h"

// Runs one statement on the open database. Values are bound to the `?` placeholders in order,
// never spliced into the text. A statement whose first word is delete, insert or update (in any
// letter case) is executed and yields an empty recordset at EOF; anything else opens a recordset
// on the trimmed text, positioned on its first row. On any failure the result is a null
// recordset whose error() tells why; nothing is thrown and nothing is shown.
Recordset RunSql(const QString& statement, const QVariantList& params = {});

// A like-pattern that matches `text` anywhere, with its own %, _ and \ taken literally.
// Use it with "like ? escape '\'".
QString ContainsPattern(const QString& text);

// The first column of every row a query returns, as text, in the order returned; or why the
// query or its walk failed.
DbResult<QStringList> ColumnTexts(const QString& statement, const QVariantList& params = {});
