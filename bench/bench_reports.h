#pragma once

#include <QString>

// Figures of the statistics: the turnover list over a year, a month and everything in a shop of
// a million orders over five years, against the sqlite3 shell, and a 10,000-row report's
// preview and PDF.
void BenchReports(const QString& root, const QString& sqlite3);
