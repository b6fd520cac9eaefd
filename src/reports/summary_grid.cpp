#include "reports/summary_grid.h"

#include <QStyle>

#include "reports/report_layout.h"
#include "ui/grid.h"

namespace {

constexpr int kRightCentre = 14;
constexpr int kCentre = 10;
constexpr int kLeftCentre = 6;
constexpr int kGridHeadingHeight = 30;
constexpr int kVisibleRows = 6;  // below the heading, the total row included

}  // namespace

void SetUpSummaryGrid(ui::Grid& grid, const ReportSummary& table) {
    const int count = int(table.columns.size()) + 1;
    grid.setAutoRedraw(false);
    grid.applyStandardLook();
    grid.setGridFont(QStringLiteral("Tahoma"), 8);
    grid.setCols(count);
    grid.setRows(1);
    grid.setRowHeight(0, kGridHeadingHeight);
    grid.setColumnWidth(0, 0);
    for (int col = 1; col < count; ++col) {
        const ReportColumn& column = table.columns[col - 1];
        grid.setCellText(0, col, column.heading);
        grid.setColumnWidth(col, column.width);
        grid.setColumnAlignment(col, column.numeric ? kRightCentre : kLeftCentre);
        grid.setHeadingAlignment(col, kCentre);
        grid.setColumnLocked(col, true);
    }
    grid.setAutoRedraw(true);
    grid.refresh();
    ShowSummaryGrid(grid, table);
}

void ShowSummaryGrid(ui::Grid& grid, const ReportSummary& table) {
    QList<QStringList> rows = table.rows;
    if (!table.total.isEmpty()) {
        rows << table.total;
    }
    grid.setAutoRedraw(false);
    // Rows of the last summary go, with the bold of its total row.
    grid.setRows(1);
    grid.setRows(int(rows.size()) + 1);
    for (int row = 1; row <= rows.size(); ++row) {
        for (int col = 1; col < grid.cols(); ++col) {
            grid.setCellText(row, col, rows[row - 1].value(col - 1));
        }
    }
    if (!table.total.isEmpty()) {
        const int totalRow = int(rows.size());
        grid.formatCells({totalRow, 1, totalRow, grid.cols() - 1},
                         [](ui::CellFormat& format) { format.bold = true; });
    }
    grid.widenColumnsToContent();
    grid.setAutoRedraw(true);
    grid.refresh();
    int width = 2 * grid.frameWidth() + grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int col = 0; col < grid.cols(); ++col) {
        width += grid.columnWidth(col);
    }
    grid.setFixedWidth(width);
    grid.setFixedHeight(2 * grid.frameWidth() + grid.rowHeight(0) +
                        kVisibleRows * grid.rowHeight(1));
}
