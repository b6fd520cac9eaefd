#pragma once

#include <memory>

#include "reports/report_rows.h"

namespace ui {
class Grid;
}

// The data rows of a list window's grid as report rows: grid rows 1 to `rows`, the columns
// from `firstColumn` on (a hidden key column left out). Cells are read from the grid as they
// are asked for, a chunk at a time, never copied as a whole. Reading fails once the grid is gone.
std::shared_ptr<const ReportRows> GridReportRows(const ui::Grid& grid, int rows, int firstColumn);
