#pragma once

#include <QString>

struct Report;

// What stands above the table's headings: nothing (a list meant to be read in again), or the
// report's title and the dates it covers, as on paper.
enum class SheetHead { TableOnly, TitleAndDates };

// Writes the report to an Excel workbook at `path`: the head, the heading row, every data row
// and the total row, then the summary table if there is one, with amounts and quantities as
// numbers of two decimals (counts without), everything else as text, and the rows down to the
// headings frozen. Returns an empty text when the file was written, else
// why it was not (nothing usable is left behind then).
QString ExportWorkbook(const Report& report, const QString& path,
                       SheetHead head = SheetHead::TableOnly);

// The most rows a worksheet holds, the title, heading and total rows included.
inline constexpr int kMaxSheetRows = 1048576;
