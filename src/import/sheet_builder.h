#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "import/sheet_heading.h"
#include "import/sheet_rows.h"

// Takes the customer rows one by one as a streaming read finds them; returning false stops the
// rows that follow (the read itself goes on, to find what is wrong with the file).
using SheetRowSink = std::function<bool(SheetRow& row)>;

// Collects the cells a reader finds, in any order, into sheet rows. The first rows are held as
// the file has them until it is known whether one of them is a heading row naming the columns;
// from then on each cell goes to the sheet column its file column holds (the first eight in
// order when no heading names them), and the cells of other columns are dropped. A cell below the
// last row a sheet may have makes the sheet too long, so a hostile file cannot make us allocate
// rows without end. The characters of all cells are counted as they come, so a file whose few
// stored texts are shown in many cells cannot make us hold or write out gigabytes either.
class SheetBuilder {
public:
    // More rows than any spreadsheet application can hold.
    static constexpr int kMaxRows = 1048576;
    // A million customers with every column filled take about 80 million characters.
    static constexpr qint64 kMaxChars = 100'000'000;

    SheetBuilder() = default;
    // Hands the rows to `sink` as they are completed instead of keeping them: for readers that
    // find cells row by row, in order. A cell for a row already handed over is dropped and makes
    // inOrder() false; the rows handed over are then not the sheet.
    explicit SheetBuilder(SheetRowSink sink) : sink_(std::move(sink)) {}

    // `row` and `column` count from 0 as the file does: row 0 may be the heading row.
    void setCell(qint64 row, qint64 column, const QString& text);
    // The cell's text so far (empty when unset), by the file's row and column; nothing for a
    // column that is left out.
    std::optional<QString> cell(qint64 row, qint64 column) const;
    // Whether the cells of the file's column are kept (all are, until the heading is known).
    bool keepsColumn(qint64 column) const;

    bool tooLong() const { return tooLong_; }
    bool hasCells() const { return hasCells_; }
    // More characters than kMaxChars in the cells set so far.
    bool tooMuchText() const { return chars_ > kMaxChars; }
    bool inOrder() const { return inOrder_; }

    // Takes the cells another builder collected (a reader that must read a whole worksheet
    // before it knows whether it is the one to take), in row order.
    void adopt(SheetBuilder&& other);

    // Which worksheet the cells come from, and how many worksheets the workbook has (its
    // visible ones); a file without sheets (text) leaves both unset.
    void setSheet(const QString& name, int worksheets) {
        sheetName_ = name;
        worksheets_ = worksheets;
    }
    const QString& sheetName() const { return sheetName_; }
    int worksheets() const { return worksheets_; }

    // A cell the reader found but cannot give the text of (a formula without its result, say),
    // with why: "公式，无法读取其结果". The file then reads as refused, naming the cells.
    void setUnreadable(qint64 row, qint64 column, const QString& why);
    // "第3行第5列是公式，无法读取其结果" for the first few such cells, or empty.
    QString unreadableText() const;

    // Title lines that may stand above the heading row.
    static constexpr size_t kMaxTitleRows = 3;

    // The customer rows: without trailing empty rows, and without the heading row when one of
    // the first rows is the heading, together with the title lines above it.
    SheetRows takeRows();
    // The same for a streaming builder: hands the rows still held to the sink, once the reader
    // is done.
    void finish();

    // Rows above the data left out by takeRows(): a title line and the heading row.
    int skippedAbove() const { return skippedAbove_; }
    // How the file's columns became the sheet's, once the rows are taken or finished.
    const SheetHeading& heading() const { return heading_; }

private:
    struct Unreadable {
        qint64 row;
        qint64 column;
        QString why;
    };

    // The streaming half: rows go through head_ until the heading is found or ruled out, then
    // to the sink; empty rows are only counted until a row with text follows them.
    void complete();
    void handOver(SheetRow& row);
    // Finds the heading among the rows held as the file has them, and from it where each
    // column goes; then puts those rows, mapped, where the rows that follow go.
    void decideHead();
    SheetRow mapped(const FileRow& row) const;

    SheetRows rows_;
    bool tooLong_ = false;
    bool hasCells_ = false;
    qint64 chars_ = 0;
    SheetRowSink sink_;
    bool inOrder_ = true;
    bool sinkStopped_ = false;
    qint64 currentRow_ = -1;
    SheetRow current_;     // once the heading is known
    FileRow currentHead_;  // before
    std::vector<FileRow> head_;
    bool headDecided_ = false;
    SheetHeading heading_ = PositionHeading();
    // The row of head_ that names the columns, or -1.
    qint64 headingRow_ = -1;
    qint64 pendingEmpty_ = 0;
    QString sheetName_;
    int worksheets_ = 0;
    std::vector<Unreadable> unreadable_;
    // Unreadable cells of the rows held before the heading is known: their columns may be
    // left out.
    std::vector<Unreadable> headUnreadable_;
    qsizetype unreadableCount_ = 0;
    int skippedAbove_ = 0;
};

// A number cell as the shop typed it: all digits of a telephone number, no exponent and no
// ".0"; fractions keep the digits needed to read the same number back.
QString NumberCellText(double value);

// The date a spreadsheet's day count stands for, counted from `origin` (day 0); nothing for a
// count outside the years 1900 to 9999.
std::optional<QString> SerialDateText(double serial, const QDate& origin);
