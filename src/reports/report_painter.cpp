#include "reports/report_painter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include "repairs/slip_painter.h"

namespace {

constexpr double kScreenDpi = 96;
constexpr double kPadding = 4;            // report pixels between a cell's edge and its text
constexpr double kPageNumberHeight = 24;  // report pixels below the table on every page
constexpr double kThickPoints = 1.5;
constexpr double kThinPoints = 0.5;
const QColor kShade(224, 224, 224);

Qt::Alignment CellAlignment(const Report& report, const ReportRow& row, int col) {
    switch (row.kind) {
        case ReportRowKind::Title:
        case ReportRowKind::Heading:
            return Qt::AlignCenter;
        case ReportRowKind::Footer:
            return Qt::AlignLeft | Qt::AlignVCenter;
        case ReportRowKind::Total:
        case ReportRowKind::Data:
            break;
    }
    const bool numeric = col < report.columns.size() && report.columns[col].numeric;
    return (numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QFont RowFont(const ReportRow& row, double fontScale) {
    QFont font(SlipFontFamily());
    font.setPointSizeF(row.fontSize * fontScale);
    font.setBold(row.bold);
    return font;
}

}  // namespace

ReportPlacement PlaceReport(const Report& report, const QRectF& area, double dpi) {
    ReportPlacement placement;
    placement.area = area;
    const double natural = dpi / kScreenDpi;
    const int width = std::max(ReportWidth(report), 1);
    placement.scale = std::min(natural, area.width() / width);
    const double pageHeight = area.height() / placement.scale - kPageNumberHeight;
    placement.pages = PaginateReport(report, pageHeight);
    return placement;
}

void PaintReportPage(QPainter& painter, const Report& report, const ReportPlacement& placement,
                     int pageIndex) {
    if (pageIndex < 0 || pageIndex >= placement.pages.size() || !painter.device()) {
        return;
    }
    const double s = placement.scale;
    const double dpi = painter.device()->logicalDpiY();
    // Fonts shrink with the table when it is narrowed to fit the paper.
    const double fontScale = s / (dpi / kScreenDpi);
    const double width = ReportWidth(report) * s;
    const double left = placement.area.left() + std::max(0.0, (placement.area.width() - width) / 2);
    QList<double> edges{left};
    for (const ReportColumn& column : report.columns) {
        edges << edges.last() + column.width * s;
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QList<int>& numbers = placement.pages[pageIndex].rows;
    QList<ReportRow> rows;
    QList<double> tops;
    double y = placement.area.top();
    for (int number : numbers) {
        rows << ReportRowAt(report, number);
        tops << y;
        y += rows.last().height * s;
    }
    const double bottom = y;

    for (int i = 0; i < rows.size(); ++i) {
        const ReportRow& row = rows[i];
        const double h = row.height * s;
        if (row.shaded) {
            painter.fillRect(QRectF(left, tops[i], width, h), kShade);
        }
        painter.setPen(Qt::black);
        painter.setFont(RowFont(row, fontScale));
        const double pad = kPadding * s;
        if (row.merged) {
            const QRectF box(left + pad, tops[i], width - 2 * pad, h);
            painter.drawText(box, int(CellAlignment(report, row, 0)) | Qt::TextSingleLine,
                             row.cells.value(0));
            continue;
        }
        const QFont rowFont = painter.font();
        for (int c = 0; c < row.cells.size() && c + 1 < edges.size(); ++c) {
            if (row.cells[c].isEmpty()) {
                continue;
            }
            const QRectF box(edges[c] + pad, tops[i], edges[c + 1] - edges[c] - 2 * pad, h);
            // Paper cannot scroll: a text wider than its column is printed smaller, not cut.
            const double textWidth =
                QFontMetricsF(rowFont, painter.device()).horizontalAdvance(row.cells[c]);
            if (textWidth > box.width() && box.width() > 0) {
                QFont smaller = rowFont;
                smaller.setPointSizeF(rowFont.pointSizeF() * box.width() / textWidth * 0.98);
                painter.setFont(smaller);
            }
            painter.drawText(box, int(CellAlignment(report, row, c)) | Qt::TextSingleLine,
                             row.cells[c]);
            painter.setFont(rowFont);
        }
    }

    // Thin lines inside, then the thick frame over them.
    const double points = dpi / 72;
    QPen thin(Qt::black, kThinPoints * points);
    painter.setPen(thin);
    for (int i = 1; i < rows.size(); ++i) {
        painter.drawLine(QPointF(left, tops[i]), QPointF(left + width, tops[i]));
    }
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].merged) {
            continue;
        }
        const double rowBottom = tops[i] + rows[i].height * s;
        for (int c = 1; c + 1 < edges.size(); ++c) {
            painter.drawLine(QPointF(edges[c], tops[i]), QPointF(edges[c], rowBottom));
        }
    }
    QPen thick(Qt::black, kThickPoints * points);
    thick.setJoinStyle(Qt::MiterJoin);
    painter.setPen(thick);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(left, placement.area.top(), width, bottom - placement.area.top()));
    // The title stands in a thick frame of its own.
    if (rows.size() > 1 && rows[0].kind == ReportRowKind::Title) {
        painter.drawLine(QPointF(left, tops[1]), QPointF(left + width, tops[1]));
    }

    QFont pageFont(SlipFontFamily());
    pageFont.setPointSizeF(9 * fontScale);
    painter.setFont(pageFont);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(placement.area.left(), bottom, placement.area.width(),
                            placement.area.bottom() - bottom),
                     Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                     PageNumberText(pageIndex + 1, int(placement.pages.size())));
    painter.restore();
}

void SetUpReportPrinter(QPrinter& printer, const Report& report) {
    printer.setDocName(report.title);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(report.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(12, 15, 12, 12), QPageLayout::Millimeter);
}

bool PrintReport(const Report& report, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    // The painter's origin is the printable area's corner unless the printer prints the full page.
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const QRectF area = printer.fullPage() ? page : QRectF(QPointF(0, 0), page.size());
    const ReportPlacement placement = PlaceReport(report, area, printer.resolution());
    for (int i = 0; i < placement.pages.size(); ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            return false;
        }
        PaintReportPage(painter, report, placement, i);
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}
