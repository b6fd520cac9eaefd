#pragma once

#include <QByteArray>
#include <QString>

#include "import/sheet_builder.h"
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
    // True when a heading row placed the columns elsewhere than they usually stand: they were
    // taken by name.
    bool byHeading = false;
    // The headings of the columns left out, as the file writes them.
    QStringList ignoredColumns;

    bool ok() const { return error.isEmpty(); }
};

// Reads the first visible worksheet of an .xls, .xlsx or .ods workbook, or a file of text under
// any name (an HTML table, a SpreadsheetML 2003 workbook, or comma-, semicolon- or tab-separated
// text in UTF-8, UTF-16 or GB18030), into rows of eight texts; what the file holds decides how it
// is read. A heading row, and a title line or two above it, are left out; date cells read as
// "yyyy-MM-dd" and number cells with all their digits. When a heading row names the columns
// ("车牌", "手机号", ...) they are taken by name, in any order, and the others are left out; a
// heading without the plate's, the owner's or the sex's column refuses the file, saying which
// are missing. Without such a heading the first eight columns are read in their usual order.
// A file that cannot be read whole gives
// no rows at all, and a reason fit to follow "无法读取文件：".
SheetFile ReadSheetFile(const QString& path);

// A sheet file read row by row, for work that must not hold a million customers at once: the
// file's bytes are read once, and each pass over them hands the rows over as they are found.
class SheetStream {
public:
    explicit SheetStream(const QString& path);

    // Reads the whole file as ReadSheetFile does, handing its customer rows to `sink` in order,
    // and says what ReadSheetFile would, without the rows. When the file's cells are not in row
    // order (merged cells of a web page, say) the rows handed over are not the sheet's and
    // ordered() is false: rows() then hands over the right ones.
    SheetFile check(const SheetRowSink& sink = {});
    bool ordered() const { return ordered_; }

    // Hands every customer row of a file that check() accepted to `sink`, in order.
    void rows(const SheetRowSink& sink);

private:
    QString path_;
    QString suffix_;
    QByteArray data_;
    QString loadError_;
    bool ordered_ = true;
};
