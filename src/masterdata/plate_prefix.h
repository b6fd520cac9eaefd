#pragma once

#include <QString>

#include "data/db_result.h"

// The shop's plate prefix (cp_table), which new plates start with; empty when none is stored.
DbResult<QString> PlatePrefix();

// Stores the prefix exactly as typed, the empty text included, in the table's first row; a
// table without a row gets one, so a save is never lost.
DbStatus SavePlatePrefix(const QString& prefix);
