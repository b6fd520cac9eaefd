#pragma once

#include <QList>
#include <QRectF>

#include "reports/report_layout.h"

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QPrinter;

// The widths (in report pixels) the columns of a table need on `device` so that no text of
// theirs is cut: each column's own width, or more where a heading, cell or total printed in its
// row's font needs it.
QList<double> ReportColumnWidths(const Report& report, const QPaintDevice& device);
QList<double> ReportSummaryWidths(const Report& report, const QPaintDevice& device);

// Where the report goes on a page: the scale from the report's pixels to the device, the
// area the table fills, the widths its columns print with and the rows of every page.
struct ReportPlacement {
    double scale = 1;             // device units per report pixel
    QRectF area;                  // the printable area, in device units from the painter's origin
    QList<double> widths;         // report pixels, per column
    QList<double> summaryWidths;  // the same for the summary table
    QList<ReportPage> pages;
};

// Lays the report out on pages whose printable area is `area` on `device`: its columns as wide
// as their texts need, at its own size when that fits the width, else narrowed (with its fonts)
// to fit, and broken into pages.
ReportPlacement PlaceReport(const Report& report, const QRectF& area, const QPaintDevice& device);

// Draws one page: its rows with their fills, texts and borders, and the page number below.
void PaintReportPage(QPainter& painter, const Report& report, const ReportPlacement& placement,
                     int pageIndex);

// Portrait, unless the report asks for landscape or its columns would have to shrink to less
// than kPortraitShrink of the width they need to fit a portrait page.
inline constexpr double kPortraitShrink = 0.85;
bool ReportNeedsLandscape(const Report& report, const QPaintDevice& device);

// Sets the paper (A4), margins and orientation the report prints with.
void SetUpReportPrinter(QPrinter& printer, const Report& report);

// Prints every page of the report on the printer as it is set up. False when the printer
// cannot start or reports an error.
bool PrintReport(const Report& report, QPrinter& printer);
