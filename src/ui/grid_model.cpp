#include "ui/grid_model.h"

#include <QBrush>
#include <algorithm>

namespace ui {

namespace {

constexpr int kCheckBoxKind = 2;

int edgeShift(GridEdge edge) {
    switch (edge) {
        case GridEdge::Left:
            return 0;
        case GridEdge::Top:
            return 2;
        case GridEdge::Right:
            return 4;
        default:
            return 6;
    }
}

int pack(BorderStyle style, GridEdge edge) {
    return static_cast<int>(style) << edgeShift(edge);
}

}  // namespace

BorderStyle GridModel::borderOf(int packed, GridEdge edge) {
    return static_cast<BorderStyle>((packed >> edgeShift(edge)) & 3);
}

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownCols_;
}

Qt::Alignment GridModel::alignment(int row, int col) const {
    if (!store_.inRange(row, col)) {
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
    const int own = store_.format(row, col).alignment;
    if (IsAlignmentCode(own)) {
        return AlignmentFromCode(own);
    }
    const GridColumn& column = store_.column(col);
    if (row == 0) {
        return IsAlignmentCode(column.headingAlignment) ? AlignmentFromCode(column.headingAlignment)
                                                        : Qt::Alignment(Qt::AlignCenter);
    }
    return AlignmentFromCode(column.alignment);
}

bool GridModel::isCheckCell(int row, int col) const {
    return row > 0 && store_.inRange(row, col) && store_.column(col).kind == kCheckBoxKind;
}

int GridModel::packedBorders(int row, int col) const {
    // A merged cell is drawn from its top-left index, so it takes its right and bottom edges
    // from the cells along the far side of the merge.
    const GridRange* merged = store_.mergeAt(row, col);
    const CellFormat& own = store_.format(row, col);
    if (merged == nullptr || merged->row1 != row || merged->col1 != col) {
        return pack(own.left, GridEdge::Left) | pack(own.top, GridEdge::Top) |
               pack(own.right, GridEdge::Right) | pack(own.bottom, GridEdge::Bottom);
    }
    return pack(own.left, GridEdge::Left) | pack(own.top, GridEdge::Top) |
           pack(store_.format(row, merged->col2).right, GridEdge::Right) |
           pack(store_.format(merged->row2, col).bottom, GridEdge::Bottom);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    const int col = index.column();
    if (!index.isValid() || !store_.inRange(row, col)) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return text(row, col);
        case Qt::TextAlignmentRole:
            return static_cast<int>(alignment(row, col));
        case Qt::CheckStateRole:
            if (isCheckCell(row, col)) {
                return static_cast<int>(text(row, col) == QLatin1String("1") ? Qt::Checked
                                                                             : Qt::Unchecked);
            }
            return {};
        default:
            break;
    }
    const CellFormat& format = store_.format(row, col);
    switch (role) {
        case Qt::FontRole: {
            if (!format.hasFont()) {
                return {};
            }
            QFont font = baseFont_;
            if (!format.fontName.isEmpty()) {
                font.setFamily(format.fontName);
            }
            if (format.fontSize > 0) {
                font.setPointSizeF(format.fontSize);
            }
            font.setBold(format.bold);
            font.setItalic(format.italic);
            font.setUnderline(format.underline);
            font.setStrikeOut(format.strikeOut);
            return font;
        }
        case Qt::ForegroundRole:
            return format.textColor.isValid() ? QVariant(QBrush(format.textColor)) : QVariant();
        case Qt::BackgroundRole:
            return format.backColor.isValid() ? QVariant(QBrush(format.backColor)) : QVariant();
        case BordersRole:
            return packedBorders(row, col);
        case WrapRole:
            return format.wrap;
        default:
            return {};
    }
}

QString GridModel::text(int row, int col) const {
    if (source_ != nullptr && row > 0 && store_.inRange(row, col)) {
        return source_->text(row, col);
    }
    return store_.text(row, col);
}

