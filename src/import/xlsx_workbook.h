#pragma once

#include <QDate>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
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

// The shared strings, each as its cells show it, kept end to end in large blocks: a workbook of
// a million customers holds two million of them, and a string apiece would cost several times
// their characters.
class XlsxStrings {
public:
    qsizetype size() const { return qsizetype(strings_.size()); }
    // A copy of string `index`, which must be below size().
    QString at(qsizetype index) const;
    bool isEmpty(qsizetype index) const { return strings_[size_t(index)].size == 0; }
    void add(QStringView text);

private:
    struct Entry {
        const char16_t* data;
        qsizetype size;
    };
    std::vector<std::unique_ptr<char16_t[]>> blocks_;
    char16_t* next_ = nullptr;
    qsizetype blockLeft_ = 0;
    std::vector<Entry> strings_;
};

// Reads the shared strings; a table larger than a workbook of customers needs, or a string
// longer than a cell may hold, makes the archive TooBig.
XlsxStrings ReadXlsxSharedStrings(ZipArchive& archive, const QString& part);

// Collects the text of a string item (<si>, or a cell's <is>) from the events inside it: its
// runs, without the phonetic guide that East Asian workbooks keep beside a name.
class XlsxRichText {
public:
    void start(std::string_view name);
    void end(std::string_view name);
    // False when the text grows longer than a cell's may be.
    bool text(std::string_view text);
    // The text collected since the last take(), its escapes undone; false as text() is.
    bool take(QString& text);

private:
    std::string utf8_;
    int inText_ = 0;
    int phonetic_ = 0;
};

// Undoes the _xHHHH_ escapes the format writes control characters as.
QString DecodeXlsxEscapes(const QString& text);
