#pragma once

#include <algorithm>
#include <utility>
#include <vector>

namespace ui {

// Values for a few rows of many, kept sorted by row index: what a sparse grid keeps per row.
template <class T>
class RowMap {
public:
    using Item = std::pair<int, T>;
    using iterator = typename std::vector<Item>::iterator;
    using const_iterator = typename std::vector<Item>::const_iterator;

    iterator begin() { return items_.begin(); }
    iterator end() { return items_.end(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }
    size_t size() const { return items_.size(); }
    size_t heldBytes() const { return items_.capacity() * sizeof(Item); }
    // Gives back what a list that shrank no longer needs.
    void shrinkIfSparse() {
        if (items_.capacity() > 2 * items_.size() + 16) {
            items_.shrink_to_fit();
        }
    }
    bool empty() const { return items_.empty(); }

    iterator lowerBound(int row) {
        // Lists are filled row after row: appending is the common case.
        if (items_.empty() || items_.back().first < row) {
            return items_.end();
        }
        if (items_.back().first == row) {
            return items_.end() - 1;
        }
        return std::lower_bound(items_.begin(), items_.end(), row,
                                [](const Item& item, int index) { return item.first < index; });
    }
    const_iterator lowerBound(int row) const {
        return std::lower_bound(items_.begin(), items_.end(), row,
                                [](const Item& item, int index) { return item.first < index; });
    }

    T* find(int row) {
        const auto it = lowerBound(row);
        return it != items_.end() && it->first == row ? &it->second : nullptr;
    }
    const T* find(int row) const {
        const auto it = lowerBound(row);
        return it != items_.end() && it->first == row ? &it->second : nullptr;
    }
    // The row's value, made when it has none.
    T& get(int row) {
        auto it = lowerBound(row);
        if (it == items_.end() || it->first != row) {
            it = items_.insert(it, Item{row, T{}});
        }
        return it->second;
    }
    void erase(int row) {
        const auto it = lowerBound(row);
        if (it != items_.end() && it->first == row) {
            items_.erase(it);
        }
    }
    iterator erase(iterator from, iterator to) { return items_.erase(from, to); }
    template <class Predicate>
    void eraseIf(Predicate&& drop) {
        std::erase_if(items_, std::forward<Predicate>(drop));
    }

    // `count` rows inserted at `row`, or removed from it when count < 0; the values of removed
    // rows must have been erased first.
    void shift(int row, int count) {
        for (auto it = lowerBound(row); it != items_.end(); ++it) {
            it->first += count;
        }
    }

private:
    std::vector<Item> items_;
};

}  // namespace ui
