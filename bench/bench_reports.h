#pragma once

#include <QString>

// Figures of the statistics: the turnover list over a year, a month and everything in a shop of
// a million orders over five years, against the sqlite3 shell, a 10,000-row report's preview
// and PDF, and the million orders exported to a workbook.
void BenchReports(const QString& root, const QString& sqlite3);

// The 10,000-row report's preview and PDF alone, over a shop of one month's orders.
void BenchReportPages(const QString& root);
