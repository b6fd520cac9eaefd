#include <QDate>
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "import/biff_records.h"
#include "import/compound_file.h"
#include "import/number_format.h"
#include "import/sheet_readers.h"

// Reads the first visible worksheet of a legacy workbook (Excel 5 to 2003) from its workbook
// stream: the workbook's globals first (code page, date system, number formats, cell styles,
// sheets and shared strings), then the records of that sheet. Nothing here trusts a length or
// an offset from the file: the record layer checks every read.

namespace {

using biff::Cursor;
using biff::Record;
using biff::RecordReader;

// Sheet types in a BOUNDSHEET record and in a substream's BOF record.
constexpr uint8_t kWorksheetEntry = 0x00;
constexpr uint16_t kGlobalsStream = 0x0005;
constexpr uint16_t kWorksheetStream = 0x0010;

const QString kFormulaWithoutResult = QStringLiteral("公式，无法读取其结果");
const QString kMissingText = QStringLiteral("文字，其内容在文件中缺失");
const QString kUnknownError = QStringLiteral("未知的错误值");

struct SheetEntry {
    uint32_t offset = 0;
    bool visible = false;
    bool worksheet = false;
    QString name;
};

// What the workbook's globals say that the cells need.
struct Globals {
    bool biff8 = true;
    bool dates1904 = false;
    uint16_t codePage = 1252;
    std::vector<QString> strings;
    std::vector<uint16_t> xfFormats;
    std::unordered_map<uint16_t, QString> formats;
    std::vector<SheetEntry> sheets;
    size_t end = 0;  // where the globals' EOF record ends

