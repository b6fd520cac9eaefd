#include "support/text_fit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>

#include "ui/grid.h"
#include "ui/grid_delegate.h"
#include "ui/grid_model.h"

QStringList CutGridCells(const ui::Grid& grid) {
    QStringList cut;
    const ui::GridModel* model = grid.gridModel();
    for (int row = 0; row < grid.rows(); ++row) {
        for (int col = 0; col < grid.cols(); ++col) {
            const QString text = grid.cellText(row, col);
            if (text.isEmpty() || grid.isColumnHidden(col)) {
                continue;
            }
            const QVariant own = model->data(model->index(row, col), Qt::FontRole);
            const QFont font = own.isValid() ? own.value<QFont>() : grid.font();
            const int room = ui::CellTextRoom(grid.horizontalHeader()->sectionSize(col));
            if (QFontMetrics(font).horizontalAdvance(text) > room) {
                cut << QStringLiteral("row %1, column %2: %3").arg(row).arg(col).arg(text);
            }
        }
    }
    return cut;
}

QStringList CutComboItems(QComboBox& combo) {
    QStringList cut;
    combo.showPopup();
    QAbstractItemView* list = combo.view();
    const QFontMetrics metrics(list->font());
    // An item's text keeps the focus frame's margin and one pixel on either side.
    const int margins =
        2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    // Without a rectangle, so an item painter that fills the width it is given asks for what
    // its text needs.
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = QRect();
    for (int row = 0; row < combo.count(); ++row) {
        const QModelIndex index = combo.model()->index(row, combo.modelColumn());
        // An item may be laid out wider than the list, which then cuts it at its edge.
        const int shown = std::min(list->visualRect(index).width(), list->viewport()->width());
        const int needed =
            std::max(list->itemDelegateForIndex(index)->sizeHint(option, index).width(),
                     metrics.horizontalAdvance(combo.itemText(row)) + margins);
        if (!combo.itemText(row).isEmpty() && needed > shown) {
            cut << combo.itemText(row);
        }
    }
    combo.hidePopup();
    return cut;
}
