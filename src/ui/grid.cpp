#include "ui/grid.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_set>

#include "ui/char_advances.h"
#include "ui/fonts.h"
#include "ui/grid_model.h"
#include "ui/grid_row_source.h"
#include "ui/text_shape.h"

namespace ui {

namespace {

constexpr int kDefaultColumnWidth = 64;
constexpr int kMinimumRowHeight = 20;
constexpr int kCheckBoxColumn = 2;

// Runs `change` on a header with painting off: QHeaderView::resizeSection otherwise works
// out the section's position, which walks every section once per call.
template <typename Change>
void WithoutHeaderUpdates(QHeaderView* header, Change change) {
    const bool enabled = header->updatesEnabled();
    header->setUpdatesEnabled(false);
    change();
    header->setUpdatesEnabled(enabled);
}

}  // namespace

Grid::Grid(QWidget* parent)
    : QTableView(parent), model_(new GridModel(this)), heading_(new GridHeading(&colors_, this)) {
    setHorizontalHeader(heading_);
    setModel(model_);
    setItemDelegate(new GridDelegate(&colors_, this));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    heading_->setMinimumSectionSize(4);
    heading_->setDefaultSectionSize(kDefaultColumnWidth);
    heading_->setStretchLastSection(false);
    setShowGrid(false);  // the delegate draws the lines in the grid colour
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectRows);
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
    model_->setBaseFont(font());

    connect(model_, &QAbstractItemModel::modelReset, this, &Grid::applyLayout);
    connect(heading_, &QHeaderView::sectionResized, this, [this](int col, int, int size) {
        if (!applyingLayout_) {
            model_->setColumnWidth(col, size);  // the user dragged a heading edge
        }
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.row() > 0) {
            emit rowDoubleClicked();
        }
    });
    heading_->viewport()->installEventFilter(this);
    applyLayout();
}

Grid::~Grid() = default;

int Grid::defaultRowHeight() const {
    return std::max(kMinimumRowHeight, QFontMetrics(model_->baseFont()).height() + 4);
}

void Grid::applyRowHeight(int row) {
    if (row == 0) {
        heading_->setFixedHeight(rowHeight(0));
        return;
    }
    QHeaderView* rows = verticalHeader();
    if (row < rows->count()) {
        WithoutHeaderUpdates(rows, [&] { rows->resizeSection(row, rowHeight(row)); });
        viewport()->update();
    }
}

void Grid::applyColumnWidth(int col) {
    if (col >= heading_->count()) {
        return;
    }
    const bool wasApplying = applyingLayout_;
    applyingLayout_ = true;
    const int width = model_->store().column(col).width;
    if (width == 0) {
        setColumnHidden(col, true);
    } else {
        setColumnHidden(col, false);
        QTableView::setColumnWidth(col, width < 0 ? kDefaultColumnWidth : width);
    }
    applyingLayout_ = wasApplying;
}

void Grid::applyLayout() {
    applyingLayout_ = true;
    QHeaderView* rows = verticalHeader();
    WithoutHeaderUpdates(rows, [&] {
        // Also puts back rows whose old heights a model reset left at their old positions.
        rows->setDefaultSectionSize(defaultRowHeight());
        model_->store().forEachRowHeight([&](int row, int height) {
            if (row > 0 && row < rows->count()) {
                rows->resizeSection(row, height);
            }
        });
    });
    setRowHidden(0, true);
    heading_->setFixedHeight(rowHeight(0));
    for (int col = 0; col < heading_->count(); ++col) {
        applyColumnWidth(col);
    }
    syncSpans();
    applyingLayout_ = false;
    layoutDirty_ = false;
    viewport()->update();
}

void Grid::syncSpans() {
    clearSpans();
    for (const GridRange& merged : model_->store().merges()) {
        // Row 0 belongs to the heading; the body shows the rest of such a merge.
        const GridRange body{std::max(merged.row1, 1), merged.col1, merged.row2, merged.col2};
        if (body.row1 > body.row2 || body.isSingleCell() || body.row2 >= model_->rowCount() ||
            body.col2 >= model_->columnCount()) {
            continue;
        }
        setSpan(body.row1, body.col1, body.row2 - body.row1 + 1, body.col2 - body.col1 + 1);
    }
}

