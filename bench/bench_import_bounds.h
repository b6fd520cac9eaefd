#pragma once

#include <QString>

// Figures of the import command run as a script runs it (`program`): time and the most memory
// for small hostile workbooks (one string shown in every cell, a row repeated a million times,
// names of a million characters) and for workbooks of 100,000 and a million customers, beside
// the fastest workbook readers Debian has.
void BenchImportBounds(const QString& root, const QString& program);
