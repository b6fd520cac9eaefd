#pragma once

#include <QString>

struct Report;

// Writes the report's table to an Excel workbook at `path`: the heading row, every data row
// and the total row, with amounts and quantities as numbers of two decimals and everything
// else as text, the heading row frozen. Returns an empty text when the file was written, else
// why it was not (nothing usable is left behind then).
QString ExportWorkbook(const Report& report, const QString& path);

// The most rows a worksheet holds, the heading and total rows included.
inline constexpr int kMaxSheetRows = 1048576;