QItemSelectionModel::SelectionFlags Grid::selectCommand() const {
    const QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect;
    return selectionBehavior() == SelectRows ? command | QItemSelectionModel::Rows : command;
}

void Grid::placeCurrentQuietly(int row, int col) {
    ++quiet_;
    if (row > 0 && row < model_->rowCount() && col >= 0 && col < model_->columnCount()) {
        const QModelIndex index = model_->index(row, col);
        if (currentIndex() != index) {
            selectionModel()->setCurrentIndex(index, selectCommand());
        }
    } else if (currentIndex().isValid()) {
        selectionModel()->clear();
    }
    --quiet_;
}

void Grid::changeStructure(const std::function<void()>& change) {
    if (!model_->autoRedraw()) {
        change();
        if (heldRow_ >= rows() || heldCol_ >= cols()) {
            heldRow_ = 0;
            heldCol_ = 0;
        }
        return;
    }
    const int row = currentRow();
    const int col = currentCol();
    ++quiet_;
    change();
    placeCurrentQuietly(row, col);
    --quiet_;
}

void Grid::setCols(int count) {
    changeStructure([&] { model_->setCols(count); });
    if (model_->autoRedraw()) {
        applyLayout();
    }
}

int Grid::cols() const {
    return model_->store().cols();
}

void Grid::setRows(int count) {
    changeStructure([&] { model_->setRows(count); });
    if (model_->autoRedraw() && !model_->store().merges().empty()) {
        syncSpans();
    }
}

int Grid::rows() const {
    return model_->store().rows();
}

void Grid::setCellText(int row, int col, const QString& text) {
    model_->setText(row, col, text);
}

void Grid::setCellUtf8(int row, int col, QByteArrayView utf8) {
    model_->setUtf8(row, col, utf8);
}

QString Grid::cellText(int row, int col) const {
    return model_->text(row, col);
}

void Grid::setRowSource(GridRowSource* source, int count) {
    changeStructure([&] { model_->setRowSource(source, count); });
    if (source == nullptr) {
        return;
    }
    source->watchPages([this](const std::function<void(const GridRowSource::PageTexts&)>& walk) {
        // Pages are read while the view paints, so the widths it needs are applied afterwards.
        const std::vector<int> needed = neededWidths([&](const auto& visit) {
            walk([&](int row, int col, QByteArrayView utf8) { visit(row, col, utf8, 0); });
        });
        QMetaObject::invokeMethod(
            this, [this, needed] { applyNeededWidths(needed); }, Qt::QueuedConnection);
    });
}

void Grid::removeSourceRow(int row) {
    if (row < 1 || row >= rows()) {
        return;
    }
    changeStructure([&] { model_->removeSourceRow(row); });
    if (model_->autoRedraw()) {
        syncSpans();
    }
}

void Grid::setRowHeight(int row, int px) {
    if (row < 0 || row >= rows()) {
        return;
    }
    model_->setRowHeight(row, std::max(px, 1));
    if (model_->autoRedraw()) {
        applyRowHeight(row);
    } else {
        layoutDirty_ = true;
    }
}

int Grid::rowHeight(int row) const {
    const int height = model_->store().rowHeight(row);
    return height > 0 ? height : defaultRowHeight();
}

void Grid::setColumnWidth(int col, int px) {
    if (col < 0 || col >= cols()) {
        return;
    }
    model_->setColumnWidth(col, std::max(px, 0));
    applyColumnWidth(col);
}

int Grid::columnWidth(int col) const {
    if (col < 0 || col >= cols()) {
        return 0;
    }
    const int width = model_->store().column(col).width;
    return width < 0 ? kDefaultColumnWidth : width;
}

void Grid::setColumnLocked(int col, bool locked) {
    model_->setColumnLocked(col, locked);
}

