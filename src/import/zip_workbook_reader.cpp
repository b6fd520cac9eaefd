#include <QDate>
#include <QtEndian>
#include <cctype>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <orcus/spreadsheet/styles.hpp>
#include <orcus/string_pool.hpp>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "import/child_process.h"
#include "import/number_format.h"
#include "import/sheet_readers.h"

namespace iface = orcus::spreadsheet::iface;
using orcus::spreadsheet::col_t;
using orcus::spreadsheet::row_t;

namespace {

// What the entries of one archive may unpack to, all together. The reader unpacks each entry
// whole into memory, so this bounds what a small hostile archive can make us allocate.
constexpr quint64 kMaxUnpackedBytes = quint64(512) << 20;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Reads the archive's central directory and adds up what its entries unpack to. False for a
// file that is no archive, is cut short, or unpacks to more than we allow.
enum class ArchiveCheck { Fine, Damaged, TooBig };
ArchiveCheck CheckArchive(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype size = data.size();
    constexpr qsizetype kEndRecord = 22;
    if (size < kEndRecord) {
        return ArchiveCheck::Damaged;
    }
    // The end record sits at the very end, before a comment of at most 64 KB.
    qsizetype end = -1;
    for (qsizetype at = size - kEndRecord; at >= 0 && at >= size - kEndRecord - 65535; --at) {
        if (qFromLittleEndian<quint32>(bytes + at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end < 0) {
        return ArchiveCheck::Damaged;
    }
    const quint16 entries = qFromLittleEndian<quint16>(bytes + end + 10);
    const quint32 directorySize = qFromLittleEndian<quint32>(bytes + end + 12);
    const quint32 directoryAt = qFromLittleEndian<quint32>(bytes + end + 16);
    if (quint64(directoryAt) + directorySize > quint64(end)) {
        return ArchiveCheck::Damaged;
    }
    quint64 unpacked = 0;
    qsizetype at = directoryAt;
    const qsizetype directoryEnd = qsizetype(directoryAt) + directorySize;
    // The library walks every entry the directory holds, whatever count the end record states,
    // so every one of them is checked, and the two must agree.
    int walked = 0;
    while (at < directoryEnd) {
        constexpr qsizetype kEntryHeader = 46;
        if (at + kEntryHeader > directoryEnd ||
            qFromLittleEndian<quint32>(bytes + at) != 0x02014b50) {
            return ArchiveCheck::Damaged;
        }
        ++walked;
        const quint32 packedSize = qFromLittleEndian<quint32>(bytes + at + 20);
        const quint32 entrySize = qFromLittleEndian<quint32>(bytes + at + 24);
        // 0xFFFFFFFF means a 64-bit size follows elsewhere: more than we would ever unpack.
        if (entrySize == 0xFFFFFFFFu) {
            return ArchiveCheck::TooBig;
        }
        // The library reads an entry's packed bytes into a buffer of the size the directory
        // states, so that size must be bytes the file really holds before the directory.
        const quint32 localAt = qFromLittleEndian<quint32>(bytes + at + 42);
        constexpr quint64 kLocalHeader = 30;
        if (quint64(localAt) + kLocalHeader > quint64(directoryAt) ||
            qFromLittleEndian<quint32>(bytes + localAt) != 0x04034b50) {
            return ArchiveCheck::Damaged;
        }
        const quint64 dataAt = quint64(localAt) + kLocalHeader +
                               qFromLittleEndian<quint16>(bytes + localAt + 26) +
                               qFromLittleEndian<quint16>(bytes + localAt + 28);
        if (dataAt + packedSize > quint64(directoryAt)) {
            return ArchiveCheck::Damaged;
        }
        unpacked += entrySize;
        if (unpacked > kMaxUnpackedBytes) {
            return ArchiveCheck::TooBig;
        }
        at += kEntryHeader + qFromLittleEndian<quint16>(bytes + at + 28) +
              qFromLittleEndian<quint16>(bytes + at + 30) +
              qFromLittleEndian<quint16>(bytes + at + 32);
    }
    return walked == entries && at == directoryEnd ? ArchiveCheck::Fine : ArchiveCheck::Damaged;
}

// Keeps what the library's own style store keeps, and notes which cell formats show dates.
class Styles : public orcus::spreadsheet::import_styles {
public:
    Styles() : import_styles(store_, pool_) {}

    void set_number_format_identifier(size_t id) override {
        formatId_ = id;
        import_styles::set_number_format_identifier(id);
    }
    void set_number_format_code(std::string_view code) override {
        formatCode_.assign(code);
        import_styles::set_number_format_code(code);
    }
    size_t commit_number_format() override {
        codes_[formatId_] = formatCode_;
        formatId_ = 0;
        formatCode_.clear();
        return import_styles::commit_number_format();
    }
    void set_xf_number_format(size_t id) override {
        xfFormat_ = id;
        import_styles::set_xf_number_format(id);
    }
    size_t commit_cell_xf() override {
        const auto code = codes_.find(xfFormat_);
        dateXfs_.push_back(
            IsDateFormat(xfFormat_, code == codes_.end() ? std::string_view() : code->second));
        xfFormat_ = 0;
        return import_styles::commit_cell_xf();
    }
    size_t commit_cell_style_xf() override {
        xfFormat_ = 0;
        return import_styles::commit_cell_style_xf();
    }
    size_t commit_dxf() override {
        xfFormat_ = 0;
        return import_styles::commit_dxf();
    }

    bool showsDate(size_t xf) const { return xf < dateXfs_.size() && dateXfs_[xf]; }

private:
    orcus::string_pool pool_;
    orcus::spreadsheet::styles store_;
    std::unordered_map<size_t, std::string> codes_;
    std::vector<bool> dateXfs_;
    size_t formatId_ = 0;
    std::string formatCode_;
    size_t xfFormat_ = 0;
};

class SharedStrings : public iface::import_shared_strings {
public:
    size_t append(std::string_view s) override {
        strings_.push_back(FromUtf8(s));
        return strings_.size() - 1;
    }
    size_t add(std::string_view s) override {
        const QString text = FromUtf8(s);
        const auto [it, added] = index_.try_emplace(text, strings_.size());
        if (added) {
            strings_.push_back(text);
        }
        return it->second;
    }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t,
                                orcus::spreadsheet::color_elem_t,
                                orcus::spreadsheet::color_elem_t) override {}
    void append_segment(std::string_view s) override { segments_ += FromUtf8(s); }
    size_t commit_segments() override {
        strings_.push_back(std::move(segments_));
        segments_.clear();
        return strings_.size() - 1;
    }

    QString text(size_t index) const {
        return index < strings_.size() ? strings_[index] : QString();
    }

private:
    std::vector<QString> strings_;
    std::unordered_map<QString, size_t> index_;
    QString segments_;
};

class GlobalSettings : public iface::import_global_settings {
public:
    void set_origin_date(int year, int month, int day) override {
        origin_ = QDate(year, month, day);
    }
    void set_default_formula_grammar(orcus::spreadsheet::formula_grammar_t grammar) override {
        grammar_ = grammar;
    }
    orcus::spreadsheet::formula_grammar_t get_default_formula_grammar() const override {
        return grammar_;
    }
    void set_character_set(orcus::character_set_t) override {}

    // Day 0 of the workbook's day counts.
    QDate origin() const { return origin_.isValid() ? origin_ : QDate(1899, 12, 30); }

private:
    QDate origin_;
    orcus::spreadsheet::formula_grammar_t grammar_ = orcus::spreadsheet::formula_grammar_t::unknown;
};

// Reads "B7", "$B$7" and "A1:H8" as the workbook writes cell positions.
class CellReferences : public iface::import_reference_resolver {
public:
    orcus::spreadsheet::src_address_t resolve_address(std::string_view text) override {
        orcus::spreadsheet::src_address_t address{0, 0, 0};
        size_t i = 0;
        auto skipDollar = [&] {
            if (i < text.size() && text[i] == '$') {
                ++i;
            }
        };
        skipDollar();
        qint64 column = 0;
        const size_t lettersFrom = i;
        for (; i < text.size() && std::isalpha(uchar(text[i])) && column <= 16384; ++i) {
            column = column * 26 + (std::toupper(uchar(text[i])) - 'A' + 1);
        }
        const size_t lettersEnd = i;
        skipDollar();
        qint64 row = 0;
        const size_t digitsFrom = i;
        for (; i < text.size() && std::isdigit(uchar(text[i])) && row <= SheetBuilder::kMaxRows;
             ++i) {
            row = row * 10 + (text[i] - '0');
        }
        if (lettersEnd == lettersFrom || i == digitsFrom || i != text.size() || column > 16384 ||
            row > SheetBuilder::kMaxRows || row == 0) {
            throw std::invalid_argument("not a cell position");
        }
        address.row = row_t(row - 1);
        address.column = col_t(column - 1);
        return address;
    }
    orcus::spreadsheet::src_range_t resolve_range(std::string_view text) override {
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            const auto address = resolve_address(text);
            return {address, address};
        }
        return {resolve_address(text.substr(0, colon)), resolve_address(text.substr(colon + 1))};
    }
};

class FirstSheet;

// A formula cell counts with the value it showed when the file was saved.
class FormulaResults : public iface::import_formula {
public:
    explicit FormulaResults(FirstSheet& sheet) : sheet_(sheet) {}
    void set_position(row_t row, col_t col) override {
        row_ = row;
        col_ = col;
    }
    void set_formula(orcus::spreadsheet::formula_grammar_t, std::string_view) override {}
    void set_shared_formula_index(size_t) override {}
    void set_result_string(std::string_view value) override { text_ = FromUtf8(value); }
    void set_result_value(double value) override;
    void set_result_bool(bool value) override {
        text_ = value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    void set_result_empty() override { text_.clear(); }
    void commit() override;

private:
    FirstSheet& sheet_;
    row_t row_ = -1;
    col_t col_ = -1;
    QString text_;
    std::optional<double> value_;
};

// The first worksheet. Number cells wait for the end of the file to learn whether their format
// shows a date, since a file may give the format before or after the value.
class FirstSheet : public iface::import_sheet {
public:
    FirstSheet(SheetBuilder& builder, const SharedStrings& strings)
        : builder_(builder), strings_(strings), formulas_(*this) {}

