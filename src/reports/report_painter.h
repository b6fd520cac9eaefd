#pragma once

#include <QList>
#include <QRectF>

#include "reports/report_layout.h"

class QPainter;
class QPrinter;

// Where the report goes on a page: the scale from the report's pixels to the device, the
// area the table fills and the rows of every page.
struct ReportPlacement {
    double scale = 1;  // device units per report pixel
    QRectF area;       // the printable area, in device units from the painter's origin
    QList<ReportPage> pages;
};

// Lays the report out on pages whose printable area is `area` on a device of `dpi` dots per
// inch: at its own size when it fits the width, else narrowed to fit, and broken into pages.
ReportPlacement PlaceReport(const Report& report, const QRectF& area, double dpi);

// Draws one page: its rows with their fills, texts and borders, and the page number below.
void PaintReportPage(QPainter& painter, const Report& report, const ReportPlacement& placement,
                     int pageIndex);

// Sets the paper (A4), margins and orientation the report prints with.
void SetUpReportPrinter(QPrinter& printer, const Report& report);

// Prints every page of the report on the printer as it is set up. False when the printer
// cannot start or reports an error.
bool PrintReport(const Report& report, QPrinter& printer);