bool Grid::isColumnLocked(int col) const {
    return col >= 0 && col < cols() && model_->store().column(col).locked;
}

void Grid::setColumnAlignment(int col, int code) {
    model_->setColumnAlignment(col, code);
}

void Grid::setHeadingAlignment(int col, int code) {
    model_->setHeadingAlignment(col, code);
}

void Grid::setCellAlignment(int row, int col, int code) {
    formatCells({row, col, row, col}, [code](CellFormat& format) { format.alignment = code; });
}

void Grid::setColumnCellKind(int col, int kind) {
    model_->setColumnKind(col, kind);
}

void Grid::setGridFont(const QString& name, double pointSize) {
    const QFont chosen = ScreenFont(name, pointSize);
    setFont(chosen);
    model_->setBaseFont(chosen);
    if (model_->autoRedraw()) {
        applyLayout();
    } else {
        layoutDirty_ = true;
    }
}

int Grid::widthForText(const QString& text) const {
    const QFontMetricsF metrics(model_->baseFont());
    return int(std::ceil(metrics.horizontalAdvance(text))) + 2 * kCellTextMargin + 1;
}

void Grid::widenColumnsToContent() {
    widenColumnsFor([this](const auto& visit) { model_->store().forEachStoredText(visit); });
}

void Grid::widenColumnsFor(const TextWalk& walk) {
    applyNeededWidths(neededWidths(walk));
}

void Grid::applyNeededWidths(const std::vector<int>& needed) {
    const GridStore& store = model_->store();
    for (int col = 0; col < cols() && col < int(needed.size()); ++col) {
        if (needed[size_t(col)] > columnWidth(col) && store.column(col).width != 0) {
            setColumnWidth(col, needed[size_t(col)]);
        }
    }
}

std::vector<int> Grid::neededWidths(const TextWalk& walk) const {
    const GridStore& store = model_->store();
    const int count = cols();
    std::vector<int> needed(static_cast<size_t>(count), 0);
    // A list repeats the shapes of its texts (dates, order numbers, amounts, names): each shape
    // is measured once a column, and a run of one shape down a column costs one comparison.
    std::vector<std::unordered_set<std::string>> measured(static_cast<size_t>(count));
    std::vector<std::string> previous(static_cast<size_t>(count));
    std::string shape;
    const QFontMetricsF metrics(model_->baseFont());
    const char digit = WidestDigit(metrics);
    CharAdvances advances(metrics);
    std::vector<double> widest(static_cast<size_t>(count), 0.0);
    walk([&](int row, int col, QByteArrayView utf8, int format) {
        if (col >= count)
            return;
        const GridColumn& column = store.column(col);
        if (column.width == 0 || (row > 0 && column.kind == kCheckBoxColumn))
            return;
        double advance = 0;
        if (format != 0 && store.format(row, col).hasFont()) {
            const QFont own = model_->data(model_->index(row, col), Qt::FontRole).value<QFont>();
            advance = QFontMetricsF(own).horizontalAdvance(QString::fromUtf8(utf8));
        } else {
            TextShape(utf8, digit, shape);
            std::string& last = previous[size_t(col)];
            if (shape == last)
                return;
            last = shape;
            // Shaping is what costs: a shape whose characters add up to clearly less than the
            // widest text of its column so far cannot widen it.
            if (advances.sum(shape) + CharAdvances::kSlack < widest[size_t(col)])
                return;
            if (!measured[size_t(col)].insert(shape).second)
                return;
            advance = metrics.horizontalAdvance(QString::fromStdString(shape));
            widest[size_t(col)] = std::max(widest[size_t(col)], advance);
        }
        const int width = int(std::ceil(advance)) + 2 * kCellTextMargin + 1;
        needed[size_t(col)] = std::max(needed[size_t(col)], width);
    });
    return needed;
}

void Grid::insertRow(int row, int count) {
    if (row < 1 || row > rows()) {
        return;
    }
    changeStructure([&] { model_->insertRow(row, count); });
    if (model_->autoRedraw()) {
        syncSpans();
    }
}

