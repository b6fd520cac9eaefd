#pragma once

#include <QString>

#include "import/sheet_rows.h"

// The customer rows of a sheet file, or why the file could not be read.
struct SheetFile {
    SheetRows rows;
    QString error;  // empty when the file was read
    // The worksheet read and how many the workbook has (0 for a text file).
    QString sheetName;
    int worksheets = 0;
    // Rows above the data that were left out (a title line, the heading row).
    int skippedAbove = 0;

    bool ok() const { return error.isEmpty(); }
};

// Reads the first visible worksheet of an .xls, .xlsx or .ods workbook, or a file of text under
// any name (an HTML table, a SpreadsheetML 2003 workbook, or comma-, semicolon- or tab-separated
// text in UTF-8, UTF-16 or GB18030), into rows of eight texts; what the file holds decides how it
// is read. A heading row, and a title line or two above it, are left out; date cells read as
// "yyyy-MM-dd" and number cells with all their digits. A file that cannot be read whole gives
// no rows at all, and a reason fit to follow "无法读取文件：".
SheetFile ReadSheetFile(const QString& path);
