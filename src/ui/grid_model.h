#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <functional>

#include "ui/grid_row_source.h"
#include "ui/grid_store.h"

namespace ui {

// The table model under ui::Grid. Row 0 is the heading row and column 0 the leading column;
// both are ordinary rows and columns here. With auto-redraw off every change is kept quiet
// and publish() tells the views once.
class GridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Role {
        BordersRole = Qt::UserRole + 1,  // packed BorderStyle per edge, see borderOf()
        WrapRole,
    };
    static BorderStyle borderOf(int packed, GridEdge edge);

    explicit GridModel(QObject* parent = nullptr);

    const GridStore& store() const { return store_; }

    // Data rows shown from `source` rather than the store: rows 1 .. count come from it, the
    // heading row, the columns and their looks stay in the store. Null stops it; the rows the
    // store holds then show again.
    void setRowSource(GridRowSource* source, int count);
    GridRowSource* rowSource() const { return source_; }
    // One row fewer from the source, which has let row `row` go.
    void removeSourceRow(int row);
    QString text(int row, int col) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    void setRows(int count);
    void setCols(int count);
    void insertRow(int row, int count = 1);
    void removeRow(int row, int count = 1);
    void insertColumn(int col, int count = 1);
    void removeColumn(int col, int count = 1);

    void setText(int row, int col, const QString& text);
    void setUtf8(int row, int col, QByteArrayView utf8);
    void setRowHeight(int row, int height) { store_.setRowHeight(row, height); }
    void setColumnWidth(int col, int width);
    void setColumnLocked(int col, bool locked);
    void setColumnAlignment(int col, int code);
    void setHeadingAlignment(int col, int code);
    void setColumnKind(int col, int kind);
    void editFormats(const GridRange& range, const std::function<void(CellFormat&)>& edit);
    void merge(const GridRange& range);
    void unmerge(const GridRange& range);

    void setBaseFont(const QFont& font);
    const QFont& baseFont() const { return baseFont_; }
    Qt::Alignment alignment(int row, int col) const;
    bool isCheckCell(int row, int col) const;

    // Turning auto-redraw back on does not publish by itself; call publish().
    void setAutoRedraw(bool on);
    bool autoRedraw() const { return autoRedraw_; }
    // Tells the views about quiet changes; returns true when that took a model reset.
    bool publish();

private:
    void cellsChanged(int row1, int col1, int row2, int col2);
    void columnChanged(int col) { cellsChanged(0, col, shownRows_ - 1, col); }
    int packedBorders(int row, int col) const;

    // Inserts or removes the rows (Qt::Vertical) or columns [first, last] through `apply`; the
    // view hears of it at once, or at the next refresh while redrawing is off.
    void reshape(Qt::Orientation lines, bool inserting, int first, int last,
                 const std::function<void()>& apply);

    GridStore store_;
    GridRowSource* source_ = nullptr;
    QFont baseFont_;
    bool autoRedraw_ = true;
    bool structureDirty_ = false;
    bool dataDirty_ = false;
    // What the views have been told; differs from the store only with auto-redraw off.
    int shownRows_ = 1;
    int shownCols_ = 1;
};

}  // namespace ui