void Grid::removeRow(int row, int count) {
    if (row < 1 || row >= rows()) {
        return;
    }
    changeStructure([&] { model_->removeRow(row, count); });
    if (model_->autoRedraw()) {
        syncSpans();
    }
}

void Grid::insertColumn(int col, int count) {
    changeStructure([&] { model_->insertColumn(col, count); });
    if (model_->autoRedraw()) {
        applyLayout();
    }
}

void Grid::removeColumn(int col, int count) {
    changeStructure([&] { model_->removeColumn(col, count); });
    if (model_->autoRedraw()) {
        applyLayout();
    }
}

void Grid::setAutoRedraw(bool on) {
    if (on == model_->autoRedraw()) {
        return;
    }
    if (on) {
        refresh();
    } else {
        heldRow_ = currentRow();
        heldCol_ = currentCol();
    }
    model_->setAutoRedraw(on);
}

bool Grid::autoRedraw() const {
    return model_->autoRedraw();
}

void Grid::refresh() {
    const int row = currentRow();
    const int col = currentCol();
    ++quiet_;
    const bool reset = model_->publish();  // a reset runs applyLayout()
    if (!reset && layoutDirty_) {
        applyLayout();
    }
    placeCurrentQuietly(row, col);
    --quiet_;
    viewport()->update();
    heading_->viewport()->update();
}

void Grid::applyStandardLook() {
    GridColors look;
    look.headingBack = QColor(232, 232, 245);
    look.leadingBack = QColor(232, 232, 245);
    look.cellBack = QColor(255, 255, 255);
    look.selectionBack = QColor(231, 235, 247);
    look.gridLine = QColor(148, 190, 231);
    setColors(look);
}

void Grid::setColors(const GridColors& colors) {
    colors_ = colors;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, colors.cellBack);
    palette.setColor(QPalette::Highlight, colors.selectionBack);
    palette.setColor(QPalette::HighlightedText, colors.text);
    setPalette(palette);
    viewport()->update();
    heading_->viewport()->update();
}

void Grid::setCurrentCell(int row, int col) {
    if (!model_->autoRedraw()) {
        if (row > 0 && row < rows() && col >= 0 && col < cols() &&
            (row != heldRow_ || col != heldCol_)) {
            heldRow_ = row;
            heldCol_ = col;
            emit currentCellChanged(row, col);
        }
        return;
    }
    if (row < 1 || row >= model_->rowCount() || col < 0 || col >= model_->columnCount()) {
        return;
    }
    const QModelIndex index = model_->index(row, col);
    selectionModel()->setCurrentIndex(index, selectCommand());
    scrollTo(index);
}

int Grid::currentRow() const {
    if (!model_->autoRedraw()) {
        return heldRow_;
    }
    const QModelIndex index = currentIndex();
    return index.isValid() && index.row() > 0 ? index.row() : 0;
}

int Grid::currentCol() const {
    if (!model_->autoRedraw()) {
        return heldCol_;
    }
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.column() : 0;
}

void Grid::setWholeRowSelection(bool on) {
    setSelectionBehavior(on ? SelectRows : SelectItems);
}

GridRange Grid::selection() const {
    const QItemSelection selected = selectionModel()->selection();
    if (selected.isEmpty()) {
        const int row = currentRow();
        const int col = currentCol();
        return {row, col, row, col};
    }
    GridRange bounds{selected.first().top(), selected.first().left(), selected.first().bottom(),
                     selected.first().right()};
    for (const QItemSelectionRange& range : selected) {
        bounds.row1 = std::min(bounds.row1, range.top());
        bounds.col1 = std::min(bounds.col1, range.left());
        bounds.row2 = std::max(bounds.row2, range.bottom());
        bounds.col2 = std::max(bounds.col2, range.right());
    }
    return bounds;
}

