#include "import/sheet_grid.h"

#include <algorithm>
#include <cmath>

#include "ui/grid.h"
#include "ui/grid_model.h"

namespace {

std::optional<quint32> Rgb(const QColor& color) {
    return color.isValid() ? std::optional<quint32>(color.rgb() & 0xFFFFFF) : std::nullopt;
}

QColor Color(const std::optional<quint32>& rgb) {
    return rgb ? QColor::fromRgb(QRgb(0xFF000000 | *rgb)) : QColor();
}

SheetDocument::Format FileFormat(const ui::CellFormat& f) {
    SheetDocument::Format out;
    out.bold = f.bold;
    out.italic = f.italic;
    out.underline = f.underline;
    out.wrap = f.wrap;
    out.locked = f.locked;
    out.textColor = Rgb(f.textColor);
    out.backColor = Rgb(f.backColor);
    out.alignment = f.alignment;
    out.left = quint8(f.left);
    out.top = quint8(f.top);
    out.right = quint8(f.right);
    out.bottom = quint8(f.bottom);
    out.fontTenths = int(std::lround(f.fontSize * 10));
    out.fontName = f.fontName;
    return out;
}

ui::CellFormat CellFormat(const SheetDocument::Format& f) {
    ui::CellFormat out;
    out.bold = f.bold;
    out.italic = f.italic;
    out.underline = f.underline;
    out.wrap = f.wrap;
    out.locked = f.locked;
    out.textColor = Color(f.textColor);
    out.backColor = Color(f.backColor);
    out.alignment = f.alignment;
    out.left = ui::BorderStyle(f.left);
    out.top = ui::BorderStyle(f.top);
    out.right = ui::BorderStyle(f.right);
    out.bottom = ui::BorderStyle(f.bottom);
    out.fontSize = f.fontTenths / 10.0;
    out.fontName = f.fontName;
    return out;
}

}  // namespace

SheetDocument SheetFromGrid(const ui::Grid& grid) {
    const ui::GridStore& store = grid.gridModel()->store();
    SheetDocument doc;
    doc.rows = store.rows();
    doc.cols = store.cols();
    for (int col = 0; col < store.cols(); ++col) {
        const ui::GridColumn& column = store.column(col);
        if (column.width != -1 || column.locked) {
            doc.columns.push_back({col, column.width, column.locked});
        }
    }
    // Grid format index to file format index.
    std::vector<int> formats(size_t(store.formatCount()), -1);
    formats[0] = 0;
    store.forEachStoredRow([&](int row, int usedCols) {
        SheetDocument::Line line{row, store.rowHeight(row), {}};
        for (int col = 0; col < usedCols; ++col) {
            const int index = store.formatIndex(row, col);
            QString text = store.text(row, col);
            if (index == 0 && text.isEmpty()) {
                continue;
            }
            if (formats[size_t(index)] < 0) {
                formats[size_t(index)] = int(doc.formats.size());
                doc.formats.push_back(FileFormat(store.format(row, col)));
            }
            line.cells.push_back({col, formats[size_t(index)], std::move(text)});
        }
        doc.lines.push_back(std::move(line));
    });
    return doc;
}

void ShowSheet(ui::Grid& grid, const SheetDocument& doc) {
    ui::GridModel* model = grid.gridModel();
    const bool redraw = grid.autoRedraw();
    grid.setAutoRedraw(false);
    // Down to one empty cell, then up to the document's size with default rows and columns.
    grid.setRows(1);
    grid.setCols(1);
    grid.setCellText(0, 0, QString());
    grid.formatCells({0, 0, 0, 0}, [](ui::CellFormat& f) { f = {}; });
    model->setRowHeight(0, 0);
    model->setColumnWidth(0, -1);
    model->setColumnLocked(0, false);
    grid.setCols(doc.cols);
    grid.setRows(doc.rows);
    for (const SheetDocument::Column& column : doc.columns) {
        model->setColumnWidth(column.col, column.width);
        model->setColumnLocked(column.col, column.locked);
    }
    std::vector<ui::CellFormat> formats;
    formats.reserve(doc.formats.size());
    for (const SheetDocument::Format& format : doc.formats) {
        formats.push_back(CellFormat(format));
    }
    for (const SheetDocument::Line& line : doc.lines) {
        if (line.height > 0) {
            grid.setRowHeight(line.row, line.height);
        }
        for (const SheetDocument::Cell& cell : line.cells) {
            grid.setCellText(line.row, cell.col, cell.text);
            if (cell.format != 0) {
                const ui::CellFormat& format = formats[size_t(cell.format)];
                grid.formatCells({line.row, cell.col, line.row, cell.col},
                                 [&format](ui::CellFormat& f) { f = format; });
            }
        }
    }
    grid.setAutoRedraw(redraw);
}

std::optional<SheetRows> CustomerRows(const ui::Grid& grid, qsizetype maxRows) {
    const ui::GridStore& store = grid.gridModel()->store();
    const int lastCol = std::min(store.cols() - 1, int(kSheetColumnCount));
    int lastRow = 0;
    store.forEachStoredRow([&](int row, int usedCols) {
        for (int col = 1; row > 0 && col <= std::min(lastCol, usedCols - 1); ++col) {
            if (!store.text(row, col).isEmpty()) {
                lastRow = row;
                return;
            }
        }
    });
    if (lastRow > maxRows) {
        return std::nullopt;
    }
    SheetRows rows(static_cast<size_t>(lastRow));
    store.forEachStoredRow([&](int row, int usedCols) {
        if (row < 1 || row > lastRow) {
            return;
        }
        for (int col = 1; col <= std::min(lastCol, usedCols - 1); ++col) {
            rows[size_t(row - 1)][size_t(col - 1)] = store.text(row, col);
        }
    });
    return rows;
}

void PutCustomerRows(ui::Grid& grid, const SheetRows& rows, qsizetype count) {
    const int lastCol = std::min(grid.cols() - 1, int(kSheetColumnCount));
    for (qsizetype i = 0; i < std::min(count, qsizetype(rows.size())); ++i) {
        for (int col = 1; col <= lastCol; ++col) {
            const QString& text = rows[size_t(i)][size_t(col - 1)];
            if (grid.cellText(int(i + 1), col) != text) {
                grid.setCellText(int(i + 1), col, text);
            }
        }
    }
}
