#pragma once

#include <QColor>
#include <QHeaderView>
#include <QStyledItemDelegate>

namespace ui {

// A cell's text keeps this many pixels from its left edge and one more from its right one.
inline constexpr int kCellTextMargin = 3;
// The room a cell of a column `width` pixels wide leaves for its text.
inline constexpr int CellTextRoom(int width) {
    return width - 2 * kCellTextMargin - 1;
}

struct GridColors {
    QColor headingBack{236, 236, 236};  // row 0
    QColor leadingBack{236, 236, 236};  // column 0
    QColor cellBack{255, 255, 255};
    QColor selectionBack{204, 228, 247};
    QColor gridLine{208, 208, 208};
    QColor text{0, 0, 0};
};

// Draws the body cells: background, text or check box, grid lines, borders, focus.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    GridDelegate(const GridColors* colors, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    const GridColors* colors_;
};

// Shows row 0 of the model as the table's heading, so the headings stay in view while the
// body scrolls. Cells merged along row 0 are drawn across their sections.
class GridHeading : public QHeaderView {
    Q_OBJECT

public:
    GridHeading(const GridColors* colors, QWidget* parent);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    const GridColors* colors_;
};

}  // namespace ui