    bool showsDate(uint16_t xf) const {
        if (xf >= xfFormats.size()) {
            return false;
        }
        const auto code = formats.find(xfFormats[xf]);
        const QByteArray utf8 = code == formats.end() ? QByteArray() : code->second.toUtf8();
        return IsDateFormat(xfFormats[xf], std::string_view(utf8.constData(), size_t(utf8.size())));
    }
};

// The BOF record at the start of a substream: its format version and what it holds.
struct Bof {
    bool biff8 = false;
    uint16_t type = 0;
};

std::optional<Bof> ReadBof(const Record& record) {
    if (record.id != biff::kBof) {
        return std::nullopt;
    }
    Cursor in(record);
    uint16_t version = 0;
    Bof bof;
    if (!in.u16(version) || !in.u16(bof.type)) {
        return std::nullopt;
    }
    // Excel 97 writes 0x0600; a few writers leave the version out of the longer record.
    bof.biff8 = version == 0x0600 || (version != 0x0500 && record.pieces.front().size() >= 16);
    return bof;
}

bool ReadSheetEntry(const Record& record, const Globals& globals, QStringDecoder& codePage,
                    SheetEntry& entry) {
    Cursor in(record);
    uint8_t visibility = 0;
    uint8_t type = 0;
    if (!in.u32(entry.offset) || !in.u8(visibility) || !in.u8(type)) {
        return false;
    }
    entry.visible = (visibility & 0x03) == 0;
    entry.worksheet = type == kWorksheetEntry;
    return globals.biff8 ? in.unicodeString(1, entry.name) : in.byteString(1, codePage, entry.name);
}

// The shared strings: a count, then the strings, cut across CONTINUE records where they fill
// one. A table that stops short keeps the strings before the cut.
void ReadSharedStrings(const Record& record, std::vector<QString>& strings) {
    Cursor in(record);
    uint32_t total = 0;
    uint32_t unique = 0;
    if (!in.u32(total) || !in.u32(unique)) {
        return;
    }
    // Each string takes at least three bytes, whatever the count says.
    strings.reserve(std::min<size_t>(unique, in.remaining() / 3));
    for (uint32_t i = 0; i < unique; ++i) {
        QString text;
        if (!in.unicodeString(2, text)) {
            return;
        }
        strings.push_back(std::move(text));
    }
}

// Reads the globals substream at the start of the workbook stream.
QString ReadGlobals(std::string_view stream, Globals& globals) {
    RecordReader records(stream, 0);
    Record record;
    std::optional<Bof> bof;
    if (!records.next(record) || !(bof = ReadBof(record)) || bof->type != kGlobalsStream) {
        return sheet_error::kDamaged;
    }
    globals.biff8 = bof->biff8;
    // The code page decodes names and formats of the 95 format; it comes early, but look for
    // it first so the order of records does not matter.
    for (RecordReader scan(stream, records.offset());
         scan.next(record) && record.id != biff::kEof;) {
        Cursor in(record);
        if (record.id == biff::kFilePass) {
            return sheet_error::kEncrypted;
        }
        if (record.id == biff::kCodePage && !in.u16(globals.codePage)) {
            return sheet_error::kDamaged;
        }
    }
    QStringDecoder codePage = biff::CodePageDecoder(globals.codePage);
    while (records.next(record)) {
        Cursor in(record);
        bool ok = true;
        switch (record.id) {
            case biff::kEof:
                globals.end = records.offset();
                return {};
            case biff::kDateMode: {
                uint16_t mode = 0;
                ok = in.u16(mode);
                globals.dates1904 = mode == 1;
                break;
            }
            case biff::kFormat: {
                uint16_t index = 0;
                QString code;
                ok = in.u16(index) &&
                     (globals.biff8 ? in.unicodeString(2, code) : in.byteString(1, codePage, code));
                globals.formats[index] = code;
                break;
            }
            case biff::kXf: {
                uint16_t font = 0;
                uint16_t format = 0;
                ok = in.u16(font) && in.u16(format);
                globals.xfFormats.push_back(format);
                break;
            }
            case biff::kBoundSheet: {
                SheetEntry entry;
                ok = ReadSheetEntry(record, globals, codePage, entry);
                globals.sheets.push_back(std::move(entry));
                break;
            }
            case biff::kSst:
                ReadSharedStrings(record, globals.strings);
                break;
            default:
                break;
        }
        if (!ok) {
            return sheet_error::kDamaged;
        }
    }
    return sheet_error::kDamaged;  // no EOF: the stream was cut short
}

// Where each substream after the globals starts, in order: the sheets' own BOF records, with
// the charts embedded in a sheet (a BOF inside a BOF) left out.
std::vector<size_t> SubstreamStarts(std::string_view stream, size_t from) {
    std::vector<size_t> starts;
    int depth = 0;
    Record record;
    for (RecordReader records(stream, from); records.next(record);) {
        if (record.id == biff::kBof) {
            if (depth == 0) {
                starts.push_back(record.offset);
            }
            ++depth;
        } else if (record.id == biff::kEof && depth > 0) {
            --depth;
        }
    }
    return starts;
}

// Whether a formula's tokens (in reverse Polish order, so the last one gives the result) can
// only give text: a text constant alone, a concatenation, or a function that returns text.
bool GivesText(std::string_view tokens) {
    if (tokens.empty()) {
        return false;
    }
    const auto byte = [&tokens](size_t i) { return uint8_t(tokens[i]); };
    const size_t n = tokens.size();
    if (byte(n - 1) == 0x08) {  // &
        return true;
    }
    if (byte(0) == 0x17 && n >= 3 && n == 3 + byte(1) * ((byte(2) & 0x01) ? 2u : 1u)) {
        return true;  // one text constant: count, flags, characters
    }
    // REPT, MID, FIXED, DOLLAR, TEXT, CHAR, LOWER, UPPER, PROPER, LEFT, RIGHT, TRIM,
    // SUBSTITUTE, T, CONCATENATE.
    static constexpr uint16_t kTextFunctions[] = {30,  31,  14,  13,  48,  111, 112, 113,
                                                  114, 115, 116, 118, 120, 130, 336};
    auto isText = [](uint16_t function) {
        return std::find(std::begin(kTextFunctions), std::end(kTextFunctions), function) !=
               std::end(kTextFunctions);
    };
    const auto function = [&](size_t at) { return uint16_t(byte(at) | byte(at + 1) << 8); };
    const bool fixedArguments =
        n >= 3 && (byte(n - 3) & 0x9F) == 0x01 && byte(n - 3) > 0x1F && isText(function(n - 2));
    const bool variableArguments = n >= 4 && (byte(n - 4) & 0x9F) == 0x02 && byte(n - 4) > 0x1F &&
                                   isText(function(n - 2) & 0x7FFF);
    return fixedArguments || variableArguments;
}

// The cells of one worksheet substream.
class SheetReader {
public:
    SheetReader(const Globals& globals, SheetBuilder& builder)
        : globals_(globals),
          builder_(builder),
          codePage_(biff::CodePageDecoder(globals.codePage)),
          origin_(globals.dates1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30)) {}

