#include "ui/grid_store.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace ui {

namespace {

// Waste below this is left alone: compacting a small grid gains nothing.
constexpr qsizetype kWasteWorthCompacting = 64 * 1024;

bool AllDefault(const std::vector<int>& formats) {
    return std::all_of(formats.begin(), formats.end(), [](int format) { return format == 0; });
}

}  // namespace

GridStore::GridStore() : columns_(1), formatTable_(1) {}

int GridStore::cellCount(TextRef ref) const {
    return isOpen(ref) ? open_.count() : arena_.row(ref).count();
}

QByteArrayView GridStore::cell(TextRef ref, int col) const {
    return isOpen(ref) ? open_.cell(col) : arena_.row(ref).cell(col);
}

template <class Visit>
void GridStore::forEachCell(TextRef ref, Visit&& visit) const {
    if (isOpen(ref)) {
        for (int col = 0; col < open_.count(); ++col) {
            visit(col, open_.cell(col));
        }
    } else {
        arena_.row(ref).forEach(visit);
    }
}

void GridStore::openRow(int row) {
    if (openIndex_ == row) {
        return;
    }
    closeOpenRow();
    compactIfWasteful();
    // The open row's buffers keep their capacity from row to row.
    open_.clear();
    if (TextRef* ref = texts_.find(row)) {
        arena_.row(*ref).unpack(open_);
        arena_.release(*ref);
        ref->block = kOpenRow;
    } else {
        texts_.get(row).block = kOpenRow;
    }
    openIndex_ = row;
}

void GridStore::closeOpenRow() {
    if (openIndex_ < 0) {
        return;
    }
    const int row = openIndex_;
    openIndex_ = -1;
    if (open_.isEmpty()) {
        texts_.erase(row);
        dropIfBlank(row);
    } else {
        *texts_.find(row) = arena_.append(open_);
    }
}

void GridStore::compactIfWasteful() {
    // Edited and removed rows leave their old records behind; once they are a third of the
    // arena, the rows are copied into a fresh one.
    if (arena_.wastedBytes() >= kWasteWorthCompacting &&
        arena_.wastedBytes() * 2 >= arena_.usedBytes()) {
        rebuildTexts({});
    }
}

void GridStore::rebuildTexts(const std::function<void(RowTexts&)>& change) {
    closeOpenRow();
    RowArena fresh;
    RowTexts scratch;
    texts_.eraseIf([&](std::pair<int, TextRef>& item) {
        if (!change) {
            item.second = fresh.copy(arena_, item.second);
            return false;
        }
        arena_.row(item.second).unpack(scratch);
        change(scratch);
        if (scratch.isEmpty()) {
            return true;
        }
        item.second = fresh.append(scratch);
        return false;
    });
    arena_ = std::move(fresh);
    texts_.shrinkIfSparse();
}

void GridStore::eraseTexts(int from, int to) {
    closeOpenRow();
    const auto first = texts_.lowerBound(from);
    const auto last = texts_.lowerBound(to);
    for (auto it = first; it != last; ++it) {
        arena_.release(it->second);
    }
    texts_.erase(first, last);
}

int GridStore::storedRowCount() const {
    // Rows holding a text, a height or a format, each counted once.
    std::vector<int> rows;
    rows.reserve(texts_.size() + heights_.size() + formats_.size());
    for (const auto& item : texts_) {
        rows.push_back(item.first);
    }
    for (const auto& item : heights_) {
        rows.push_back(item.first);
    }
    for (const auto& item : formats_) {
        rows.push_back(item.first);
    }
    std::sort(rows.begin(), rows.end());
    return int(std::unique(rows.begin(), rows.end()) - rows.begin());
}

qsizetype GridStore::heldBytes() const {
    return arena_.capacityBytes() + qsizetype(texts_.heldBytes()) + open_.texts.capacity() +
           qsizetype(open_.ends.capacity() * sizeof(quint32));
}

int& GridStore::formatForWrite(int row, int col) {
    std::vector<int>& formats = formats_.get(row);
    if (formats.size() <= static_cast<size_t>(col)) {
        formats.resize(size_t(col) + 1, 0);
    }
    return formats[size_t(col)];
}

bool GridStore::isBlank(int row) const {
    if (texts_.find(row) != nullptr || heights_.find(row) != nullptr) {
        return false;
    }
    const std::vector<int>* formats = formats_.find(row);
    return formats == nullptr || AllDefault(*formats);
}

void GridStore::dropIfBlank(int row) {
    // A row's formats go with the row: while it holds a text or a height they stay as set.
    if (isBlank(row)) {
        formats_.erase(row);
    }
}

void GridStore::setRows(int count) {
    count = std::max(count, 1);
    if (count < rowCount_) {
        eraseTexts(count, rowCount_);
        heights_.erase(heights_.lowerBound(count), heights_.end());
        formats_.erase(formats_.lowerBound(count), formats_.end());
        compactIfWasteful();
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
        rebuildTexts([count](RowTexts& row) { row.truncate(count); });
        for (auto& item : formats_) {
            if (item.second.size() > size_t(count)) {
                item.second.resize(size_t(count));
            }
        }
        formats_.eraseIf([this](const auto& item) {
            return AllDefault(item.second) && texts_.find(item.first) == nullptr &&
                   heights_.find(item.first) == nullptr;
        });
        std::erase_if(merges_, [count](GridRange& range) {
            range.col2 = std::min(range.col2, count - 1);
            return range.col1 >= count || range.isSingleCell();
        });
    }
    colCount_ = count;
    columns_.resize(size_t(count));
}

QString GridStore::text(int row, int col) const {
    const TextRef* ref = texts_.find(row);
    if (ref == nullptr) {
        return {};
    }
    const QByteArrayView utf8 = cell(*ref, col);
    return QString::fromUtf8(utf8.data(), utf8.size());
}

