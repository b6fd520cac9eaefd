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

// Reads the first worksheet of an .xls, .xlsx or .ods workbook, or a .csv file in UTF-8 or
// GB18030, into rows of eight texts. A leading heading row is left out; date cells read as
// "yyyy-MM-dd" and number cells with all their digits. A file that cannot be read whole gives
// no rows at all, and a reason fit to follow "无法读取文件：".
SheetFile ReadSheetFile(const QString& path);
