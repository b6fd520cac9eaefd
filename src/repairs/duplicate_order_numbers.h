#pragma once

#include <QString>
#include <QStringList>

#include "data/db_result.h"

// A file an older version made may hold an order number twice; it keeps working without the
// unique number index, and the shop is told once which numbers they are.

// The order numbers stored more than once, in number order.
DbResult<QStringList> DuplicatedOrderNumbers();

// What the shop is told about `numbers` (stored form): the first few of them as people read
// them, and that nothing was lost.
QString DuplicatedOrderNumbersText(const QStringList& numbers);

// Whether the data folder's order numbers were looked at already, by this user on this
// machine; the look happens once, so a long order table is not read at every start.
bool OrderNumbersChecked(const QString& dataDir);
void SetOrderNumbersChecked(const QString& dataDir);