void Grid::setSelection(const GridRange& range) {
    GridRange r = range.normalized();
    r.row1 = std::max(r.row1, 1);
    r.col1 = std::max(r.col1, 0);
    r.row2 = std::min(r.row2, model_->rowCount() - 1);
    r.col2 = std::min(r.col2, model_->columnCount() - 1);
    if (r.row1 > r.row2 || r.col1 > r.col2) {
        return;
    }
    const QModelIndex topLeft = model_->index(r.row1, r.col1);
    selectionModel()->setCurrentIndex(topLeft, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(topLeft, model_->index(r.row2, r.col2)),
                             selectCommand());
}

CellFormat Grid::cellFormat(int row, int col) const {
    return model_->store().format(row, col);
}

void Grid::formatCells(const GridRange& range, const std::function<void(CellFormat&)>& edit) {
    model_->editFormats(range, edit);
}

void Grid::setCellsBorder(const GridRange& range, GridEdge edge, BorderStyle style) {
    const GridRange r = range.normalized();
    switch (edge) {
        case GridEdge::Left:
            formatCells({r.row1, r.col1, r.row2, r.col1},
                        [style](CellFormat& f) { f.left = style; });
            break;
        case GridEdge::Top:
            formatCells({r.row1, r.col1, r.row1, r.col2},
                        [style](CellFormat& f) { f.top = style; });
            break;
        case GridEdge::Right:
            formatCells({r.row1, r.col2, r.row2, r.col2},
                        [style](CellFormat& f) { f.right = style; });
            break;
        case GridEdge::Bottom:
            formatCells({r.row2, r.col1, r.row2, r.col2},
                        [style](CellFormat& f) { f.bottom = style; });
            break;
        case GridEdge::InsideVertical:
            // Each inner line belongs to the cell on its left, so it is drawn once.
            if (r.col2 > r.col1) {
                formatCells({r.row1, r.col1, r.row2, r.col2 - 1},
                            [style](CellFormat& f) { f.right = style; });
            }
            break;
        case GridEdge::InsideHorizontal:
            if (r.row2 > r.row1) {
                formatCells({r.row1, r.col1, r.row2 - 1, r.col2},
                            [style](CellFormat& f) { f.bottom = style; });
            }
            break;
    }
}

void Grid::mergeCells(const GridRange& range) {
    model_->merge(range);
    if (model_->autoRedraw()) {
        syncSpans();
    } else {
        layoutDirty_ = true;
    }
}

void Grid::unmergeCells(const GridRange& range) {
    model_->unmerge(range);
    if (model_->autoRedraw()) {
        syncSpans();
    } else {
        layoutDirty_ = true;
    }
}

std::vector<GridRange> Grid::mergedRanges() const {
    return model_->store().merges();
}

void Grid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (quiet_ == 0 && current.isValid()) {
        heldRow_ = current.row();
        heldCol_ = current.column();
        emit currentCellChanged(current.row(), current.column());
    }
}

void Grid::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && state() != EditingState &&
        currentRow() > 0) {
        emit rowDoubleClicked();
        event->accept();
        return;
    }
    if (key == Qt::Key_Menu ||
        (key == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier)) {
        emit contextMenuRequested(currentRow());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void Grid::emitMouseButton(const QMouseEvent* event, const QPoint& gridPos) {
    int button = 0;
    switch (event->button()) {
        case Qt::LeftButton:
            button = 1;
            break;
        case Qt::RightButton:
            button = 2;
            break;
        case Qt::MiddleButton:
            button = 4;
            break;
        default:
            return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const int shift = (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
                      (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
                      (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
    emit mouseButton(button, shift, gridPos.x(), gridPos.y());
}

void Grid::mousePressEvent(QMouseEvent* event) {
    // The view moves the current cell first, so a handler sees the row under the pointer.
    QTableView::mousePressEvent(event);
    emitMouseButton(event, viewport()->mapTo(this, event->position().toPoint()));
}

void Grid::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        event->accept();  // the key press already emitted contextMenuRequested
        return;
    }
    QTableView::contextMenuEvent(event);
}

bool Grid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == heading_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        emitMouseButton(press, heading_->viewport()->mapTo(this, press->position().toPoint()));
    }
    return QTableView::eventFilter(watched, event);
}

}  // namespace ui
