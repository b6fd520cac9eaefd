#include <QDate>
#include <charconv>
#include <optional>
#include <string_view>

#include "core/date_text.h"
#include "import/number_format.h"
#include "import/sheet_readers.h"
#include "import/xlsx_workbook.h"
#include "import/zip_workbook.h"
#include "import/zip_xml_events.h"

namespace {

// A whole decimal number, and nothing else.
bool ParseNumber(std::string_view text, qint64& number) {
    const char* end = text.data() + text.size();
    qint64 read = 0;
    const auto [at, error] = std::from_chars(text.data(), end, read);
    if (error != std::errc() || at != end || text.empty()) {
        return false;
    }
    number = read;
    return true;
}

// "B7" as a row and a column counted from 0; false for anything else or beyond a sheet's
// last column.
bool ParseCellReference(std::string_view text, qint64& row, qint64& column) {
    size_t i = 0;
    qint64 letters = 0;
    for (; i < text.size() && i < 3; ++i) {
        const char c = char(text[i] & ~0x20);  // upper case
        if (c < 'A' || c > 'Z') {
            break;
        }
        letters = letters * 26 + (c - 'A' + 1);
    }
    if (i == 0 || i == text.size() || letters > 16384 || text[i] < '0' || text[i] > '9') {
        return false;
    }
    qint64 number = 0;
    if (!ParseNumber(text.substr(i), number) || number < 1) {
        return false;
    }
    row = number - 1;
    column = letters - 1;
    return true;
}

// The t attribute of a cell.
enum class CellType { Number, SharedString, InlineString, FormulaString, Error, Boolean, Date };

CellType ParseCellType(std::string_view type) {
    if (type == "s") {
        return CellType::SharedString;
    }
    if (type == "inlineStr") {
        return CellType::InlineString;
    }
    if (type == "str") {
        return CellType::FormulaString;
    }
    if (type == "e") {
        return CellType::Error;
    }
    if (type == "b") {
        return CellType::Boolean;
    }
    return type == "d" ? CellType::Date : CellType::Number;
}

// A value as text: most are digits, widened in place into the memory `to` already has.
void Utf8Value(std::string_view utf8, QString& to) {
    for (const char c : utf8) {
        if (uchar(c) >= 0x80) {
            to = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
            return;
        }
    }
    to = QLatin1StringView(utf8.data(), qsizetype(utf8.size()));
}

class SheetReader : public ZipXmlEvents {
public:
    SheetReader(ZipArchive& archive, const XlsxWorkbook& workbook, SheetBuilder& builder)
        : archive_(archive),
          workbook_(workbook),
          builder_(builder),
          formats_(ReadXlsxCellFormats(archive, workbook.stylesPart)) {}

    // Reads the shared strings, then the cells in the order the sheet holds them, so the rows
    // can be handed on as they are completed.
    QString read() {
        if (!workbook_.stringsPart.isEmpty()) {
            strings_ = ReadXlsxSharedStrings(archive_, workbook_.stringsPart);
        }
        if (archive_.status() != ZipArchive::Status::Fine) {
            return {};  // the archive's status says why
        }
        if (!ParseZipXml(archive_, workbook_.sheetPart, *this)) {
            return sheet_error::kDamaged;
        }
        return reason_;
    }

    bool start(std::string_view name, const char** attributes) override {
        if (cellDepth_ > 0) {
            return startInCell(name);
        }
        if (!inSheetData_) {
            inSheetData_ = name == "sheetData";
            return true;
        }
        if (name == "c") {
            return startCell(attributes);
        }
        if (name == "row") {
            // Rows and cells may leave out their positions: then each follows the one before.
            const std::string_view number = ExpatAttribute(attributes, "r");
            qint64 read = 0;
            if (number.empty()) {
                ++row_;
            } else if (ParseNumber(number, read)) {
                row_ = read - 1;
            }
            if (row_ < 0 || (!number.empty() && read < 1)) {
                return damaged();
            }
            nextColumn_ = 0;
        }
        return true;
    }

    bool end(std::string_view name) override {
        if (cellDepth_ == 0) {
            // The rest is layout.
            return !(inSheetData_ && name == "sheetData");
        }
        if (--cellDepth_ == 0) {
            return skipping_ || endCell();
        }
        if (skipping_) {
            return true;
        }
        if (cellDepth_ == 1 && name == "v") {
            inValue_ = false;
        } else if (inInline_ > 0 && --inInline_ > 0) {
            inlineText_.end(name);
        }
        return true;
    }

    bool text(std::string_view text) override {
        if (skipping_ || cellDepth_ == 0) {
            return true;
        }
        if (inValue_) {
            // A character takes at most three bytes here (four for two UTF-16 units).
            if (valueUtf8_.size() + text.size() > size_t(ZipXmlPart::kMaxTextChars) * 3) {
                return tooBig();
            }
            valueUtf8_.append(text);
        } else if (inInline_ > 0 && !inlineText_.text(text)) {
            return tooBig();
        }
        return true;
    }

private:
    bool damaged() {
        reason_ = sheet_error::kDamaged;
        return false;
    }
    bool tooBig() {
        archive_.fail(ZipArchive::Status::TooBig);
        return false;
    }

