#pragma once

#include <QtGlobal>
#include <algorithm>
#include <vector>

// Row ids in the order they were added, in four bytes each while every id fits (the engine
// numbers rows from 1, so a shop's tables always do), in eight otherwise. A list of a million
// rows keeps its keys in 4 MB.
class RowKeys {
public:
    void reserve(size_t count) { wide_.empty() ? narrow_.reserve(count) : wide_.reserve(count); }
    size_t size() const { return wide_.empty() ? narrow_.size() : wide_.size(); }
    bool empty() const { return size() == 0; }

    void push_back(qint64 key) {
        if (wide_.empty() && key >= 0 && key <= qint64(kNarrowMax)) {
            narrow_.push_back(quint32(key));
            return;
        }
        if (wide_.empty()) {
            wide_.assign(narrow_.begin(), narrow_.end());
            narrow_ = {};
        }
        wide_.push_back(key);
    }
    qint64 operator[](size_t at) const { return wide_.empty() ? qint64(narrow_[at]) : wide_[at]; }

    void sort() {
        std::sort(narrow_.begin(), narrow_.end());
        std::sort(wide_.begin(), wide_.end());
    }
    // After sort() only.
    bool contains(qint64 key) const {
        if (!wide_.empty()) {
            return std::binary_search(wide_.begin(), wide_.end(), key);
        }
        return key >= 0 && key <= qint64(kNarrowMax) &&
               std::binary_search(narrow_.begin(), narrow_.end(), quint32(key));
    }
    void clear() {
        narrow_ = {};
        wide_ = {};
    }

private:
    static constexpr quint32 kNarrowMax = 0xffffffffu;
    std::vector<quint32> narrow_;
    std::vector<qint64> wide_;
};
