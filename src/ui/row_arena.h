#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <memory>
#include <vector>

namespace ui {

// One row's texts in UTF-8, one after the other, with the end of each cell; the form a row
// takes while it is being changed. Trailing empty cells hold no entry.
struct RowTexts {
    QByteArray texts;
    std::vector<quint32> ends;

    int count() const { return int(ends.size()); }
    bool isEmpty() const { return ends.empty(); }
    qsizetype start(int col) const { return col == 0 ? 0 : ends[size_t(col) - 1]; }
    QByteArrayView cell(int col) const;
    void clear();
    void setText(int col, QByteArrayView utf8);
    void insertCells(int col, int count);
    void removeCells(int col, int count);
    void truncate(int cols);

private:
    void dropTrailingEmpty();
};

// A packed row as the arena holds it: the cell count and each cell's length in bytes as
// variable-length numbers (one byte below 128), then the texts. A view; it owns nothing.
class PackedRow {
public:
    explicit PackedRow(const char* record);

    int count() const { return int(count_); }
    // Decodes the lengths up to `col`; cells past the last stored one are empty.
    QByteArrayView cell(int col) const;
    // Calls visit(col, utf8) for every stored cell, empty ones included, in order.
    template <class Visit>
    void forEach(Visit&& visit) const {
        const char* length = lengths_;
        const char* text = texts_;
        for (quint32 col = 0; col < count_; ++col) {
            quint32 size = 0;
            length = ReadNumber(length, size);
            visit(int(col), QByteArrayView(text, qsizetype(size)));
            text += size;
        }
    }
    void unpack(RowTexts& into) const;
    // The record's size in bytes, header included.
    qsizetype byteSize() const;

    static const char* ReadNumber(const char* from, quint32& value);

private:
    quint32 count_ = 0;
    const char* lengths_ = nullptr;
    const char* texts_ = nullptr;
};

// Packed rows kept one after the other in large blocks, so a long list costs a few bytes a row
// beyond its text rather than an allocation or two a row. Records never move until the owner
// rebuilds the arena; a changed row is appended again and its old record counted as waste.
class RowArena {
public:
    struct Ref {
        quint32 block = 0;
        quint32 at = 0;
    };

    Ref append(const RowTexts& row);
    // Copies a record of another arena as it is.
    Ref copy(const RowArena& from, Ref ref);
    PackedRow row(Ref ref) const { return PackedRow(record(ref)); }
    const char* record(Ref ref) const { return blocks_[ref.block].data.get() + ref.at; }

    // The record at `ref` is no longer used.
    void release(Ref ref) { wasted_ += row(ref).byteSize(); }
    qsizetype usedBytes() const { return used_ - wasted_; }
    qsizetype capacityBytes() const { return capacity_; }
    qsizetype wastedBytes() const { return wasted_; }

private:
    char* allocate(qsizetype bytes, Ref& ref);

    struct Block {
        std::unique_ptr<char[]> data;
        quint32 size = 0;
        quint32 used = 0;
    };
    std::vector<Block> blocks_;
    size_t current_ = 0;  // the block rows are appended to
    qsizetype capacity_ = 0;
    qsizetype used_ = 0;
    qsizetype wasted_ = 0;
};

}  // namespace ui
