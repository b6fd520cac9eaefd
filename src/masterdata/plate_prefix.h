#pragma once

#include <QString>

#include "data/db_result.h"

// The shop's plate prefix (cp_table), which new plates start with; empty when none is stored.
DbResult<QString> PlatePrefix();
