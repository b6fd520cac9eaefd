#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

#include "reports/report_rows.h"

struct StatisticsDescription;

// A printed statistics report as data: a title over all columns, the dates it covers, a grey
// heading row, the data rows, a grey total row and a footer with the operator and the print
// time, drawn inside a thick outer border with thin lines between the cells; a summary table of
// its own may follow. Sizes are those of the list it comes from: pixels of a 96 dpi screen for
// heights and widths (the least a column gets), points for fonts.
struct ReportColumn {
    QString heading;
    int width = 0;
    bool numeric = false;  // amounts and quantities, exported as numbers
    int decimals = 2;      // of a numeric column in an exported workbook
};

// A small table printed after the report's own, with its own columns.
struct ReportSummary {
    QString caption;
    QList<ReportColumn> columns;
    QList<QStringList> rows;
    QStringList total;  // one text per column; empty: no total row
};

// A report without data rows.
std::shared_ptr<const ReportRows> NoReportRows();

struct Report {
    QString title;
    // The name of an exported workbook's sheet: the report's own name, without the shop's.
    QString sheetName;
    QString range;  // the line under the title; empty: none
    QList<ReportColumn> columns;
    std::shared_ptr<const ReportRows> rows = NoReportRows();  // never null
    int totalColumn = 0;  // index into columns; -1: a table without a total row
    QString totalText;
    QString footer;
    double dataFontSize = 11;
    bool landscape = false;
    ReportSummary summary;  // without rows: none
};

// The width a list gives a column whose width it leaves to the grid.
inline constexpr int kDefaultColumnWidth = 64;

// A sheet name a workbook accepts: at most 31 characters, none of []:*?/\, not empty.
QString WorksheetName(const QString& wanted);

// The shop's name directly followed by the report's name, with nothing between them.
QString ReportTitle(const QString& shopName, const QString& suffix);

// "统计日期：2026-11-01 至 2026-11-30".
QString ReportRangeText(const QDate& from, const QDate& to);

// "制表人:[ 管理员 ]         打印时间:[2026-12-06 14:05:09]".
QString ReportFooter(const QString& operatorName, const QDateTime& printedAt);

// The report of a statistics list: `rows` hold the texts of the list's columns without its
// hidden key column, which the report leaves out; `widths` the list's column widths, the key
// column's first (empty: the description's).
Report StatisticsReport(const StatisticsDescription& description, const QString& shopName,
                        std::shared_ptr<const ReportRows> rows, const QString& totalText,
                        const QString& operatorName, const QDateTime& printedAt,
                        const QList<int>& widths = {});

enum class ReportRowKind {
    Title,
    Range,
    Heading,
    Data,
    Total,
    Footer,
    SummaryCaption,
    SummaryHeading,
    SummaryData,
    SummaryTotal,
};

// Rows of the summary table, which has columns of its own; its caption stands outside any frame.
bool IsSummaryRow(ReportRowKind kind);

struct ReportRow {
    // From 1, the title, then the range line when there is one; a report without data rows
    // has no heading row; the summary's rows follow the footer.
    int number = 0;
    ReportRowKind kind = ReportRowKind::Data;
    QStringList cells;  // one per column of its table; a merged row holds its text in the first
    int height = 0;
    double fontSize = 0;
    bool bold = false;
    bool shaded = false;  // grey background
    bool merged = false;  // one cell over all columns
    bool songFace = false;
};

inline constexpr int kTitleHeight = 50;
inline constexpr int kRangeHeight = 26;
inline constexpr int kHeadingHeight = 30;
inline constexpr int kDataHeight = 23;
inline constexpr int kTotalHeight = 30;
inline constexpr int kFooterHeight = 30;
inline constexpr int kSummaryCaptionHeight = 44;  // a gap above the summary, then its caption

int ReportRowCount(const Report& report);
// The row with its texts; a data row's are read from the report's rows (empty when that fails).
ReportRow ReportRowAt(const Report& report, int number);
// The row without reading a data row's texts: its cells stay empty.
ReportRow ReportRowFrame(const Report& report, int number);
// Which of the report's data rows `number` is, from 0; -1 for any other row.
int ReportDataIndex(const Report& report, int number);
// The height of row `number`, its texts unread.
int ReportRowHeight(const Report& report, int number);
int ReportWidth(const Report& report);

// One printed page: the numbers of the rows it shows, top to bottom.
struct ReportPage {
    QList<int> rows;
};

// Breaks the report into pages of `pageHeight` (in the report's pixels). Pages break between
// rows; every page after the first starts with the heading row again; the total and the
// footer follow the last data row, which moves to a new page with them when they would not
// fit. The summary starts where its caption, heading and first row fit, repeats its heading
// on a page of its own, and keeps its total with its last row. A page that cannot hold a
// single data row still gets one, so every row is printed.
QList<ReportPage> PaginateReport(const Report& report, double pageHeight);

// "第 2 页 / 共 5 页".
QString PageNumberText(int page, int pageCount);
