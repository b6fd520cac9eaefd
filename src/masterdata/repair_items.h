#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "data/db_result.h"

// The price list (xm_table): item names in stored order, and an item's price.
DbResult<QStringList> RepairItemNames();
// The price of the first item of that name; nothing when no item has it.
DbResult<std::optional<double>> RepairItemPrice(const QString& name);

// The technicians (wxjs_table), in stored order.
DbResult<QStringList> TechnicianNames();
