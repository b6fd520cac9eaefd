#pragma once

#include <QString>
#include <functional>

struct Report;

// What stands above the table's headings: nothing (a list meant to be read in again), or the
// report's title and the dates it covers, as on paper.
enum class SheetHead { TableOnly, TitleAndDates };

// How far an export is: data rows written of all; returns false to stop the export.
using ExportProgress = std::function<bool(qsizetype done, qsizetype total)>;

struct ExportOutcome {
    enum class End {
        Written,
        Cancelled,   // stopped through the progress; no file is left
        FileFailed,  // `reason` says why the file could not be written
        ReadFailed,  // the rows could not be read: `reason` is the database's
    };
    End end = End::Written;
    QString reason;
};

// Writes the report to an Excel workbook at `path`: the head, the heading row, every data row
// and the total row, then the summary table if there is one, with amounts and quantities as
// numbers of two decimals (counts without), everything else as text, and the rows down to the
// headings frozen. Rows are read in chunks and written to disk in order as they come, so a long
// report takes no more memory than a short one. Unless written, nothing is left at `path`.
ExportOutcome StreamWorkbook(const Report& report, const QString& path, SheetHead head,
                             const ExportProgress& progress = {});

// The same without progress: an empty text when the file was written, else why it was not.
QString ExportWorkbook(const Report& report, const QString& path,
                       SheetHead head = SheetHead::TableOnly);

// The most rows a worksheet holds, the title, heading and total rows included.
inline constexpr int kMaxSheetRows = 1048576;