void GridStore::setText(int row, int col, const QString& text) {
    setUtf8(row, col, text.toUtf8());
}

void GridStore::setUtf8(int row, int col, QByteArrayView utf8) {
    if (!inRange(row, col)) {
        return;
    }
    if (utf8.isEmpty() && openIndex_ != row) {
        const TextRef* ref = texts_.find(row);
        if (ref == nullptr || col >= cellCount(*ref) || cell(*ref, col).isEmpty()) {
            return;
        }
    }
    openRow(row);
    open_.setText(col, utf8);
    if (open_.isEmpty()) {
        closeOpenRow();
    }
}

int GridStore::formatIndex(int row, int col) const {
    const std::vector<int>* formats = formats_.find(row);
    if (formats == nullptr || col < 0 || formats->size() <= static_cast<size_t>(col)) {
        return 0;
    }
    return (*formats)[size_t(col)];
}

int GridStore::intern(const CellFormat& format) {
    const auto it = std::find(formatTable_.begin(), formatTable_.end(), format);
    if (it != formatTable_.end()) {
        return static_cast<int>(it - formatTable_.begin());
    }
    formatTable_.push_back(format);
    return static_cast<int>(formatTable_.size()) - 1;
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
                CellFormat changed = formatTable_[old];
                edit(changed);
                mapped.emplace_back(old, intern(changed));
                hit = mapped.end() - 1;
            }
            if (hit->second == old) {
                continue;
            }
            formatForWrite(row, col) = hit->second;
            if (hit->second == 0) {
                dropIfBlank(row);
            }
        }
    }
}

int GridStore::rowHeight(int row) const {
    const int* height = heights_.find(row);
    return height == nullptr ? 0 : *height;
}

void GridStore::setRowHeight(int row, int height) {
    if (row < 0 || row >= rowCount_) {
        return;
    }
    height = std::max(height, 0);
    if (height == 0) {
        heights_.erase(row);
        dropIfBlank(row);
        return;
    }
    heights_.get(row) = height;
}

void GridStore::forEachRowHeight(const std::function<void(int, int)>& visit) const {
    for (const auto& [row, height] : heights_) {
        visit(row, height);
    }
}

void GridStore::forEachStoredRow(const std::function<void(int, int)>& visit) const {
    // The three kinds of entries merged in row order.
    auto text = texts_.begin();
    auto height = heights_.begin();
    auto format = formats_.begin();
    constexpr int kPast = std::numeric_limits<int>::max();
    for (;;) {
        const int row = std::min({text != texts_.end() ? text->first : kPast,
                                  height != heights_.end() ? height->first : kPast,
                                  format != formats_.end() ? format->first : kPast});
        if (row == kPast) {
            return;
        }
        int used = 0;
        if (text != texts_.end() && text->first == row) {
            used = cellCount(text->second);
            ++text;
        }
        if (height != heights_.end() && height->first == row) {
            ++height;
        }
        if (format != formats_.end() && format->first == row) {
            used = std::max(used, int(format->second.size()));
            ++format;
        }
        visit(row, used);
    }
}

void GridStore::forEachStoredText(
    const std::function<void(int, int, QByteArrayView, int)>& visit) const {
    auto format = formats_.begin();
    for (const auto& [row, ref] : texts_) {
        while (format != formats_.end() && format->first < row) {
            ++format;
        }
        const std::vector<int>* formats =
            format != formats_.end() && format->first == row ? &format->second : nullptr;
        forEachCell(ref, [&](int col, QByteArrayView utf8) {
            if (utf8.isEmpty()) {
                return;
            }
            const int index =
                formats != nullptr && size_t(col) < formats->size() ? (*formats)[size_t(col)] : 0;
            visit(row, col, utf8, index);
        });
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
    closeOpenRow();
    texts_.shift(row, count);
    heights_.shift(row, count);
    formats_.shift(row, count);
    rowCount_ += count;
    shiftMerges(true, row, count);
}

void GridStore::removeRow(int row, int count) {
    count = std::min(count, rowCount_ - row);
    if (row < 0 || row >= rowCount_ || count < 1 || rowCount_ - count < 1) {
        return;
    }
    eraseTexts(row, row + count);
    heights_.erase(heights_.lowerBound(row), heights_.lowerBound(row + count));
    formats_.erase(formats_.lowerBound(row), formats_.lowerBound(row + count));
    texts_.shift(row, -count);
    heights_.shift(row, -count);
    formats_.shift(row, -count);
    compactIfWasteful();
    rowCount_ -= count;
    shiftMerges(true, row, -count);
}

void GridStore::insertColumn(int col, int count) {
    if (col < 0 || col > colCount_ || count < 1) {
        return;
    }
    rebuildTexts([col, count](RowTexts& row) { row.insertCells(col, count); });
    for (auto& item : formats_) {
        if (size_t(col) < item.second.size()) {
            item.second.insert(item.second.begin() + col, size_t(count), 0);
        }
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
    rebuildTexts([col, count](RowTexts& row) { row.removeCells(col, count); });
    for (auto& item : formats_) {
        std::vector<int>& formats = item.second;
        if (size_t(col) < formats.size()) {
            formats.erase(
                formats.begin() + col,
                formats.begin() + qsizetype(std::min(size_t(col) + size_t(count), formats.size())));
        }
    }
    formats_.eraseIf([this](const auto& item) {
        return AllDefault(item.second) && texts_.find(item.first) == nullptr &&
               heights_.find(item.first) == nullptr;
    });
    columns_.erase(columns_.begin() + col, columns_.begin() + col + count);
    colCount_ -= count;
    shiftMerges(false, col, -count);
}

}  // namespace ui
