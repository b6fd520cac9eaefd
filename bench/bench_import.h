#pragma once

#include <QString>

// Figures of the customer import: a 100,000-row .xlsx (shared strings, as the office suite
// writes it, and inline strings, as streaming writers do) and the largest .xls, each loaded
// against the office suite's own conversion to CSV, then audited and imported.
void BenchImport(const QString& root);