    iface::import_formula* get_formula() override { return &formulas_; }

    void set_auto(row_t row, col_t col, std::string_view s) override { set(row, col, FromUtf8(s)); }
    void set_string(row_t row, col_t col, orcus::spreadsheet::string_id_t id) override {
        set(row, col, strings_.text(id));
    }
    void set_value(row_t row, col_t col, double value) override {
        if (inSheet(row, col)) {
            numbers_.push_back({row, col, value});
            set(row, col, NumberCellText(value));
        }
    }
    void set_bool(row_t row, col_t col, bool value) override {
        set(row, col, value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    }
    void set_date_time(row_t row, col_t col, int year, int month, int day, int, int,
                       double) override {
        const QDate date(year, month, day);
        set(row, col, date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString());
    }
    void set_format(row_t row, col_t col, size_t xf) override {
        if (inSheet(row, col)) {
            formats_[Key(row, col)] = xf;
        }
    }
    void set_format(row_t, col_t, row_t, col_t, size_t) override {}
    void fill_down_cells(row_t, col_t, row_t) override {}
    orcus::spreadsheet::range_size_t get_sheet_size() const override {
        return {SheetBuilder::kMaxRows, 16384};
    }

    // Writes the dates of number cells whose format shows a date.
    void finish(const Styles& styles, const QDate& origin) {
        for (const Number& n : numbers_) {
            const auto format = formats_.find(Key(n.row, n.col));
            if (format == formats_.end() || !styles.showsDate(format->second)) {
                continue;
            }
            if (const std::optional<QString> date = SerialDateText(n.value, origin)) {
                builder_.setCell(n.row, n.col, *date);
            }
        }
    }

    void set(row_t row, col_t col, const QString& text) { builder_.setCell(row, col, text); }
    void setNumber(row_t row, col_t col, double value) { set_value(row, col, value); }

private:
    struct Number {
        row_t row;
        col_t col;
        double value;
    };
    static quint64 Key(row_t row, col_t col) {
        return (quint64(quint32(row)) << 32) | quint32(col);
    }
    static bool inSheet(row_t row, col_t col) {
        return row >= 0 && row < SheetBuilder::kMaxRows && col >= 0 && col < kSheetColumnCount;
    }

    SheetBuilder& builder_;
    const SharedStrings& strings_;
    FormulaResults formulas_;
    std::vector<Number> numbers_;
    std::unordered_map<quint64, size_t> formats_;
};

void FormulaResults::set_result_value(double value) {
    value_ = value;
}

void FormulaResults::commit() {
    if (value_) {
        sheet_.setNumber(row_, col_, *value_);
    } else {
        sheet_.set(row_, col_, text_);
    }
    text_.clear();
    value_.reset();
}

// Where the cells of every sheet but the first go: nowhere.
class OtherSheet : public iface::import_sheet {
public:
    void set_auto(row_t, col_t, std::string_view) override {}
    void set_string(row_t, col_t, orcus::spreadsheet::string_id_t) override {}
    void set_value(row_t, col_t, double) override {}
    void set_bool(row_t, col_t, bool) override {}
    void set_date_time(row_t, col_t, int, int, int, int, int, double) override {}
    void set_format(row_t, col_t, size_t) override {}
    void set_format(row_t, col_t, row_t, col_t, size_t) override {}
    void fill_down_cells(row_t, col_t, row_t) override {}
    orcus::spreadsheet::range_size_t get_sheet_size() const override {
        return {SheetBuilder::kMaxRows, 16384};
    }
};

// Hands the library the first sheet and a sink for every other one.
class Factory : public iface::import_factory {
public:
    explicit Factory(SheetBuilder& builder) : first_(builder, strings_) {}

