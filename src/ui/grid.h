#pragma once

#include <QByteArrayView>
#include <QTableView>
#include <functional>
#include <vector>

#include "ui/grid_delegate.h"
#include "ui/grid_format.h"

namespace ui {

class GridModel;
class GridRowSource;

// The table every list window shows. Row 0 is the heading row (drawn as the fixed heading
// above the body) and column 0 the leading column; rows and columns count from 0.
class Grid : public QTableView {
    Q_OBJECT

public:
    explicit Grid(QWidget* parent = nullptr);
    ~Grid() override;

    GridModel* gridModel() const { return model_; }

    void setCols(int count);
    int cols() const;
    // Never below 1: setting 1 leaves only the heading row.
    void setRows(int count);
    int rows() const;

    void setCellText(int row, int col, const QString& text);
    // The same for UTF-8 text, as a recordset hands it over; lists filled from the database
    // use it to skip converting cells nobody looks at.
    void setCellUtf8(int row, int col, QByteArrayView utf8);
    QString cellText(int row, int col) const;
    // Shows `count` data rows from `source`, read as they come into view, in place of the rows
    // held; columns widen to the texts of each page read. Null, setRows() or a row inserted or
    // removed end it. The source must outlive its use here.
    void setRowSource(GridRowSource* source, int count);
    // The source has let row `row` go: the rows below it move up and still come from the source.
    void removeSourceRow(int row);

    void setRowHeight(int row, int px);
    int rowHeight(int row) const;
    // Width 0 hides the column; keyboard moves skip it.
    void setColumnWidth(int col, int px);
    int columnWidth(int col) const;
    void setColumnLocked(int col, bool locked);
    bool isColumnLocked(int col) const;
    void setColumnAlignment(int col, int code);
    void setHeadingAlignment(int col, int code);
    void setCellAlignment(int row, int col, int code);
    // Kind 2 shows the text "1" as a ticked, read-only check box.
    void setColumnCellKind(int col, int kind);
    void setGridFont(const QString& name, double pointSize);

    // The width a column needs to show `text` whole in the grid's font, with the cell margins.
    int widthForText(const QString& text) const;
    // Widens every shown column whose heading or cell texts do not fit it, measured in the
    // fonts they are drawn with; no column is narrowed.
    void widenColumnsToContent();
    // The same for the texts a walk hands over (row, column, UTF-8), in the grid's own font.
    using TextWalk = std::function<void(
        const std::function<void(int row, int col, QByteArrayView utf8, int format)>& visit)>;
    void widenColumnsFor(const TextWalk& walk);

    // `count` rows or columns from `row` or `col` on, at once.
    void insertRow(int row, int count = 1);
    void removeRow(int row, int count = 1);
    void insertColumn(int col, int count = 1);
    void removeColumn(int col, int count = 1);

    // With auto-redraw off changes are stored quietly until refresh() shows them at once.
    void setAutoRedraw(bool on);
    bool autoRedraw() const;
    void refresh();

    void applyStandardLook();
    void setColors(const GridColors& colors);
    const GridColors& colors() const { return colors_; }

    // Current cell; currentRow() is 0 when no data row is current.
    void setCurrentCell(int row, int col);
    int currentRow() const;
    int currentCol() const;

    // Whole rows (the default, for lists) or cell ranges (for sheets) are selected.
    void setWholeRowSelection(bool on);
    GridRange selection() const;
    void setSelection(const GridRange& range);

    CellFormat cellFormat(int row, int col) const;
    void formatCells(const GridRange& range, const std::function<void(CellFormat&)>& edit);
    void setCellsBorder(const GridRange& range, GridEdge edge, BorderStyle style);
    void mergeCells(const GridRange& range);
    void unmergeCells(const GridRange& range);
    std::vector<GridRange> mergedRanges() const;

signals:
    // For moves by the user and setCurrentCell(); adding or removing rows never emits it.
    void currentCellChanged(int row, int col);
    // A double click on a data row, or Enter on the current one.
    void rowDoubleClicked();
    // On press, after the current cell has moved under the pointer.
    // button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt; x, y in this widget.
    void mouseButton(int button, int shift, int x, int y);
    // The menu key or Shift+F10; row is currentRow().
    void contextMenuRequested(int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyLayout();
    std::vector<int> neededWidths(const TextWalk& walk) const;
    void applyNeededWidths(const std::vector<int>& needed);
    void applyRowHeight(int row);
    void applyColumnWidth(int col);
    void syncSpans();
    void emitMouseButton(const QMouseEvent* event, const QPoint& gridPos);
    // Runs a change of rows or columns. The current cell keeps its numbers while they
    // still name a cell (else no cell is current), and no currentCellChanged is emitted.
    void changeStructure(const std::function<void()>& change);
    void placeCurrentQuietly(int row, int col);
    QItemSelectionModel::SelectionFlags selectCommand() const;
    int defaultRowHeight() const;

    GridColors colors_;
    GridModel* model_;
    GridHeading* heading_;
    int quiet_ = 0;
    bool applyingLayout_ = false;
    bool layoutDirty_ = false;
    // The current cell while auto-redraw is off; the view is told at refresh().
    int heldRow_ = 0;
    int heldCol_ = 0;
};

}  // namespace ui
