#pragma once

#include <QDate>
#include <QString>
#include <string>
#include <vector>

#include "import/number_format.h"
#include "import/zip_archive.h"

// What an .xlsx workbook says about itself before its cells: which worksheet to read, where its
// strings and styles are, and from which day it counts dates.
struct XlsxWorkbook {
    QString sheetName;
    QString sheetPart;
    // The worksheets a shop sees (chart sheets and hidden sheets are not counted).
    int visibleWorksheets = 0;
    QString stringsPart;
    QString stylesPart;
    // Day 0 of the workbook's day counts: 1899-12-30, or 1904-01-01 in the 1904 date system.
    QDate origin;
};

// Finds the workbook part through the package's relationships and reads it; an empty text, or
// why the file has no worksheet to read.
QString ReadXlsxWorkbook(ZipArchive& archive, XlsxWorkbook& workbook);

// What a cell format of the workbook's styles makes of a number.
struct XlsxCellFormat {
    bool date = false;
    NumberFormat format;
};
std::vector<XlsxCellFormat> ReadXlsxCellFormats(ZipArchive& archive, const QString& part);

// The text a number shows in a cell of cell format `style` (General when there is no such
// format); day counts start at `origin`.
QString XlsxNumberText(const std::vector<XlsxCellFormat>& formats, qint64 style, double number,
                       const QDate& origin);

// The shared strings, each as its cells show it.
std::vector<QString> ReadXlsxSharedStrings(ZipArchive& archive, const QString& part);

// The text of the string element just started (<si> or <is>): its runs, without the phonetic
// guide that East Asian workbooks keep beside a name.
QString ReadXlsxRichText(ZipXmlPart& part);

// Undoes the _xHHHH_ escapes the format writes control characters as.
QString DecodeXlsxEscapes(const QString& text);
