#pragma once

#include <QString>

// Figures of the customer import: a 100,000-row .xlsx and the largest .xls made by the office
// suite, each loaded against its reader library alone, then audited and imported.
void BenchImport(const QString& root);
