#include "ui/grid_store.h"

#include <algorithm>
#include <utility>

namespace ui {

GridStore::GridStore() : columns_(1), formats_(1) {}

QString GridStore::Row::text(int col) const {
    if (col < 0 || size_t(col) >= ends.size()) {
        return {};
    }
    const qsizetype from = start(col);
    return QString::fromUtf8(texts.constData() + from, qsizetype(ends[col]) - from);
}

void GridStore::Row::setText(int col, QByteArrayView text) {
    if (size_t(col) >= ends.size()) {
        if (text.isEmpty()) {
            return;
        }
        ends.resize(col + 1, quint32(texts.size()));
    }
    const qsizetype from = start(col);
    const qsizetype length = qsizetype(ends[col]) - from;
    if (from == texts.size()) {
        texts.append(text);
    } else {
        texts.replace(from, length, text.data(), text.size());
    }
    const qsizetype delta = text.size() - length;
    for (size_t c = col; c < ends.size(); ++c) {
        ends[c] = quint32(qsizetype(ends[c]) + delta);
    }
    // Trailing empty cells need no entry.
    while (!ends.empty() &&
           (ends.size() == 1 ? ends.back() == 0 : ends.back() == ends[ends.size() - 2])) {
        ends.pop_back();
    }
}

void GridStore::Row::insertCells(int col, int count) {
    if (size_t(col) < ends.size()) {
        ends.insert(ends.begin() + col, size_t(count), quint32(start(col)));
    }
    if (size_t(col) < formats.size()) {
        formats.insert(formats.begin() + col, size_t(count), 0);
    }
}

void GridStore::Row::removeCells(int col, int count) {
    if (size_t(col) < ends.size()) {
        const size_t last = std::min(size_t(col) + size_t(count), ends.size());
        const qsizetype from = start(col);
        const quint32 removed = quint32(qsizetype(ends[last - 1]) - from);
        texts.remove(from, removed);
        ends.erase(ends.begin() + col, ends.begin() + qsizetype(last));
        for (size_t c = col; c < ends.size(); ++c) {
            ends[c] -= removed;
        }
        while (!ends.empty() &&
               (ends.size() == 1 ? ends.back() == 0 : ends.back() == ends[ends.size() - 2])) {
            ends.pop_back();
        }
    }
    if (size_t(col) < formats.size()) {
        formats.erase(formats.begin() + col,
                      formats.begin() + qsizetype(std::min(size_t(col) + count, formats.size())));
    }
}

void GridStore::Row::truncate(int cols) {
    if (ends.size() > size_t(cols)) {
        ends.resize(cols);
        texts.truncate(ends.empty() ? 0 : qsizetype(ends.back()));
    }
    if (formats.size() > size_t(cols)) {
        formats.resize(cols);
    }
}

void GridStore::Row::squeeze() {
    texts.squeeze();
    ends.shrink_to_fit();
    formats.shrink_to_fit();
}

std::vector<GridStore::Row>::iterator GridStore::lowerBound(int row) {
    // Appending at the end, cell by cell, is the common case while a list is filled.
    if (rows_.empty() || rows_.back().index < row) {
        return rows_.end();
    }
    if (rows_.back().index == row) {
        return rows_.end() - 1;
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
        // A list is filled row after row, and its rows look alike: size the new last row like
        // the one before, which is complete now and gives back what it reserved for growing.
        qsizetype expected = 0;
        size_t expectedCells = 0;
        const bool appending = it == rows_.end();
        if (appending && !rows_.empty()) {
            Row& previous = rows_.back();
            if (previous.texts.capacity() - previous.texts.size() > 16) {
                previous.squeeze();
            }
            expected = previous.texts.size() + 8;
            expectedCells = previous.ends.size();
        }
        it = rows_.insert(it, Row{row, 0, {}, {}, {}});
        if (appending) {
            it->ends.reserve(expectedCells);
            it->texts.reserve(expected);
        }
    }
    return *it;
}

int& GridStore::formatForWrite(int row, int col) {
    Row& entry = rowForWrite(row);
    if (entry.formats.size() <= static_cast<size_t>(col)) {
        entry.formats.resize(col + 1, 0);
    }
    return entry.formats[col];
}

bool GridStore::isBlank(const Row& entry) {
    return entry.height == 0 && entry.texts.isEmpty() &&
           std::all_of(entry.formats.begin(), entry.formats.end(),
                       [](int format) { return format == 0; });
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
            entry.truncate(count);
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

QString GridStore::text(int row, int col) const {
    const Row* entry = findRow(row);
    return entry == nullptr ? QString() : entry->text(col);
}

void GridStore::setText(int row, int col, const QString& text) {
    setUtf8(row, col, text.toUtf8());
}

void GridStore::setUtf8(int row, int col, QByteArrayView utf8) {
    if (!inRange(row, col)) {
        return;
    }
    if (utf8.isEmpty()) {
        auto it = lowerBound(row);
        if (it != rows_.end() && it->index == row) {
            it->setText(col, utf8);
            dropIfEmpty(it);
        }
        return;
    }
    rowForWrite(row).setText(col, utf8);
}

int GridStore::formatIndex(int row, int col) const {
    const Row* entry = findRow(row);
    if (entry == nullptr || col < 0 || entry->formats.size() <= static_cast<size_t>(col)) {
        return 0;
    }
    return entry->formats[col];
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
            formatForWrite(row, col) = hit->second;
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

void GridStore::forEachStoredRow(const std::function<void(int, int)>& visit) const {
    for (const Row& entry : rows_) {
        visit(entry.index, int(std::max(entry.ends.size(), entry.formats.size())));
    }
}

void GridStore::forEachStoredText(
    const std::function<void(int, int, QByteArrayView, int)>& visit) const {
    for (const Row& entry : rows_) {
        for (size_t col = 0; col < entry.ends.size(); ++col) {
            const qsizetype from = entry.start(int(col));
            const qsizetype length = qsizetype(entry.ends[col]) - from;
            if (length == 0)
                continue;
            const int format = col < entry.formats.size() ? entry.formats[col] : 0;
            visit(entry.index, int(col), QByteArrayView(entry.texts.constData() + from, length),
                  format);
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

void GridStore::shiftMerges(bool rowsAxis, int at, int count) {
    std::erase_if(merges_, [=](GridRange& range) {
        int& first = rowsAxis ? range.row1 : range.col1;
        int& last = rowsAxis ? range.row2 : range.col2;
        if (count > 0) {
            first += first >= at ? count : 0;
            last += last >= at ? count : 0;
            return false;
        }
        // Lines [at, end) go; what lay below them moves up.
        const int end = at - count;
        first = first < at ? first : (first >= end ? first + count : at);
        last = last < at ? last : (last >= end ? last + count : at - 1);
        return last < first || range.isSingleCell();
    });
}

void GridStore::insertRow(int row, int count) {
    if (row < 0 || row > rowCount_ || count < 1) {
        return;
    }
    for (auto it = lowerBound(row); it != rows_.end(); ++it) {
        it->index += count;
    }
    rowCount_ += count;
    shiftMerges(true, row, count);
}

void GridStore::removeRow(int row, int count) {
    count = std::min(count, rowCount_ - row);
    if (row < 0 || row >= rowCount_ || count < 1 || rowCount_ - count < 1) {
        return;
    }
    auto it = rows_.erase(lowerBound(row), lowerBound(row + count));
    for (; it != rows_.end(); ++it) {
        it->index -= count;
    }
    rowCount_ -= count;
    shiftMerges(true, row, -count);
}

void GridStore::insertColumn(int col, int count) {
    if (col < 0 || col > colCount_ || count < 1) {
        return;
    }
    for (Row& entry : rows_) {
        entry.insertCells(col, count);
    }
    columns_.insert(columns_.begin() + col, size_t(count), GridColumn{});
    colCount_ += count;
    shiftMerges(false, col, count);
}

void GridStore::removeColumn(int col, int count) {
    count = std::min(count, colCount_ - col);
    if (col < 0 || col >= colCount_ || count < 1 || colCount_ - count < 1) {
        return;
    }
    for (Row& entry : rows_) {
        entry.removeCells(col, count);
    }
    std::erase_if(rows_, isBlank);
    columns_.erase(columns_.begin() + col, columns_.begin() + col + count);
    colCount_ -= count;
    shiftMerges(false, col, -count);
}

}  // namespace ui