void GridModel::setRowSource(GridRowSource* source, int count) {
    // The rows the store held are dropped: a source replaces the list, it does not add to it.
    const auto apply = [&] {
        store_.setRows(1);
        source_ = source;
        store_.setRows(source != nullptr ? count + 1 : 1);
    };
    if (!autoRedraw_) {
        apply();
        structureDirty_ = true;
        return;
    }
    beginResetModel();
    apply();
    shownRows_ = store_.rows();
    endResetModel();
}

void GridModel::removeSourceRow(int row) {
    if (source_ != nullptr && row >= 1 && row < store_.rows()) {
        reshape(Qt::Vertical, false, row, row, [&] { store_.removeRow(row, 1); });
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // The horizontal header shows row 0; it exists for screen readers and size hints.
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < store_.cols()) {
        return store_.text(0, section);
    }
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    const int row = index.row();
    const int col = index.column();
    if (!index.isValid() || !store_.inRange(row, col)) {
        return Qt::NoItemFlags;
    }
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const GridColumn& column = store_.column(col);
    if (row == 0 || col == 0 || column.locked || column.kind == kCheckBoxKind ||
        store_.format(row, col).locked) {
        return base;
    }
    return base | Qt::ItemIsEditable;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !flags(index).testFlag(Qt::ItemIsEditable)) {
        return false;
    }
    setText(index.row(), index.column(), value.toString());
    return true;
}

void GridModel::reshape(Qt::Orientation lines, bool inserting, int first, int last,
                        const std::function<void()>& apply) {
    if (!autoRedraw_) {
        apply();
        structureDirty_ = true;
        return;
    }
    const bool rows = lines == Qt::Vertical;
    if (rows) {
        inserting ? beginInsertRows({}, first, last) : beginRemoveRows({}, first, last);
    } else {
        inserting ? beginInsertColumns({}, first, last) : beginRemoveColumns({}, first, last);
    }
    apply();
    const int count = last - first + 1;
    (rows ? shownRows_ : shownCols_) += inserting ? count : -count;
    if (rows) {
        inserting ? endInsertRows() : endRemoveRows();
    } else {
        inserting ? endInsertColumns() : endRemoveColumns();
    }
}

void GridModel::setRows(int count) {
    count = std::max(count, 1);
    // Rows set one by one take the list over from a source.
    if (source_ != nullptr) {
        setRowSource(nullptr, 0);
    }
    if (autoRedraw_ && count == shownRows_) {
        return;
    }
    const bool inserting = count > shownRows_;
    reshape(Qt::Vertical, inserting, inserting ? shownRows_ : count,
            inserting ? count - 1 : shownRows_ - 1, [&] { store_.setRows(count); });
}

void GridModel::setCols(int count) {
    count = std::max(count, 1);
    if (autoRedraw_ && count == shownCols_) {
        return;
    }
    const bool inserting = count > shownCols_;
    reshape(Qt::Horizontal, inserting, inserting ? shownCols_ : count,
            inserting ? count - 1 : shownCols_ - 1, [&] { store_.setCols(count); });
}

void GridModel::insertRow(int row, int count) {
    if (source_ != nullptr) {
        setRowSource(nullptr, 0);
    }
    if (row >= 0 && row <= store_.rows() && count > 0) {
        reshape(Qt::Vertical, true, row, row + count - 1, [&] { store_.insertRow(row, count); });
    }
}

void GridModel::removeRow(int row, int count) {
    if (source_ != nullptr) {
        setRowSource(nullptr, 0);
    }
    count = std::min(count, store_.rows() - row);
    if (row >= 0 && row < store_.rows() && count > 0 && store_.rows() - count >= 1) {
        reshape(Qt::Vertical, false, row, row + count - 1, [&] { store_.removeRow(row, count); });
    }
}

void GridModel::insertColumn(int col, int count) {
    if (col >= 0 && col <= store_.cols() && count > 0) {
        reshape(Qt::Horizontal, true, col, col + count - 1,
                [&] { store_.insertColumn(col, count); });
    }
}