    iface::import_global_settings* get_global_settings() override { return &settings_; }
    iface::import_shared_strings* get_shared_strings() override { return &strings_; }
    iface::import_styles* get_styles() override { return &styles_; }
    iface::import_reference_resolver* get_reference_resolver(
        orcus::spreadsheet::formula_ref_context_t) override {
        return &references_;
    }

    iface::import_sheet* append_sheet(orcus::spreadsheet::sheet_t index,
                                      std::string_view name) override {
        if (sheets_++ == 0) {
            firstName_.assign(name);
        }
        return index == 0 ? static_cast<iface::import_sheet*>(&first_) : &other_;
    }
    iface::import_sheet* get_sheet(std::string_view name) override {
        if (sheets_ == 0) {
            return nullptr;
        }
        return name == firstName_ ? static_cast<iface::import_sheet*>(&first_) : &other_;
    }
    iface::import_sheet* get_sheet(orcus::spreadsheet::sheet_t index) override {
        if (index < 0 || index >= sheets_) {
            return nullptr;
        }
        return index == 0 ? static_cast<iface::import_sheet*>(&first_) : &other_;
    }
    void finalize() override { first_.finish(styles_, settings_.origin()); }

    int sheets() const { return sheets_; }

private:
    GlobalSettings settings_;
    SharedStrings strings_;
    Styles styles_;
    CellReferences references_;
    FirstSheet first_;
    OtherSheet other_;
    std::string firstName_;
    int sheets_ = 0;
};

}  // namespace

QString ReadZipWorkbookInProcess(const QByteArray& data, ZipWorkbook kind, SheetBuilder& builder) {
    switch (CheckArchive(data)) {
        case ArchiveCheck::Damaged:
            return sheet_error::kDamaged;
        case ArchiveCheck::TooBig:
            return sheet_error::kTooBig;
        case ArchiveCheck::Fine:
            break;
    }
    const std::string_view stream(data.constData(), size_t(data.size()));
    Factory factory(builder);
    try {
        if (kind == ZipWorkbook::Xlsx) {
            orcus::orcus_xlsx reader(&factory);
            reader.read_stream(stream);
        } else {
            orcus::orcus_ods reader(&factory);
            reader.read_stream(stream);
        }
    } catch (...) {
        // The library throws for anything it cannot parse; which part broke does not help the
        // shop, so every kind of failure reads as a damaged file.
        return sheet_error::kDamaged;
    }
    return factory.sheets() == 0 ? sheet_error::kNoSheet : QString();
}

namespace {

// What the child sends: the reader's reason (empty when read), whether the sheet ran past the
// last row, then for each cell kCell, its row, column and text, and kEnd at the end.
enum : char { kCell = 'c', kEnd = 'e' };
// The unpacked parts are bounded by the archive check; their cells cannot come to more.
constexpr qint64 kMaxTransfer = qint64(1) << 30;
constexpr int kStallMs = 60000;

}  // namespace

QString ReadZipWorkbook(const QByteArray& data, ZipWorkbook kind, SheetBuilder& builder) {
    // The library asserts on some malformed documents, which would end the whole program.
    const std::optional<QByteArray> report = RunInChild(
        [&](PipeWriter& out) {
            SheetBuilder read;
            out.text(ReadZipWorkbookInProcess(data, kind, read));
            out.put(char(read.tooLong()));
            read.forEachCell([&out](qint64 row, qint64 column, const QString& text) {
                out.put(kCell);
                out.put(row);
                out.put(quint8(column));
                out.text(text);
            });
            out.put(kEnd);
        },
        kMaxTransfer, kStallMs);
    if (!report) {
        return sheet_error::kDamaged;
    }
    PipeReader in(*report);
    QString reason;
    char tooLong = 0;
    if (!in.text(reason) || !in.get(tooLong)) {
        return sheet_error::kDamaged;
    }
    if (!reason.isEmpty()) {
        return reason;
    }
    if (tooLong) {
        return sheet_error::kTooLong;
    }
    for (;;) {
        char tag = 0;
        if (!in.get(tag)) {
            return sheet_error::kDamaged;
        }
        if (tag == kEnd) {
            return {};
        }
        qint64 row = 0;
        quint8 column = 0;
        QString text;
        if (tag != kCell || !in.get(row) || !in.get(column) || !in.text(text)) {
            return sheet_error::kDamaged;
        }
        builder.setCell(row, column, text);
    }
}
