#pragma once

#include "import/sheet_format.h"
#include "import/sheet_rows.h"

namespace ui {
class Grid;
}

// The sheet file's document of what the grid holds: texts, cell formats, row heights, column
// widths and locks.
SheetDocument SheetFromGrid(const ui::Grid& grid);

// Replaces everything the grid holds with the document.
void ShowSheet(ui::Grid& grid, const SheetDocument& document);

// The customer rows of the sheet: columns 1 to 8 of rows 1 to the last row holding a text there.
// Nothing when that row lies beyond `maxRows`.
std::optional<SheetRows> CustomerRows(const ui::Grid& grid, qsizetype maxRows);

// Writes the texts of the first `count` customer rows back where CustomerRows read them, where
// they differ.
void PutCustomerRows(ui::Grid& grid, const SheetRows& rows, qsizetype count);
