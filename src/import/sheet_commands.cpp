#include "import/sheet_commands.h"

#include <algorithm>
#include <array>

#include "import/sheet_rows.h"
#include "import/sheet_size.h"
#include "ui/grid.h"
#include "ui/grid_model.h"

namespace sheet_commands {

namespace {

const QString kSheetFont = QStringLiteral("宋体");
constexpr double kSheetFontSize = 9;
// Wide enough for a date, a plate, a telephone and an eighteen-digit identity number.
constexpr std::array<int, kSheetColumnCount + 1> kColumnWidths = {24,  90, 90,  80, 60,
                                                                  110, 90, 160, 110};

void Format(ui::Grid& grid, const std::function<void(ui::CellFormat&)>& edit) {
    grid.formatCells(grid.selection(), edit);
}

// The selection without the heading row and the leading column, or nothing.
std::optional<ui::GridRange> BodySelection(const ui::Grid& grid) {
    ui::GridRange r = grid.selection().normalized();
    r.row1 = std::max(r.row1, 1);
    r.col1 = std::max(r.col1, 1);
    if (r.row1 > r.row2 || r.col1 > r.col2 || r.row2 >= grid.rows() || r.col2 >= grid.cols()) {
        return std::nullopt;
    }
    return r;
}

}  // namespace

void NewSheet(ui::Grid& grid) {
    grid.setAutoRedraw(false);
    grid.setRows(1);
    grid.setCols(1);
    grid.setCols(kSheetColumnCount + 1);
    grid.formatCells({0, 0, 0, kSheetColumnCount}, [](ui::CellFormat& f) { f = {}; });
    for (int col = 0; col <= kSheetColumnCount; ++col) {
        grid.setCellText(0, col, col == 0 ? QString() : SheetHeadings()[col - 1]);
        grid.setColumnWidth(col, kColumnWidths[size_t(col)]);
        grid.setColumnLocked(col, false);
    }
    grid.setGridFont(kSheetFont, kSheetFontSize);
    grid.setAutoRedraw(true);
}

void ToggleFontStyle(ui::Grid& grid, FontStyle style) {
    const ui::CellFormat active = grid.cellFormat(grid.currentRow(), grid.currentCol());
    switch (style) {
        case FontStyle::Bold:
            Format(grid, [on = !active.bold](ui::CellFormat& f) { f.bold = on; });
            break;
        case FontStyle::Italic:
            Format(grid, [on = !active.italic](ui::CellFormat& f) { f.italic = on; });
            break;
        case FontStyle::Underline:
            Format(grid, [on = !active.underline](ui::CellFormat& f) { f.underline = on; });
            break;
    }
}

void SetFontName(ui::Grid& grid, const QString& name) {
    Format(grid, [&name](ui::CellFormat& f) { f.fontName = name; });
}

void SetFontSize(ui::Grid& grid, double points) {
    Format(grid, [points](ui::CellFormat& f) { f.fontSize = points; });
}

void SetTextColor(ui::Grid& grid, const QColor& color) {
    Format(grid, [&color](ui::CellFormat& f) { f.textColor = color; });
}

void SetBackColor(ui::Grid& grid, const QColor& color) {
    Format(grid, [&color](ui::CellFormat& f) { f.backColor = color; });
}

void SetAlignment(ui::Grid& grid, int code) {
    Format(grid, [code](ui::CellFormat& f) { f.alignment = code; });
}

void SetBorders(ui::Grid& grid, const std::vector<ui::GridEdge>& edges, ui::BorderStyle style) {
    for (const ui::GridEdge edge : edges) {
        grid.setCellsBorder(grid.selection(), edge, style);
    }
}

void SetWrap(ui::Grid& grid, bool on) {
    Format(grid, [on](ui::CellFormat& f) { f.wrap = on; });
}

void SetLocked(ui::Grid& grid, bool on) {
    Format(grid, [on](ui::CellFormat& f) { f.locked = on; });
}

void Clear(ui::Grid& grid, Clearing what) {
    const ui::GridRange r = grid.selection().normalized();
    if (what != Clearing::Format) {
        // Only rows that hold something need a look, however far the selection reaches.
        std::vector<std::pair<int, int>> stored;
        grid.gridModel()->store().forEachStoredRow([&](int row, int usedCols) {
            if (row >= std::max(r.row1, 1) && row <= r.row2) {
                stored.emplace_back(row, usedCols);
            }
        });
        grid.setAutoRedraw(false);
        for (const auto& [row, usedCols] : stored) {
            for (int col = std::max(r.col1, 0); col <= std::min(r.col2, usedCols - 1); ++col) {
                grid.setCellText(row, col, QString());
            }
        }
        grid.setAutoRedraw(true);
    }
    if (what != Clearing::Text) {
        Format(grid, [](ui::CellFormat& f) { f = {}; });
    }
}

void DeleteRows(ui::Grid& grid) {
    if (const auto r = BodySelection(grid)) {
        grid.removeRow(r->row1, r->row2 - r->row1 + 1);
    }
}

void DeleteColumns(ui::Grid& grid) {
    if (const auto r = BodySelection(grid)) {
        grid.removeColumn(r->col1, r->col2 - r->col1 + 1);
    }
}

void InsertRows(ui::Grid& grid) {
    if (const auto r = BodySelection(grid)) {
        const int count = std::min(r->row2 - r->row1 + 1, kMaxSheetLines - grid.rows());
        if (count > 0) {
            grid.insertRow(r->row1, count);
        }
    }
}

void InsertColumns(ui::Grid& grid) {
    if (const auto r = BodySelection(grid)) {
        const int count = std::min(r->col2 - r->col1 + 1, kMaxSheetLines - grid.cols());
        if (count > 0) {
            grid.insertColumn(r->col1, count);
        }
    }
}

}  // namespace sheet_commands
