#include "reports/report_painter.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPrinter>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

#include "repairs/slip_painter.h"
#include "ui/text_shape.h"

namespace {

constexpr double kScreenDpi = 96;
constexpr double kPadding = 4;            // report pixels between a cell's edge and its text
constexpr double kSlack = 1;              // report pixels a measured text is given beyond itself
constexpr double kPageNumberHeight = 24;  // report pixels below the table on every page
constexpr double kThickPoints = 1.5;
constexpr double kThinPoints = 0.5;
const QColor kShade(224, 224, 224);

Qt::Alignment CellAlignment(const QList<ReportColumn>& columns, const ReportRow& row, int col) {
    switch (row.kind) {
        case ReportRowKind::Title:
        case ReportRowKind::Range:
        case ReportRowKind::Heading:
        case ReportRowKind::SummaryHeading:
            return Qt::AlignCenter;
        case ReportRowKind::Footer:
            return Qt::AlignLeft | Qt::AlignVCenter;
        case ReportRowKind::SummaryCaption:
            return Qt::AlignLeft | Qt::AlignBottom;
        default:
            break;
    }
    const bool numeric = col < columns.size() && columns[col].numeric;
    return (numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QFont RowFont(const ReportRow& row, double fontScale) {
    QFont font(SlipFontFamily());
    font.setPointSizeF(row.fontSize * fontScale);
    font.setBold(row.bold);
    return font;
}

// Measures texts in one font in report pixels, each distinct text once.
class TextMeasure {
public:
    TextMeasure(const QFont& font, const QPaintDevice& device)
        : metrics_(font, &device), perPixel_(device.logicalDpiX() / kScreenDpi) {}

    double width(const QString& text) {
        if (text.isEmpty()) {
            return 0;
        }
        auto found = known_.constFind(text);
        if (found == known_.cend()) {
            found = known_.insert(text, metrics_.horizontalAdvance(text) / perPixel_);
        }
        return *found;
    }

private:
    QFontMetricsF metrics_;
    double perPixel_;
    QHash<QString, double> known_;
};

// Widens columns for the data texts, which share one font: each shape of text (see
// ui::TextShape) is measured once a column, and a run of one shape down a column costs one
// comparison, so a long report costs a pass over its bytes rather than a layout per cell.
class ShapeWidths {
public:
    ShapeWidths(const QFont& font, const QPaintDevice& device, qsizetype columns)
        : metrics_(font, &device),
          perPixel_(device.logicalDpiX() / kScreenDpi),
          digit_(ui::WidestDigit(metrics_)),
          measured_(size_t(columns)),
          previous_(size_t(columns)) {}

    void add(QList<double>& widths, const QList<QByteArrayView>& cells) {
        const qsizetype count = std::min(cells.size(), widths.size());
        for (qsizetype c = 0; c < count; ++c) {
            if (cells[c].isEmpty()) {
                continue;
            }
            ui::TextShape(cells[c], digit_, shape_);
            std::string& previous = previous_[size_t(c)];
            if (shape_ == previous) {
                continue;
            }
            previous = shape_;
            if (!measured_[size_t(c)].insert(shape_).second) {
                continue;
            }
            const double text =
                metrics_.horizontalAdvance(QString::fromStdString(shape_)) / perPixel_;
            widths[c] = std::max(widths[c], text + 2 * kPadding + kSlack);
        }
    }

private:
    QFontMetricsF metrics_;
    double perPixel_;
    char digit_;
    std::vector<std::unordered_set<std::string>> measured_;
    std::vector<std::string> previous_;
    std::string shape_;
};

void Widen(QList<double>& widths, const ReportRow& row, const QPaintDevice& device) {
    if (row.merged) {
        return;
    }
    TextMeasure measure(RowFont(row, 1), device);
    for (int c = 0; c < row.cells.size() && c < widths.size(); ++c) {
        const double text = measure.width(row.cells[c]);
        if (text > 0) {
            widths[c] = std::max(widths[c], text + 2 * kPadding + kSlack);
        }
    }
}

QList<double> OwnWidths(const QList<ReportColumn>& columns) {
    QList<double> widths;
    for (const ReportColumn& column : columns) {
        widths << column.width;
    }
    return widths;
}

double Sum(const QList<double>& widths) {
    double sum = 0;
    for (double width : widths) {
        sum += width;
    }
    return sum;
}

// The rows of one table on a page, with where each starts.
struct Block {
    bool summary = false;
    QList<ReportRow> rows;
    QList<double> tops;
};

// The fonts of a page, each made once: the painter looks a new font up in the font database
// on every text drawn with it.
class PageFonts {
public:
    PageFonts(const QPaintDevice* device, double fontScale)
        : device_(device), fontScale_(fontScale) {}

    struct Entry {
        double size;
        bool bold;
        QFont font;
        QFontMetricsF metrics;
    };
    const Entry& of(const ReportRow& row) {
        for (const Entry& entry : entries_) {
            if (entry.size == row.fontSize && entry.bold == row.bold) {
                return entry;
            }
        }
        const QFont font = RowFont(row, fontScale_);
        entries_.push_back({row.fontSize, row.bold, font, QFontMetricsF(font, device_)});
        return entries_.back();
    }

private:
    const QPaintDevice* device_;
    double fontScale_;
    std::deque<Entry> entries_;  // stays where it is as entries are added
};

// Draws a cell's text. `fast` (a data cell on the device its columns were measured on, so its
// text fits) draws it from its baseline without laying out a line, measuring it only to place
// it from the right. Otherwise the text is laid out in its box and, should a device measure it
// wider than the box, printed smaller rather than cut: paper cannot scroll.
void DrawCellText(QPainter& painter, const PageFonts::Entry& font, const QRectF& box,
                  Qt::Alignment alignment, const QString& text, bool fast) {
    const bool right = alignment & Qt::AlignRight;
    if (fast) {
        const double advance = right ? font.metrics.horizontalAdvance(text) : 0;
        const double x = right ? box.right() - advance : box.left();
        const double baseline =
            box.top() + (box.height() - font.metrics.ascent() - font.metrics.descent()) / 2 +
            font.metrics.ascent();
        painter.drawText(QPointF(x, baseline), text);
        return;
    }
    const double advance = font.metrics.horizontalAdvance(text);
    const bool shrink = advance > box.width() && box.width() > 0;
    if (shrink) {
        QFont smaller = font.font;
        smaller.setPointSizeF(font.font.pointSizeF() * box.width() / advance * 0.98);
        painter.setFont(smaller);
    }
    painter.drawText(box, int(alignment) | Qt::TextSingleLine, text);
    if (shrink) {
        painter.setFont(font.font);
    }
}

void PaintBlock(QPainter& painter, const Report& report, const Block& block,
                const QList<double>& edges, double s, PageFonts& fonts, double points, bool exact) {
    const QList<ReportColumn>& columns = block.summary ? report.summary.columns : report.columns;
    const double left = edges.first();
    const double width = edges.last() - left;
    const double pad = kPadding * s;
    double top = block.tops.first();
    double bottom = top;
    bool framed = false;
    painter.setPen(Qt::black);
    for (int i = 0; i < block.rows.size(); ++i) {
        const ReportRow& row = block.rows[i];
        const double h = row.height * s;
        const double y = block.tops[i];
        if (row.kind != ReportRowKind::SummaryCaption) {
            if (!framed) {
                top = y;
                framed = true;
            }
            bottom = y + h;
        }
        if (row.shaded) {
            painter.fillRect(QRectF(left, y, width, h), kShade);
        }
        const PageFonts::Entry& font = fonts.of(row);
        if (painter.font() != font.font) {
            painter.setFont(font.font);
        }
        if (row.merged) {
            QRectF box(left + pad, y, width - 2 * pad, h);
            // The summary's caption keeps clear of the frame below it.
            if (row.kind == ReportRowKind::SummaryCaption) {
                box.setBottom(y + h - pad);
            }
            painter.drawText(box, int(CellAlignment(columns, row, 0)) | Qt::TextSingleLine,
                             row.cells.value(0));
            continue;
        }
        for (int c = 0; c < row.cells.size() && c + 1 < edges.size(); ++c) {
            if (row.cells[c].isEmpty()) {
                continue;
            }
            const QRectF box(edges[c] + pad, y, edges[c + 1] - edges[c] - 2 * pad, h);
            // Only data rows, the bulk of a report, take the fast way.
            DrawCellText(painter, font, box, CellAlignment(columns, row, c), row.cells[c],
                         exact && row.kind == ReportRowKind::Data);
        }
    }
    if (!framed) {
        return;
    }

    // Thin lines inside, all at once, then the thick frame over them.
    QList<QLineF> lines;
    for (int i = 0; i < block.rows.size(); ++i) {
        const ReportRow& row = block.rows[i];
        if (row.kind == ReportRowKind::SummaryCaption) {
            continue;
        }
        if (block.tops[i] > top) {
            lines << QLineF(left, block.tops[i], left + width, block.tops[i]);
        }
        if (row.merged) {
            continue;
        }
        const double rowBottom = block.tops[i] + row.height * s;
        for (int c = 1; c + 1 < edges.size(); ++c) {
            lines << QLineF(edges[c], block.tops[i], edges[c], rowBottom);
        }
    }
    painter.setPen(QPen(Qt::black, kThinPoints * points));
    painter.drawLines(lines);
    QPen thick(Qt::black, kThickPoints * points);
    thick.setJoinStyle(Qt::MiterJoin);
    painter.setPen(thick);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(left, top, width, bottom - top));
    // The title stands in a thick frame of its own.
    if (block.rows.size() > 1 && block.rows[0].kind == ReportRowKind::Title) {
        painter.drawLine(QPointF(left, block.tops[1]), QPointF(left + width, block.tops[1]));
    }
}

QList<double> Edges(double left, const QList<double>& widths, double s) {
    QList<double> edges{left};
    for (double width : widths) {
        edges << edges.last() + width * s;
    }
    return edges;
}

// Widens `widths` to the rows of the report's own table or of its summary that are not data
// rows (title, headings, totals, footer); the data rows are skipped without being read.
void WidenToFrameRows(const Report& report, bool summary, const QPaintDevice& device,
                      QList<double>& widths) {
    const int count = ReportRowCount(report);
    for (int number = 1; number <= count; ++number) {
        const int index = ReportDataIndex(report, number);
        if (index >= 0) {
            number += report.rows->count() - index - 1;
            continue;
        }
        const ReportRow row = ReportRowFrame(report, number);
        if (IsSummaryRow(row.kind) == summary) {
            Widen(widths, row, device);
        }
    }
}

}  // namespace

DbResult<QList<double>> ReportColumnWidths(const Report& report, const QPaintDevice& device) {
    QList<double> widths = OwnWidths(report.columns);
    WidenToFrameRows(report, false, device, widths);
    ReportRow data;
    data.fontSize = report.dataFontSize;
    ShapeWidths shapes(RowFont(data, 1), device, widths.size());
    const DbStatus read = ReadAllReportRows(
        *report.rows, [&](int, const QList<QByteArrayView>& cells) { shapes.add(widths, cells); });
    if (!read) {
        return DbResult<QList<double>>::failure(read.error());
    }
    return widths;
}

QList<double> ReportSummaryWidths(const Report& report, const QPaintDevice& device) {
    QList<double> widths = OwnWidths(report.summary.columns);
    WidenToFrameRows(report, true, device, widths);
    return widths;
}

DbResult<ReportPlacement> PlaceReport(const Report& report, const QRectF& area,
                                      const QPaintDevice& device) {
    DbResult<QList<double>> widths = ReportColumnWidths(report, device);
    if (!widths) {
        return DbResult<ReportPlacement>::failure(widths.error());
    }
    ReportPlacement placement;
    placement.area = area;
    placement.dpi = device.logicalDpiY();
    placement.dpiX = device.logicalDpiX();
    placement.widths = *widths;
    placement.summaryWidths = ReportSummaryWidths(report, device);
    const double natural = device.logicalDpiX() / kScreenDpi;
    const double width = std::max({Sum(placement.widths), Sum(placement.summaryWidths), 1.0});
    placement.scale = std::min(natural, area.width() / width);
    const double pageHeight = area.height() / placement.scale - kPageNumberHeight;
    placement.pages = PaginateReport(report, pageHeight);
    return placement;
}

DbStatus PaintReportPage(QPainter& painter, const Report& report, const ReportPlacement& placement,
                         int pageIndex) {
    if (pageIndex < 0 || pageIndex >= placement.pages.size() || !painter.device()) {
        return DbOk();
    }
    const QList<int>& numbers = placement.pages[pageIndex].rows;
    QList<ReportRow> rows;
    rows.reserve(numbers.size());
    int firstData = -1;  // the data rows of a page follow one another
    int firstDataAt = 0;
    int dataRows = 0;
    for (int number : numbers) {
        rows << ReportRowFrame(report, number);
        const int index = ReportDataIndex(report, number);
        if (index >= 0) {
            if (firstData < 0) {
                firstData = index;
                firstDataAt = int(rows.size()) - 1;
            }
            ++dataRows;
        }
    }
    if (dataRows > 0) {
        const DbStatus read = report.rows->read(
            firstData, dataRows, [&](int row, const QList<QByteArrayView>& cells) {
                QStringList& target = rows[firstDataAt + row - firstData].cells;
                for (qsizetype c = 0; c < target.size() && c < cells.size(); ++c) {
                    target[c] = QString::fromUtf8(cells[c]);
                }
            });
        if (!read) {
            return read;
        }
    }

    const double s = placement.scale;
    // Fonts shrink with the table when it is narrowed to fit the paper; on another device than
    // the one laid out on they keep their size in the placement's units.
    const double fontScale = s * kScreenDpi / painter.device()->logicalDpiY();
    const double width = Sum(placement.widths) * s;
    const double left = placement.area.left() + std::max(0.0, (placement.area.width() - width) / 2);
    const QList<double> edges = Edges(left, placement.widths, s);
    const QList<double> summaryEdges = Edges(left, placement.summaryWidths, s);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QList<Block> blocks;
    double y = placement.area.top();
    for (const ReportRow& row : rows) {
        const bool summary = IsSummaryRow(row.kind);
        if (blocks.isEmpty() || blocks.last().summary != summary) {
            blocks.append(Block{summary, {}, {}});
        }
        blocks.last().rows << row;
        blocks.last().tops << y;
        y += row.height * s;
    }
    const double bottom = y;
    const double points = placement.dpi / 72.0;
    // On the device laid out on, every data text fits the width measured for its shape.
    const bool exact = painter.worldTransform().isIdentity() &&
                       painter.device()->logicalDpiY() == placement.dpi &&
                       painter.device()->logicalDpiX() == placement.dpiX;
    PageFonts fonts(painter.device(), fontScale);
    for (const Block& block : blocks) {
        PaintBlock(painter, report, block, block.summary ? summaryEdges : edges, s, fonts, points,
                   exact);
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
    return DbOk();
}

bool ReportNeedsLandscape(const Report& report, const QPaintDevice& device) {
    if (report.landscape) {
        return true;
    }
    const QPageLayout portrait(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                               QMarginsF(12, 15, 12, 12), QPageLayout::Millimeter);
    // The printable width in report pixels.
    const double available = portrait.paintRect(QPageLayout::Inch).width() * kScreenDpi;
    const DbResult<QList<double>> widths = ReportColumnWidths(report, device);
    if (!widths) {
        // Printing reads the rows again and says why it cannot.
        return false;
    }
    const double needed = std::max(Sum(*widths), Sum(ReportSummaryWidths(report, device)));
    return needed * kPortraitShrink > available;
}

void SetUpReportPrinter(QPrinter& printer, const Report& report) {
    printer.setDocName(report.title);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(ReportNeedsLandscape(report, printer) ? QPageLayout::Landscape
                                                                     : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(12, 15, 12, 12), QPageLayout::Millimeter);
}

bool PrintReport(const Report& report, QPrinter& printer, QString* readError) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    // The painter's origin is the printable area's corner unless the printer prints the full page.
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const QRectF area = printer.fullPage() ? page : QRectF(QPointF(0, 0), page.size());
    const DbResult<ReportPlacement> placement = PlaceReport(report, area, printer);
    DbStatus read = placement ? DbOk() : DbStatus::failure(placement.error());
    for (int i = 0; read && i < placement->pages.size(); ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            return false;
        }
        read = PaintReportPage(painter, report, *placement, i);
    }
    if (!read) {
        // Half a report is no report: the job is dropped rather than finished.
        printer.abort();
        painter.end();
        if (readError) {
            *readError = read.error();
        }
        return false;
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}
