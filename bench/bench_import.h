#pragma once

#include <QString>

// Figures of the customer import: a 100,000-row .xlsx (shared strings, as the office suite
// writes it, and inline strings, as streaming writers do) loaded against the office suite's own
// conversion to CSV, and the largest .xls against its reader library alone; then each is
// audited and imported.
void BenchImport(const QString& root);
