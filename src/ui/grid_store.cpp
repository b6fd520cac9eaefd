#include "ui/grid_store.h"

#include <algorithm>
#include <utility>

namespace ui {

GridStore::GridStore() : columns_(1), formats_(1) {}

std::vector<GridStore::Row>::iterator GridStore::lowerBound(int row) {
    // Appending at the end is the common case while a list is filled.
    if (rows_.empty() || rows_.back().index < row) {
        return rows_.end();
    }
    return std::lower_bound(rows_.begin(), rows_.end(), row,
                            [](const Row& entry, int index) { return entry.index < index; });
}

std::vector<GridStore::Row>::const_iterator GridStore::lowerBound(int row) const {
    return std::lower_bound(rows_.begin(), rows_.end(), row,
                            [](const Row& entry, int index) { return entry.index < index; });
}

const GridStore::Row* GridStore::findRow(int row) const {
    const auto it = lowerBound(row);
    return it != rows_.end() && it->index == row ? &*it : nullptr;
}

GridStore::Row& GridStore::rowForWrite(int row) {
    auto it = lowerBound(row);
    if (it == rows_.end() || it->index != row) {
        it = rows_.insert(it, Row{row, 0, {}});
    }
    return *it;
}

GridStore::Cell& GridStore::cellForWrite(int row, int col) {
    Row& entry = rowForWrite(row);
    if (entry.cells.size() <= static_cast<size_t>(col)) {
        entry.cells.resize(col + 1);
    }
    return entry.cells[col];
}

bool GridStore::isBlank(const Row& entry) {
    return entry.height == 0 &&
           std::all_of(entry.cells.begin(), entry.cells.end(),
                       [](const Cell& cell) { return cell.text.isEmpty() && cell.format == 0; });
}

void GridStore::dropIfEmpty(std::vector<Row>::iterator it) {
    if (it != rows_.end() && isBlank(*it)) {
        rows_.erase(it);
    }
}

void GridStore::setRows(int count) {
    count = std::max(count, 1);
    if (count < rowCount_) {
        rows_.erase(lowerBound(count), rows_.end());
        std::erase_if(merges_, [count](GridRange& range) {
            range.row2 = std::min(range.row2, count - 1);
            return range.row1 >= count || range.isSingleCell();
        });
    }
    rowCount_ = count;
}

void GridStore::setCols(int count) {
    count = std::max(count, 1);
    if (count < colCount_) {
        for (Row& entry : rows_) {
            if (entry.cells.size() > static_cast<size_t>(count)) {
                entry.cells.resize(count);
            }
        }
        std::erase_if(rows_, isBlank);
        std::erase_if(merges_, [count](GridRange& range) {
            range.col2 = std::min(range.col2, count - 1);
            return range.col1 >= count || range.isSingleCell();
        });
    }
    colCount_ = count;
    columns_.resize(count);
}

const QString& GridStore::text(int row, int col) const {
    static const QString empty;
    const Row* entry = findRow(row);
    if (entry == nullptr || entry->cells.size() <= static_cast<size_t>(col) || col < 0) {
        return empty;
    }
    return entry->cells[col].text;
}

void GridStore::setText(int row, int col, const QString& text) {
    if (!inRange(row, col)) {
        return;
    }
    if (text.isEmpty()) {
        auto it = lowerBound(row);
        if (it != rows_.end() && it->index == row && it->cells.size() > static_cast<size_t>(col)) {
            it->cells[col].text.clear();
            dropIfEmpty(it);
        }
        return;
    }
    cellForWrite(row, col).text = text;
}

int GridStore::formatIndex(int row, int col) const {
    const Row* entry = findRow(row);
    if (entry == nullptr || col < 0 || entry->cells.size() <= static_cast<size_t>(col)) {
        return 0;
    }
    return entry->cells[col].format;
}

int GridStore::intern(const CellFormat& format) {
    const auto it = std::find(formats_.begin(), formats_.end(), format);
    if (it != formats_.end()) {
        return static_cast<int>(it - formats_.begin());
    }
    formats_.push_back(format);
    return static_cast<int>(formats_.size()) - 1;
}

void GridStore::editFormats(const GridRange& range, const std::function<void(CellFormat&)>& edit) {
    const GridRange r = range.normalized();
    // Old format index to new one: a range of identical cells interns one format.
    std::vector<std::pair<int, int>> mapped;
    for (int row = std::max(r.row1, 0); row <= std::min(r.row2, rowCount_ - 1); ++row) {
        for (int col = std::max(r.col1, 0); col <= std::min(r.col2, colCount_ - 1); ++col) {
            const int old = formatIndex(row, col);
            auto hit = std::find_if(mapped.begin(), mapped.end(),
                                    [old](const auto& pair) { return pair.first == old; });
            if (hit == mapped.end()) {
                CellFormat changed = formats_[old];
                edit(changed);
                mapped.emplace_back(old, intern(changed));
                hit = mapped.end() - 1;
            }
            if (hit->second == old) {
                continue;
            }
            cellForWrite(row, col).format = hit->second;
            if (hit->second == 0) {
                dropIfEmpty(lowerBound(row));
            }
        }
    }
}

int GridStore::rowHeight(int row) const {
    const Row* entry = findRow(row);
    return entry == nullptr ? 0 : entry->height;
}

void GridStore::setRowHeight(int row, int height) {
    if (row < 0 || row >= rowCount_) {
        return;
    }
    height = std::max(height, 0);
    if (height == 0) {
        auto it = lowerBound(row);
        if (it != rows_.end() && it->index == row) {
            it->height = 0;
            dropIfEmpty(it);
        }
        return;
    }
    rowForWrite(row).height = height;
}

void GridStore::forEachRowHeight(const std::function<void(int, int)>& visit) const {
    for (const Row& entry : rows_) {
        if (entry.height != 0) {
            visit(entry.index, entry.height);
        }
    }
}

void GridStore::merge(const GridRange& range) {
    GridRange r = range.normalized();
    r.row1 = std::max(r.row1, 0);
    r.col1 = std::max(r.col1, 0);
    r.row2 = std::min(r.row2, rowCount_ - 1);
    r.col2 = std::min(r.col2, colCount_ - 1);
    if (r.row1 > r.row2 || r.col1 > r.col2 || r.isSingleCell()) {
        return;
    }
    unmerge(r);
    merges_.push_back(r);
}

void GridStore::unmerge(const GridRange& range) {
    const GridRange r = range.normalized();
    std::erase_if(merges_, [&r](const GridRange& merged) { return merged.intersects(r); });
}

const GridRange* GridStore::mergeAt(int row, int col) const {
    for (const GridRange& merged : merges_) {
        if (merged.contains(row, col)) {
            return &merged;
        }
    }
    return nullptr;
}

void GridStore::shiftMerges(bool rowsAxis, int at, int delta) {
    std::erase_if(merges_, [=](GridRange& range) {
        int& first = rowsAxis ? range.row1 : range.col1;
        int& last = rowsAxis ? range.row2 : range.col2;
        if (delta > 0) {
            first += first >= at ? delta : 0;
            last += last >= at ? delta : 0;
            return false;
        }
        if (first > at) {
            --first;
        }
        if (last >= at) {
            --last;
        }
        return last < first || range.isSingleCell();
    });
}

void GridStore::insertRow(int row) {
    if (row < 0 || row > rowCount_) {
        return;
    }
    for (auto it = lowerBound(row); it != rows_.end(); ++it) {
        ++it->index;
    }
    ++rowCount_;
    shiftMerges(true, row, 1);
}

void GridStore::removeRow(int row) {
    if (row < 0 || row >= rowCount_ || rowCount_ == 1) {
        return;
    }
    auto it = lowerBound(row);
    if (it != rows_.end() && it->index == row) {
        it = rows_.erase(it);
    }
    for (; it != rows_.end(); ++it) {
        --it->index;
    }
    --rowCount_;
    shiftMerges(true, row, -1);
}

void GridStore::insertColumn(int col) {
    if (col < 0 || col > colCount_) {
        return;
    }
    for (Row& entry : rows_) {
        if (entry.cells.size() > static_cast<size_t>(col)) {
            entry.cells.insert(entry.cells.begin() + col, Cell{});
        }
    }
    columns_.insert(columns_.begin() + col, GridColumn{});
    ++colCount_;
    shiftMerges(false, col, 1);
}

void GridStore::removeColumn(int col) {
    if (col < 0 || col >= colCount_ || colCount_ == 1) {
        return;
    }
    for (Row& entry : rows_) {
        if (entry.cells.size() > static_cast<size_t>(col)) {
            entry.cells.erase(entry.cells.begin() + col);
        }
    }
    std::erase_if(rows_, isBlank);
    columns_.erase(columns_.begin() + col);
    --colCount_;
    shiftMerges(false, col, -1);
}

}  // namespace ui
