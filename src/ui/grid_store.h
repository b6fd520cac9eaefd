#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "ui/grid_format.h"
#include "ui/row_arena.h"
#include "ui/row_map.h"

namespace ui {

struct GridColumn {
    int width = -1;  // -1: the default width, 0: hidden
    bool locked = false;
    int alignment = 0;         // code for rows 1 and below, 0: default
    int headingAlignment = 0;  // code for row 0, 0: default
    int kind = 0;              // 2: read-only check box
};

// Sparse cell storage: only rows holding text, a format or a height have an entry, kept
// sorted by row index; formats are shared through an interned table. Each row's texts are
// packed in UTF-8 with their lengths into large shared blocks, so a long list costs little more
// than its text. Heights and formats, which lists rarely have, are kept apart.
class GridStore {
public:
    GridStore();

    int rows() const { return rowCount_; }
    int cols() const { return colCount_; }
    void setRows(int count);
    void setCols(int count);

    QString text(int row, int col) const;
    void setText(int row, int col, const QString& text);
    // The same from UTF-8, as the database hands text over: no conversion until it is shown.
    void setUtf8(int row, int col, QByteArrayView utf8);

    int formatIndex(int row, int col) const;
    const CellFormat& format(int row, int col) const { return formatTable_[formatIndex(row, col)]; }
    // Applies `edit` to every cell of the range; cells that share a format share the result.
    void editFormats(const GridRange& range, const std::function<void(CellFormat&)>& edit);
    int formatCount() const { return static_cast<int>(formatTable_.size()); }

    int rowHeight(int row) const;  // 0 when the row has the default height
    void setRowHeight(int row, int height);
    void forEachRowHeight(const std::function<void(int row, int height)>& visit) const;
    // Visits, in order, every row that holds a text, a format or a height, with the number of
    // its leading columns that may hold a text or a format; the rest of the row is empty.
    void forEachStoredRow(const std::function<void(int row, int usedCols)>& visit) const;
    // Visits every non-empty text, row by row, as stored (UTF-8, no conversion), with its
    // cell's format index.
    void forEachStoredText(
        const std::function<void(int row, int col, QByteArrayView utf8, int format)>& visit) const;

    const GridColumn& column(int col) const { return columns_[col]; }
    GridColumn& column(int col) { return columns_[col]; }

    const std::vector<GridRange>& merges() const { return merges_; }
    void merge(const GridRange& range);
    void unmerge(const GridRange& range);
    const GridRange* mergeAt(int row, int col) const;

    // `count` rows or columns from `row` or `col` on, at once.
    void insertRow(int row, int count = 1);
    void removeRow(int row, int count = 1);
    void insertColumn(int col, int count = 1);
    void removeColumn(int col, int count = 1);

    int storedRowCount() const;
    // Bytes held for the texts: their blocks, the open row and the row index.
    qsizetype heldBytes() const;
    bool inRange(int row, int col) const {
        return row >= 0 && row < rowCount_ && col >= 0 && col < colCount_;
    }

private:
    // Where a row's texts are: a record in the arena, or the open row.
    using TextRef = RowArena::Ref;
    static constexpr quint32 kOpenRow = 0xFFFFFFFF;
    static bool isOpen(TextRef ref) { return ref.block == kOpenRow; }

    int cellCount(TextRef ref) const;
    QByteArrayView cell(TextRef ref, int col) const;
    template <class Visit>
    void forEachCell(TextRef ref, Visit&& visit) const;

    // The row being written is kept unpacked until another row is written or the layout
    // changes, so filling a row cell by cell appends to it rather than packing it again.
    void openRow(int row);
    void closeOpenRow();
    // Packs every row again, changed by `change`, and drops the waste of edited rows.
    void rebuildTexts(const std::function<void(RowTexts&)>& change);
    void compactIfWasteful();
    void eraseTexts(int from, int to);

    int& formatForWrite(int row, int col);
    bool isBlank(int row) const;
    void dropIfBlank(int row);
    int intern(const CellFormat& format);
    // Moves merges for `count` lines inserted at `at`, or removed from it when count < 0.
    void shiftMerges(bool rowsAxis, int at, int count);

    int rowCount_ = 1;
    int colCount_ = 1;
    RowArena arena_;
    RowMap<TextRef> texts_;
    int openIndex_ = -1;
    RowTexts open_;
    RowMap<int> heights_;
    RowMap<std::vector<int>> formats_;  // rows with a cell format; empty while all are default
    std::vector<GridColumn> columns_;
    std::vector<CellFormat> formatTable_;
    std::vector<GridRange> merges_;
};

}  // namespace ui
