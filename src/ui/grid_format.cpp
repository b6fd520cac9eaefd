#include "ui/grid_format.h"

#include <algorithm>

namespace ui {

GridRange GridRange::normalized() const {
    return {std::min(row1, row2), std::min(col1, col2), std::max(row1, row2), std::max(col1, col2)};
}

bool GridRange::intersects(const GridRange& other) const {
    return row1 <= other.row2 && other.row1 <= row2 && col1 <= other.col2 && other.col1 <= col2;
}

bool IsAlignmentCode(int code) {
    const int horizontal = code / 4;
    const int vertical = code % 4;
    return horizontal >= 1 && horizontal <= 3 && vertical >= 1;
}

Qt::Alignment AlignmentFromCode(int code) {
    if (!IsAlignmentCode(code)) {
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
    static constexpr Qt::AlignmentFlag kHorizontal[] = {Qt::AlignLeft, Qt::AlignHCenter,
                                                        Qt::AlignRight};
    static constexpr Qt::AlignmentFlag kVertical[] = {Qt::AlignTop, Qt::AlignVCenter,
                                                      Qt::AlignBottom};
    return kHorizontal[code / 4 - 1] | kVertical[code % 4 - 1];
}

}  // namespace ui
