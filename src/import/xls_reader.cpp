#include <QDate>
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "import/biff_formula.h"
#include "import/compound_file.h"
#include "import/sheet_readers.h"
#include "import/xls_globals.h"

// Reads the first visible worksheet of a legacy workbook (Excel 5 to 2003) from its workbook
// stream: the workbook's globals first (code page, date system, number formats, cell styles,
// sheets and shared strings), then the records of that sheet. Nothing here trusts a length or
// an offset from the file: the record layer checks every read.

namespace {

using biff::Cursor;
using biff::Record;
using biff::RecordReader;
using xls::Globals;

const QString kMissingText = QStringLiteral("文字，其内容在文件中缺失");
const QString kUnknownError = QStringLiteral("未知的错误值");

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
          codePage_(globals.codePage),
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
            builder_.setUnreadable(at.row, at.column, sheet_error::kFormulaWithoutResult);
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
                    builder_.setCell(at.row, at.column, globals_.text(xf, globals_.strings[index]));
                } else {
                    builder_.setUnreadable(at.row, at.column, kMissingText);
                }
                return true;
            }
            case biff::kLabel:
            case biff::kRString: {
                QString text;
                return header(in, at, xf) && readString(in, 2, text) &&
                       (builder_.setCell(at.row, at.column, globals_.text(xf, text)), true);
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
        if (at.column >= kMaxFileColumns) {
            return;
        }
        if (at.row >= numberColumns_.size()) {
            numberColumns_.resize(size_t(at.row) + 1, 0);
        }
        numberColumns_[at.row] |= uint32_t(1u) << at.column;
        builder_.setCell(at.row, at.column, globals_.numberText(xf, value, origin_));
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
                // Once every cell is read, the simple ones are worked out here.
                if (at.column < kMaxFileColumns) {
                    textFormulaAt_[uint32_t(at.row) << 8 | at.column] = textFormulas_.size();
                    textFormulas_.push_back({at, std::string(in.restOfPiece().substr(0, size))});
                }
                return true;
            }
            const uint64_t bits = uint64_t(low) | uint64_t(high) << 32;
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            anyResult_ = true;
            number(at, xf, value);
            // A 0 may be a text formula the office suite did not work out (an IF between two
            // texts): if it works out to text, that is what the cell shows.
            if (bits == 0 && size > 0 && at.column < kMaxFileColumns) {
                maybeText_.push_back({at, std::string(in.restOfPiece().substr(0, size))});
            }
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
                if (at.column < kMaxFileColumns) {
                    emptyResults_.push_back(at);
                }
                break;
            default:
                builder_.setUnreadable(at.row, at.column, sheet_error::kFormulaWithoutResult);
                break;
        }
        return true;
    }

    void finish() {
        // A formula may use text cells of the first columns, and the results worked out before
        // it; numbers show formatted, so a formula that uses one is left unread.
        const biff::CellText cellText = [this](int row, int column) -> std::optional<QString> {
            if (column < 0 || column >= kMaxFileColumns) {
                return std::nullopt;
            }
            const bool number = size_t(row) < numberColumns_.size() &&
                                (numberColumns_[size_t(row)] >> column & 1) != 0;
            if (number || unworked(row, column)) {
                return std::nullopt;
            }
            return builder_.cell(row, column);
        };
        for (const TextFormula& formula : maybeText_) {
            if (const std::optional<QString> text =
                    biff::TextFormulaResult(formula.tokens, cellText)) {
                builder_.setCell(formula.at.row, formula.at.column, *text);
            }
        }
        for (TextFormula& formula : textFormulas_) {
            if (const std::optional<QString> text =
                    biff::TextFormulaResult(formula.tokens, cellText)) {
                builder_.setCell(formula.at.row, formula.at.column, *text);
                formula.tokens.clear();
            } else {
                builder_.setUnreadable(formula.at.row, formula.at.column,
                                       sheet_error::kFormulaWithoutResult);
            }
            formula.worked = true;
        }
        if (pendingText_) {
            builder_.setUnreadable(pendingText_->row, pendingText_->column,
                                   sheet_error::kFormulaWithoutResult);
        }
        // A program that writes formulas without working them out leaves every result empty;
        // such a sheet's formulas show values we do not have.
        if (!anyResult_) {
            for (const Position& at : emptyResults_) {
                builder_.setUnreadable(at.row, at.column, sheet_error::kFormulaWithoutResult);
            }
        }
    }

    struct TextFormula {
        Position at;
        std::string tokens;
        bool worked = false;
    };

    // Whether the cell is a text formula not yet worked out, or one that could not be.
    bool unworked(int row, int column) const {
        const auto found = textFormulaAt_.find(uint32_t(row) << 8 | uint32_t(column));
        if (found == textFormulaAt_.end()) {
            return false;
        }
        const TextFormula& formula = textFormulas_[found->second];
        return !formula.worked || !formula.tokens.empty();
    }

    const Globals& globals_;
    SheetBuilder& builder_;
    platform::CodePageText codePage_;
    QDate origin_;
    std::optional<Position> pendingText_;
    bool anyResult_ = false;
    std::vector<Position> emptyResults_;
    std::vector<TextFormula> textFormulas_;
    std::vector<TextFormula> maybeText_;
    std::unordered_map<uint32_t, size_t> textFormulaAt_;
    // Per row, a bit for each of the first columns that holds a number.
    std::vector<uint32_t> numberColumns_;
};

}  // namespace

QString ReadXlsWorkbook(const QByteArray& file, SheetBuilder& builder) {
    const std::optional<QByteArray> bytes = WorkbookStream(file);
    if (!bytes) {
        return sheet_error::kDamaged;
    }
    const std::string_view stream(bytes->constData(), size_t(bytes->size()));
    Globals globals;
    if (const QString error = xls::ReadGlobals(stream, globals); !error.isEmpty()) {
        return error;
    }
    int visibleWorksheets = 0;
    const std::optional<size_t> sheet = xls::ChosenSheet(globals, visibleWorksheets);
    if (!sheet) {
        return sheet_error::kNoSheet;
    }
    const std::optional<size_t> start = xls::SheetStart(stream, globals, *sheet);
    if (!start) {
        return sheet_error::kDamaged;
    }
    builder.setSheet(globals.sheets[*sheet].name, std::max(visibleWorksheets, 1));
    return SheetReader(globals, builder).read(stream, *start);
}
