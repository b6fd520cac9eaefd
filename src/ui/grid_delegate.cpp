#include "ui/grid_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include "ui/grid_model.h"

namespace ui {

namespace {

struct CellPaint {
    QRect rect;
    QString text;
    QFont font;
    Qt::Alignment alignment;
    QColor back;
    QColor textColor;
    bool ownBack = false;
    int check = -1;  // -1: no check box, else a Qt::CheckState
    int borders = 0;
    bool wrap = false;
    bool focus = false;
};

// `gridFont` is the grid's own font, for cells without one of their own.
CellPaint Describe(const QModelIndex& index, const QRect& rect, const GridColors& colors,
                   const QFont& gridFont) {
    CellPaint cell;
    cell.rect = rect;
    cell.text = index.data(Qt::DisplayRole).toString();
    const QVariant font = index.data(Qt::FontRole);
    cell.font = font.isValid() ? font.value<QFont>() : gridFont;
    cell.alignment = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
    const QVariant back = index.data(Qt::BackgroundRole);
    cell.ownBack = back.isValid();
    if (cell.ownBack) {
        cell.back = back.value<QBrush>().color();
    } else if (index.row() == 0) {
        cell.back = colors.headingBack;
    } else if (index.column() == 0) {
        cell.back = colors.leadingBack;
    } else {
        cell.back = colors.cellBack;
    }
    const QVariant fore = index.data(Qt::ForegroundRole);
    cell.textColor = fore.isValid() ? fore.value<QBrush>().color() : colors.text;
    const QVariant check = index.data(Qt::CheckStateRole);
    cell.check = check.isValid() ? check.toInt() : -1;
    cell.borders = index.data(GridModel::BordersRole).toInt();
    cell.wrap = index.data(GridModel::WrapRole).toBool();
    return cell;
}

void PaintBorders(QPainter* painter, const QRect& r, int packed) {
    const auto width = [packed](GridEdge edge) {
        return static_cast<int>(GridModel::borderOf(packed, edge));  // None 0, Thin 1, Thick 2
    };
    const QColor ink(0, 0, 0);
    if (const int w = width(GridEdge::Left)) {
        painter->fillRect(QRect(r.left(), r.top(), w, r.height()), ink);
    }
    if (const int w = width(GridEdge::Top)) {
        painter->fillRect(QRect(r.left(), r.top(), r.width(), w), ink);
    }
    if (const int w = width(GridEdge::Right)) {
        painter->fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), ink);
    }
    if (const int w = width(GridEdge::Bottom)) {
        painter->fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), ink);
    }
}

void PaintCell(QPainter* painter, const CellPaint& cell, const GridColors& colors,
               const QWidget* widget) {
    const QRect& r = cell.rect;
    if (r.width() <= 0 || r.height() <= 0) {
        return;
    }
    painter->save();
    painter->setClipRect(r, Qt::IntersectClip);
    painter->fillRect(r, cell.back);
    if (cell.check >= 0) {
        const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        QStyleOptionButton box;
        const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
        const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, widget);
        box.rect = QRect(r.left() + (r.width() - w) / 2, r.top() + (r.height() - h) / 2, w, h);
        box.state = QStyle::State_Enabled | QStyle::State_ReadOnly |
                    (cell.check == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        box.palette = widget != nullptr ? widget->palette() : QApplication::palette();
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
    } else if (!cell.text.isEmpty()) {
        painter->setFont(cell.font);
        painter->setPen(cell.textColor);
        const QRect textRect = r.adjusted(kCellTextMargin, 0, -kCellTextMargin - 1, -1);
        const int flags =
            static_cast<int>(cell.alignment) | (cell.wrap ? Qt::TextWordWrap : Qt::TextSingleLine);
        painter->drawText(textRect, flags, cell.text);
    }
    painter->setPen(colors.gridLine);
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    PaintBorders(painter, r, cell.borders);
    if (cell.focus) {
        painter->setPen(colors.gridLine.darker(170));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r.adjusted(0, 0, -2, -2));
    }
    painter->restore();
}

}  // namespace

GridDelegate::GridDelegate(const GridColors* colors, QObject* parent)
    : QStyledItemDelegate(parent), colors_(colors) {}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    CellPaint cell = Describe(index, option.rect, *colors_, option.font);
    const bool fixed = index.row() == 0 || index.column() == 0;
    if (option.state.testFlag(QStyle::State_Selected) && !fixed) {
        // A light selection colour under the cell's own text colour keeps the text readable.
        cell.back = colors_->selectionBack;
    }
    cell.focus = option.state.testFlag(QStyle::State_HasFocus) && !fixed;
    PaintCell(painter, cell, *colors_, option.widget);
}

GridHeading::GridHeading(const GridColors* colors, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), colors_(colors) {
    setSectionsClickable(false);
    setSectionsMovable(false);
    setHighlightSections(false);
    setSortIndicatorShown(false);
}

void GridHeading::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    const auto* gridModel = qobject_cast<const GridModel*>(model());
    if (gridModel == nullptr) {
        return;
    }
    QRect area = rect;
    int anchor = logicalIndex;
    if (const GridRange* merged = gridModel->store().mergeAt(0, logicalIndex)) {
        // Every section of the merge paints the whole merged cell; the clip keeps it right.
        const int last = std::min(merged->col2, count() - 1);
        anchor = merged->col1;
        const int left = sectionViewportPosition(anchor);
        const int right = sectionViewportPosition(last) + sectionSize(last);
        area = QRect(left, rect.top(), right - left, rect.height());
    }
    PaintCell(painter, Describe(gridModel->index(0, anchor), area, *colors_, font()), *colors_,
              this);
}

}  // namespace ui
