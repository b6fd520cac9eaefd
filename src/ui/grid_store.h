#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "ui/grid_format.h"

namespace ui {

struct GridColumn {
    int width = -1;  // -1: the default width, 0: hidden
    bool locked = false;
    int alignment = 0;         // code for rows 1 and below, 0: default
    int headingAlignment = 0;  // code for row 0, 0: default
    int kind = 0;              // 2: read-only check box
};

// Sparse cell storage: only rows holding text, a format or a height have an entry, kept
// sorted by row index; formats are shared through an interned table. A row keeps all its
// texts in one UTF-8 string with the end of each cell, so a list of 100,000 rows costs one
// allocation a row rather than one a cell.
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
    const CellFormat& format(int row, int col) const { return formats_[formatIndex(row, col)]; }
    // Applies `edit` to every cell of the range; cells that share a format share the result.
    void editFormats(const GridRange& range, const std::function<void(CellFormat&)>& edit);
    int formatCount() const { return static_cast<int>(formats_.size()); }

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

    int storedRowCount() const { return static_cast<int>(rows_.size()); }
    bool inRange(int row, int col) const {
        return row >= 0 && row < rowCount_ && col >= 0 && col < colCount_;
    }

private:
    struct Row {
        int index = 0;
        int height = 0;
        QByteArray texts;           // every cell's text in UTF-8, one after the other
        std::vector<quint32> ends;  // ends[c]: where cell c's text ends in `texts`
        std::vector<int> formats;   // empty while every cell has the default format

        qsizetype start(int col) const { return col == 0 ? 0 : ends[col - 1]; }
        QString text(int col) const;
        void setText(int col, QByteArrayView utf8);
        void insertCells(int col, int count);
        void removeCells(int col, int count);
        void truncate(int cols);
        void squeeze();
    };

    std::vector<Row>::iterator lowerBound(int row);
    std::vector<Row>::const_iterator lowerBound(int row) const;
    const Row* findRow(int row) const;
    Row& rowForWrite(int row);
    int& formatForWrite(int row, int col);
    static bool isBlank(const Row& entry);
    void dropIfEmpty(std::vector<Row>::iterator it);
    int intern(const CellFormat& format);
    // Moves merges for `count` lines inserted at `at`, or removed from it when count < 0.
    void shiftMerges(bool rowsAxis, int at, int count);

    int rowCount_ = 1;
    int colCount_ = 1;
    std::vector<Row> rows_;
    std::vector<GridColumn> columns_;
    std::vector<CellFormat> formats_;
    std::vector<GridRange> merges_;
};

}  // namespace ui
