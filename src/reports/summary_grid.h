#pragma once

struct ReportSummary;

namespace ui {
class Grid;
}

// A summary table on screen, as a list window shows it under its list: a hidden leading
// column, the table's headings, names to the left, numbers to the right and its total row in
// bold. Its headings and columns come from `table`.
void SetUpSummaryGrid(ui::Grid& grid, const ReportSummary& table);

// Shows the table's rows and its total in place of what the grid showed, widening columns to
// their texts. The grid takes the width of its columns and the height of a few rows; more rows
// scroll.
void ShowSummaryGrid(ui::Grid& grid, const ReportSummary& table);
