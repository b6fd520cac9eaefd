#include "ui/row_arena.h"

#include <algorithm>
#include <cstring>

namespace ui {

namespace {

// Blocks grow with the arena, so a small grid stays small and a long list needs few blocks.
constexpr qsizetype kFirstBlock = 256;
constexpr qsizetype kLargestBlock = 1 << 20;

int NumberSize(quint32 value) {
    int size = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++size;
    }
    return size;
}

char* WriteNumber(char* to, quint32 value) {
    while (value >= 0x80) {
        *to++ = char(quint8(value | 0x80));
        value >>= 7;
    }
    *to++ = char(quint8(value));
    return to;
}

}  // namespace

QByteArrayView RowTexts::cell(int col) const {
    if (col < 0 || col >= count()) {
        return {};
    }
    const qsizetype from = start(col);
    return QByteArrayView(texts.constData() + from, qsizetype(ends[size_t(col)]) - from);
}

void RowTexts::clear() {
    // Unlike clear(), resizing keeps the capacity for the next row.
    texts.resize(0);
    ends.clear();
}

void RowTexts::dropTrailingEmpty() {
    while (!ends.empty() &&
           (ends.size() == 1 ? ends.back() == 0 : ends.back() == ends[ends.size() - 2])) {
        ends.pop_back();
    }
    texts.truncate(ends.empty() ? 0 : qsizetype(ends.back()));
}

void RowTexts::setText(int col, QByteArrayView utf8) {
    if (size_t(col) >= ends.size()) {
        if (utf8.isEmpty()) {
            return;
        }
        ends.resize(size_t(col) + 1, quint32(texts.size()));
    }
    const qsizetype from = start(col);
    const qsizetype length = qsizetype(ends[size_t(col)]) - from;
    if (from == texts.size()) {
        texts.append(utf8);
    } else {
        texts.replace(from, length, utf8.data(), utf8.size());
    }
    const qsizetype delta = utf8.size() - length;
    for (size_t c = size_t(col); c < ends.size(); ++c) {
        ends[c] = quint32(qsizetype(ends[c]) + delta);
    }
    dropTrailingEmpty();
}

void RowTexts::insertCells(int col, int count) {
    if (size_t(col) < ends.size()) {
        ends.insert(ends.begin() + col, size_t(count), quint32(start(col)));
    }
}

void RowTexts::removeCells(int col, int count) {
    if (size_t(col) >= ends.size()) {
        return;
    }
    const size_t last = std::min(size_t(col) + size_t(count), ends.size());
    const qsizetype from = start(col);
    const quint32 removed = quint32(qsizetype(ends[last - 1]) - from);
    texts.remove(from, removed);
    ends.erase(ends.begin() + col, ends.begin() + qsizetype(last));
    for (size_t c = size_t(col); c < ends.size(); ++c) {
        ends[c] -= removed;
    }
    dropTrailingEmpty();
}

void RowTexts::truncate(int cols) {
    if (ends.size() > size_t(cols)) {
        ends.resize(size_t(cols));
        dropTrailingEmpty();
    }
}

const char* PackedRow::ReadNumber(const char* from, quint32& value) {
    value = 0;
    int shift = 0;
    quint8 byte = 0;
    do {
        byte = quint8(*from++);
        value |= quint32(byte & 0x7F) << shift;
        shift += 7;
    } while (byte & 0x80);
    return from;
}

PackedRow::PackedRow(const char* record) {
    lengths_ = ReadNumber(record, count_);
    // The texts begin after the last length.
    const char* p = lengths_;
    for (quint32 col = 0; col < count_; ++col) {
        while (quint8(*p++) & 0x80) {
        }
    }
    texts_ = p;
}

QByteArrayView PackedRow::cell(int col) const {
    if (col < 0 || quint32(col) >= count_) {
        return {};
    }
    const char* length = lengths_;
    const char* text = texts_;
    quint32 size = 0;
    for (int c = 0; c < col; ++c) {
        length = ReadNumber(length, size);
        text += size;
    }
    ReadNumber(length, size);
    return QByteArrayView(text, qsizetype(size));
}

void PackedRow::unpack(RowTexts& into) const {
    into.clear();
    into.ends.reserve(count_);
    qsizetype end = 0;
    const char* length = lengths_;
    for (quint32 col = 0; col < count_; ++col) {
        quint32 size = 0;
        length = ReadNumber(length, size);
        end += size;
        into.ends.push_back(quint32(end));
    }
    into.texts.resize(end);
    if (end > 0) {
        std::memcpy(into.texts.data(), texts_, size_t(end));
    }
}

qsizetype PackedRow::byteSize() const {
    qsizetype textBytes = 0;
    const char* length = lengths_;
    for (quint32 col = 0; col < count_; ++col) {
        quint32 size = 0;
        length = ReadNumber(length, size);
        textBytes += size;
    }
    return qsizetype(texts_ - lengths_) + NumberSize(count_) + textBytes;
}

char* RowArena::allocate(qsizetype bytes, Ref& ref) {
    // Blocks grow by half the arena each, up to a limit, so the free end of the newest block
    // stays a small share of the whole.
    const qsizetype standard = std::clamp(capacity_ / 2, kFirstBlock, kLargestBlock);
    Block* block = current_ < blocks_.size() ? &blocks_[current_] : nullptr;
    if (block == nullptr || block->size - block->used < bytes) {
        // A long row gets a block of its own size, and the block rows are appended to stays.
        const bool own = bytes * 4 > standard;
        const qsizetype size = std::max(standard, bytes);
        Block fresh;
        fresh.data.reset(new char[size_t(own ? bytes : size)]);
        fresh.size = quint32(own ? bytes : size);
        blocks_.push_back(std::move(fresh));
        capacity_ += blocks_.back().size;
        if (!own) {
            current_ = blocks_.size() - 1;
        }
        block = &blocks_.back();
    }
    ref.block = quint32(block - blocks_.data());
    ref.at = block->used;
    block->used += quint32(bytes);
    used_ += bytes;
    return block->data.get() + ref.at;
}

RowArena::Ref RowArena::append(const RowTexts& row) {
    qsizetype header = NumberSize(quint32(row.count()));
    for (int col = 0; col < row.count(); ++col) {
        header += NumberSize(quint32(row.cell(col).size()));
    }
    Ref ref;
    char* to = allocate(header + row.texts.size(), ref);
    to = WriteNumber(to, quint32(row.count()));
    for (int col = 0; col < row.count(); ++col) {
        to = WriteNumber(to, quint32(row.cell(col).size()));
    }
    if (!row.texts.isEmpty()) {
        std::memcpy(to, row.texts.constData(), size_t(row.texts.size()));
    }
    return ref;
}

RowArena::Ref RowArena::copy(const RowArena& from, Ref ref) {
    const qsizetype bytes = from.row(ref).byteSize();
    Ref copied;
    std::memcpy(allocate(bytes, copied), from.record(ref), size_t(bytes));
    return copied;
}

}  // namespace ui
