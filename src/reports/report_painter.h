#pragma once

#include <QList>
#include <QRectF>

#include "data/db_result.h"
#include "reports/report_layout.h"

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QPrinter;

// The widths (in report pixels) the columns of a table need on `device` so that no text of
// theirs is cut: each column's own width, or more where a heading, cell or total printed in its
// row's font needs it. Data texts are measured by shape (see ui::TextShape), each shape once a
// column, so a long report costs one pass over its rows. Fails when the rows cannot be read.
DbResult<QList<double>> ReportColumnWidths(const Report& report, const QPaintDevice& device);
QList<double> ReportSummaryWidths(const Report& report, const QPaintDevice& device);

// Where the report goes on a page: the scale from the report's pixels to the device, the
// area the table fills, the widths its columns print with and the rows of every page.
struct ReportPlacement {
    double scale = 1;             // device units per report pixel
    double dpi = 96;              // of the device laid out on, vertically
    double dpiX = 96;             // and across
    QRectF area;                  // the printable area, in device units from the painter's origin
    QList<double> widths;         // report pixels, per column
    QList<double> summaryWidths;  // the same for the summary table
    QList<ReportPage> pages;
};

// Lays the report out on pages whose printable area is `area` on `device`: its columns as wide
// as their texts need, at its own size when that fits the width, else narrowed (with its fonts)
// to fit, and broken into pages. Fails when the rows cannot be read.
DbResult<ReportPlacement> PlaceReport(const Report& report, const QRectF& area,
                                      const QPaintDevice& device);

// Draws one page: its rows with their fills, texts and borders, and the page number below.
// Only the page's own data rows are read. The painter may draw on another device than the one
// laid out on (a preview on screen), with a transform from the placement's device units.
DbStatus PaintReportPage(QPainter& painter, const Report& report, const ReportPlacement& placement,
                         int pageIndex);

// Portrait, unless the report asks for landscape or its columns would have to shrink to less
// than kPortraitShrink of the width they need to fit a portrait page.
inline constexpr double kPortraitShrink = 0.85;
bool ReportNeedsLandscape(const Report& report, const QPaintDevice& device);

// Sets the paper (A4), margins and orientation the report prints with.
void SetUpReportPrinter(QPrinter& printer, const Report& report);

// Prints every page of the report on the printer as it is set up. False when the printer
// cannot start or reports an error, or the rows cannot be read; then `readError`, when given,
// holds why the rows could not be read (empty for a printer fault).
bool PrintReport(const Report& report, QPrinter& printer, QString* readError = nullptr);