    // Reads from the BOF record at `offset` to its EOF record.
    QString read(std::string_view stream, size_t offset) {
        RecordReader records(stream, offset);
        Record record;
        if (!records.next(record)) {
            return sheet_error::kDamaged;
        }
        int depth = 1;
        while (records.next(record)) {
            if (record.id == biff::kBof) {
                ++depth;  // a chart inside the sheet, up to its own EOF
            } else if (record.id == biff::kEof) {
                if (--depth == 0) {
                    finish();
                    return {};
                }
            } else if (depth == 1 && !cell(record)) {
                return sheet_error::kDamaged;
            }
        }
        return sheet_error::kDamaged;  // no EOF: the stream was cut short
    }

private:
    struct Position {
        uint16_t row = 0;
        uint16_t column = 0;
    };

    bool cell(const Record& record) {
        // A formula's text result is in the STRING record after it; the records of a shared
        // or array formula may come between.
        if (pendingText_ && record.id != biff::kShrFmla && record.id != biff::kArray &&
            record.id != biff::kTable) {
            const Position at = *pendingText_;
            pendingText_.reset();
            if (record.id == biff::kString) {
                Cursor in(record);
                QString text;
                if (!readString(in, 2, text)) {
                    return false;
                }
                builder_.setCell(at.row, at.column, text);
                return true;
            }
            builder_.setUnreadable(at.row, at.column, kFormulaWithoutResult);
        }
        Cursor in(record);
        Position at;
        uint16_t xf = 0;
        switch (record.id) {
            case biff::kNumber: {
                double value = 0;
                return header(in, at, xf) && in.f64(value) && (number(at, xf, value), true);
            }
            case biff::kRk: {
                uint32_t rk = 0;
                return header(in, at, xf) && in.u32(rk) &&
                       (number(at, xf, biff::RkNumber(rk)), true);
            }
            case biff::kMulRk:
                return mulRk(in);
            case biff::kLabelSst: {
                uint32_t index = 0;
                if (!header(in, at, xf) || !in.u32(index)) {
                    return false;
                }
                if (index < globals_.strings.size()) {
                    builder_.setCell(at.row, at.column, globals_.strings[index]);
                } else {
                    builder_.setUnreadable(at.row, at.column, kMissingText);
                }
                return true;
            }
            case biff::kLabel:
            case biff::kRString: {
                QString text;
                return header(in, at, xf) && readString(in, 2, text) &&
                       (builder_.setCell(at.row, at.column, text), true);
            }
            case biff::kBoolErr: {
                uint8_t value = 0;
                uint8_t isError = 0;
                return header(in, at, xf) && in.u8(value) && in.u8(isError) &&
                       (boolOrError(at, value, isError != 0), true);
            }
            case biff::kFormula:
                return formula(in);
            default:
                return true;
        }
    }

    static bool header(Cursor& in, Position& at, uint16_t& xf) {
        return in.u16(at.row) && in.u16(at.column) && in.u16(xf);
    }

    bool readString(Cursor& in, int countBytes, QString& text) {
        return globals_.biff8 ? in.unicodeString(countBytes, text)
                              : in.byteString(countBytes, codePage_, text);
    }

    void number(Position at, uint16_t xf, double value) {
        if (at.column >= kSheetColumnCount) {
            return;
        }
        if (globals_.showsDate(xf)) {
            if (const std::optional<QString> date = SerialDateText(value, origin_)) {
                builder_.setCell(at.row, at.column, *date);
                return;
            }
        }
        builder_.setCell(at.row, at.column, NumberCellText(value));
    }

