#pragma once

#include <QColor>
#include <QString>
#include <vector>

#include "ui/grid_format.h"

namespace ui {
class Grid;
}

// The import sheet's editing commands, each on the grid's selection.
namespace sheet_commands {

enum class FontStyle { Bold, Italic, Underline };
enum class Clearing { All, Format, Text };

// Empties the sheet to its heading row, with the eight headings and the sheet's font.
void NewSheet(ui::Grid& grid);

// Sets the style on the whole selection when the active cell lacks it, and takes it off the
// whole selection when the active cell has it.
void ToggleFontStyle(ui::Grid& grid, FontStyle style);
void SetFontName(ui::Grid& grid, const QString& name);
void SetFontSize(ui::Grid& grid, double points);
void SetTextColor(ui::Grid& grid, const QColor& color);
void SetBackColor(ui::Grid& grid, const QColor& color);
void SetAlignment(ui::Grid& grid, int code);
void SetBorders(ui::Grid& grid, const std::vector<ui::GridEdge>& edges, ui::BorderStyle style);
void SetWrap(ui::Grid& grid, bool on);
void SetLocked(ui::Grid& grid, bool on);
void Clear(ui::Grid& grid, Clearing what);

// Whole rows or columns of the selection; the heading row and the leading column stay.
void DeleteRows(ui::Grid& grid);
void DeleteColumns(ui::Grid& grid);
// As many rows (columns) as the selection spans, before it, up to the sheet's limit.
void InsertRows(ui::Grid& grid);
void InsertColumns(ui::Grid& grid);

}  // namespace sheet_commands