void GridModel::removeColumn(int col, int count) {
    count = std::min(count, store_.cols() - col);
    if (col >= 0 && col < store_.cols() && count > 0 && store_.cols() - count >= 1) {
        reshape(Qt::Horizontal, false, col, col + count - 1,
                [&] { store_.removeColumn(col, count); });
    }
}

void GridModel::cellsChanged(int row1, int col1, int row2, int col2) {
    if (!autoRedraw_) {
        dataDirty_ = true;
        return;
    }
    row2 = std::min(row2, shownRows_ - 1);
    col2 = std::min(col2, shownCols_ - 1);
    if (row1 < 0 || col1 < 0 || row1 > row2 || col1 > col2) {
        return;
    }
    emit dataChanged(index(row1, col1), index(row2, col2));
    if (row1 == 0) {
        emit headerDataChanged(Qt::Horizontal, col1, col2);
    }
}

void GridModel::setText(int row, int col, const QString& text) {
    setUtf8(row, col, text.toUtf8());
}

void GridModel::setUtf8(int row, int col, QByteArrayView utf8) {
    if (!store_.inRange(row, col)) {
        return;
    }
    store_.setUtf8(row, col, utf8);
    cellsChanged(row, col, row, col);
}

void GridModel::setColumnWidth(int col, int width) {
    if (col >= 0 && col < store_.cols()) {
        store_.column(col).width = width;
    }
}

void GridModel::setColumnLocked(int col, bool locked) {
    if (col >= 0 && col < store_.cols()) {
        store_.column(col).locked = locked;
        columnChanged(col);
    }
}

void GridModel::setColumnAlignment(int col, int code) {
    if (col >= 0 && col < store_.cols()) {
        store_.column(col).alignment = code;
        columnChanged(col);
    }
}

void GridModel::setHeadingAlignment(int col, int code) {
    if (col >= 0 && col < store_.cols()) {
        store_.column(col).headingAlignment = code;
        cellsChanged(0, col, 0, col);
    }
}

void GridModel::setColumnKind(int col, int kind) {
    if (col >= 0 && col < store_.cols()) {
        store_.column(col).kind = kind;
        columnChanged(col);
    }
}

void GridModel::editFormats(const GridRange& range, const std::function<void(CellFormat&)>& edit) {
    const GridRange r = range.normalized();
    store_.editFormats(r, edit);
    // Borders of a cell are drawn by its neighbours too, so repaint one cell around.
    cellsChanged(std::max(r.row1 - 1, 0), std::max(r.col1 - 1, 0), r.row2 + 1, r.col2 + 1);
}

void GridModel::merge(const GridRange& range) {
    const GridRange r = range.normalized();
    store_.merge(r);
    cellsChanged(std::max(r.row1, 0), std::max(r.col1, 0), r.row2, r.col2);
}

void GridModel::unmerge(const GridRange& range) {
    const GridRange r = range.normalized();
    store_.unmerge(r);
    cellsChanged(std::max(r.row1, 0), std::max(r.col1, 0), r.row2, r.col2);
}

void GridModel::setBaseFont(const QFont& font) {
    baseFont_ = font;
    cellsChanged(0, 0, shownRows_ - 1, shownCols_ - 1);
}

void GridModel::setAutoRedraw(bool on) {
    autoRedraw_ = on;
}

bool GridModel::publish() {
    if (structureDirty_) {
        beginResetModel();
        shownRows_ = store_.rows();
        shownCols_ = store_.cols();
        structureDirty_ = false;
        dataDirty_ = false;
        endResetModel();
        return true;
    }
    if (dataDirty_) {
        dataDirty_ = false;
        emit dataChanged(index(0, 0), index(shownRows_ - 1, shownCols_ - 1));
        emit headerDataChanged(Qt::Horizontal, 0, shownCols_ - 1);
    }
    return false;
}

}  // namespace ui