    void boolOrError(Position at, uint8_t value, bool isError) {
        if (!isError) {
            builder_.setCell(at.row, at.column,
                             value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            return;
        }
        const QString text = biff::ErrorText(value);
        if (text.isEmpty()) {
            builder_.setUnreadable(at.row, at.column, kUnknownError);
        } else {
            builder_.setCell(at.row, at.column, text);
        }
    }

    bool mulRk(Cursor& in) {
        Position at;
        if (!in.u16(at.row) || !in.u16(at.column)) {
            return false;
        }
        // Pairs of a style and a value, then the last column.
        for (size_t pairs = in.remaining() / 6; pairs > 0; --pairs, ++at.column) {
            uint16_t xf = 0;
            uint32_t rk = 0;
            if (!in.u16(xf) || !in.u32(rk)) {
                return false;
            }
            number(at, xf, biff::RkNumber(rk));
        }
        return true;
    }

    // A formula cell with the result it had when the file was saved: a number, or in the
    // last two bytes 0xFFFF and in the first the kind of result.
    bool formula(Cursor& in) {
        Position at;
        uint16_t xf = 0;
        uint32_t low = 0;
        uint32_t high = 0;
        if (!header(in, at, xf) || !in.u32(low) || !in.u32(high)) {
            return false;
        }
        if (high >> 16 != 0xFFFF) {
            uint16_t flags = 0;
            uint32_t unused = 0;
            uint16_t size = 0;
            if (low == 0 && high == 0 && in.u16(flags) && in.u32(unused) && in.u16(size) &&
                GivesText(in.restOfPiece().substr(0, size))) {
                // Saved without being worked out: a text formula cannot give the number 0.
                builder_.setUnreadable(at.row, at.column, kFormulaWithoutResult);
                return true;
            }
            const uint64_t bits = uint64_t(low) | uint64_t(high) << 32;
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            anyResult_ = true;
            number(at, xf, value);
            return true;
        }
        const uint8_t value = uint8_t(low >> 16);
        switch (low & 0xFF) {
            case 0:  // text, in the STRING record that follows
                anyResult_ = true;
                pendingText_ = at;
                break;
            case 1:
            case 2:
                anyResult_ = true;
                boolOrError(at, value, (low & 0xFF) == 2);
                break;
            case 3:  // empty text, or no result at all
                if (at.column < kSheetColumnCount) {
                    emptyResults_.push_back(at);
                }
                break;
            default:
                builder_.setUnreadable(at.row, at.column, kFormulaWithoutResult);
                break;
        }
        return true;
    }

    void finish() {
        if (pendingText_) {
            builder_.setUnreadable(pendingText_->row, pendingText_->column, kFormulaWithoutResult);
        }
        // A program that writes formulas without working them out leaves every result empty;
        // such a sheet's formulas show values we do not have.
        if (!anyResult_) {
            for (const Position& at : emptyResults_) {
                builder_.setUnreadable(at.row, at.column, kFormulaWithoutResult);
            }
        }
    }

    const Globals& globals_;
    SheetBuilder& builder_;
    QStringDecoder codePage_;
    QDate origin_;
    std::optional<Position> pendingText_;
    bool anyResult_ = false;
    std::vector<Position> emptyResults_;
};

// The sheet to read: the first visible worksheet, else the first worksheet; and how many
// visible worksheets there are.
std::optional<size_t> ChosenSheet(const Globals& globals, int& visibleWorksheets) {
    std::optional<size_t> firstVisible;
    std::optional<size_t> first;
    visibleWorksheets = 0;
    for (size_t i = 0; i < globals.sheets.size(); ++i) {
        const SheetEntry& sheet = globals.sheets[i];
        if (!sheet.worksheet) {
            continue;
        }
        if (!first) {
            first = i;
        }
        if (sheet.visible) {
            ++visibleWorksheets;
            if (!firstVisible) {
                firstVisible = i;
            }
        }
    }
    return firstVisible ? firstVisible : first;
}

// Where the sheet's substream starts: where its entry says, or, when no worksheet starts
// there, where the substreams in the entries' order put it.
std::optional<size_t> SheetStart(std::string_view stream, const Globals& globals, size_t sheet) {
    auto isWorksheet = [&stream](size_t offset) {
        RecordReader records(stream, offset);
        Record record;
        const std::optional<Bof> bof = records.next(record) ? ReadBof(record) : std::nullopt;
        return bof && bof->type == kWorksheetStream;
    };
    const size_t offset = globals.sheets[sheet].offset;
    if (offset >= globals.end && isWorksheet(offset)) {
        return offset;
    }
    const std::vector<size_t> starts = SubstreamStarts(stream, globals.end);
    if (sheet < starts.size() && isWorksheet(starts[sheet])) {
        return starts[sheet];
    }
    return std::nullopt;
}

}  // namespace

QString ReadXlsWorkbook(const QByteArray& file, SheetBuilder& builder) {
    const std::optional<QByteArray> bytes = WorkbookStream(file);
    if (!bytes) {
        return sheet_error::kDamaged;
    }
    const std::string_view stream(bytes->constData(), size_t(bytes->size()));
    Globals globals;
    if (const QString error = ReadGlobals(stream, globals); !error.isEmpty()) {
        return error;
    }
    int visibleWorksheets = 0;
    const std::optional<size_t> sheet = ChosenSheet(globals, visibleWorksheets);
    if (!sheet) {
        return sheet_error::kNoSheet;
    }
    const std::optional<size_t> start = SheetStart(stream, globals, *sheet);
    if (!start) {
        return sheet_error::kDamaged;
    }
    builder.setSheet(globals.sheets[*sheet].name, std::max(visibleWorksheets, 1));
    return SheetReader(globals, builder).read(stream, *start);
}