    bool startCell(const char** attributes) {
        const std::string_view reference = ExpatAttribute(attributes, "r");
        qint64 column = nextColumn_;
        if (!reference.empty() && !ParseCellReference(reference, row_, column)) {
            return damaged();
        }
        nextColumn_ = column + 1;
        cellDepth_ = 1;
        column_ = column;
        skipping_ = row_ < 0 || column >= kMaxFileColumns;
        if (skipping_) {
            return true;
        }
        type_ = ParseCellType(ExpatAttribute(attributes, "t"));
        style_ = 0;
        ParseNumber(ExpatAttribute(attributes, "s"), style_);
        formula_ = false;
        hasValue_ = false;
        inValue_ = false;
        inInline_ = 0;
        valueUtf8_.clear();
        return true;
    }

    bool startInCell(std::string_view name) {
        ++cellDepth_;
        if (skipping_) {
            return true;
        }
        if (inInline_ > 0) {
            ++inInline_;
            inlineText_.start(name);
        } else if (cellDepth_ == 2 && name == "v") {
            // Some writers split a value over two elements; the last one counts.
            valueUtf8_.clear();
            inValue_ = true;
            hasValue_ = true;
        } else if (cellDepth_ == 2 && name == "is") {
            inInline_ = 1;
        } else {
            formula_ = formula_ || (cellDepth_ == 2 && name == "f");
        }
        return true;
    }

    bool endCell() {
        const CellType type = type_;
        const qint64 style = style_;
        const qint64 row = row_;
        const qint64 column = column_;
        const bool formula = formula_;
        const bool hasValue = hasValue_;
        QString inlineText;
        if (!inlineText_.take(inlineText)) {
            return tooBig();
        }
        Utf8Value(valueUtf8_, value_);
        // Without the value it showed when saved, a formula cell cannot be read; saying so
        // beats an empty cell the shop would not notice. Some writers leave an empty value;
        // only a text result may really be empty.
        if (formula && (!hasValue || (value_.isEmpty() && type != CellType::FormulaString))) {
            builder_.setUnreadable(row, column, sheet_error::kFormulaWithoutResult);
            return true;
        }
        if (type == CellType::SharedString) {
            bool ok = false;
            const qint64 index = QStringView(value_).trimmed().toLongLong(&ok);
            if (!ok || index < 0 || index >= strings_.size()) {
                return damaged();
            }
            if (!strings_.isEmpty(index)) {
                builder_.setCell(row, column, textOf(style, strings_.at(index)));
            }
            return true;
        }
        if (type == CellType::InlineString && inlineText.isEmpty() && hasValue) {
            inlineText = DecodeXlsxEscapes(value_);
        }
        const QString text = type == CellType::InlineString ? textOf(style, inlineText)
                                                            : cellText(type, style, value_);
        if (!text.isEmpty()) {
            builder_.setCell(row, column, text);
        }
        return true;
    }

    // A cell's text as its workbook shows it, from its value.
    // A text cell's text as its cell format shows it.
    QString textOf(qint64 style, const QString& text) const {
        return style >= 0 && style < qsizetype(formats_.size())
                   ? formats_[size_t(style)].format.textOf(text)
                   : text;
    }

    QString cellText(CellType type, qint64 style, const QString& value) const {
        switch (type) {
            case CellType::FormulaString:
                return textOf(style, DecodeXlsxEscapes(value));
            case CellType::Error:
                return DecodeXlsxEscapes(value);
            case CellType::Boolean: {
                const QStringView truth = QStringView(value).trimmed();
                return truth == u"1" || truth == u"true" ? QStringLiteral("TRUE")
                                                         : QStringLiteral("FALSE");
            }
            case CellType::Date: {
                // An ISO 8601 date, perhaps with a time of day, which the date columns drop.
                const QDate date = ParseDateText(value);
                return date.isValid() ? DateText(date) : value;
            }
            default:
                break;
        }
        const QStringView trimmed = QStringView(value).trimmed();
        bool ok = false;
        const double number = trimmed.toDouble(&ok);
        if (!ok) {
            return trimmed.toString();
        }
        return XlsxNumberText(formats_, style, number, workbook_.origin);
    }

    ZipArchive& archive_;
    const XlsxWorkbook& workbook_;
    SheetBuilder& builder_;
    const std::vector<XlsxCellFormat> formats_;
    XlsxStrings strings_;
    QString reason_;
    bool inSheetData_ = false;
    // Where the reading stands: the row, the column the next cell takes when it does not say.
    qint64 row_ = -1;
    qint64 nextColumn_ = 0;
    // The cell being read: how deep inside it the parse is (0 outside any cell).
    int cellDepth_ = 0;
    bool skipping_ = false;
    qint64 column_ = 0;
    CellType type_ = CellType::Number;
    qint64 style_ = 0;
    bool formula_ = false;
    bool hasValue_ = false;
    bool inValue_ = false;
    int inInline_ = 0;
    std::string valueUtf8_;
    XlsxRichText inlineText_;
    // The value of the cell being read; its memory serves every cell.
    QString value_;
};

}  // namespace

QString ReadXlsxArchive(ZipArchive& archive, SheetBuilder& builder) {
    XlsxWorkbook workbook;
    const QString reason = ReadXlsxWorkbook(archive, workbook);
    if (!reason.isEmpty() || archive.status() != ZipArchive::Status::Fine) {
        return reason;
    }
    builder.setSheet(workbook.sheetName, workbook.visibleWorksheets);
    return SheetReader(archive, workbook, builder).read();
}
