#include <QDate>
#include <future>
#include <optional>
#include <system_error>

#include "core/date_text.h"
#include "import/number_format.h"
#include "import/sheet_readers.h"
#include "import/xlsx_workbook.h"
#include "import/zip_workbook.h"

namespace {

// "B7" as a row and a column counted from 0; false for anything else or beyond a sheet's
// last column.
bool ParseCellReference(QStringView text, qint64& row, qint64& column) {
    qsizetype i = 0;
    qint64 letters = 0;
    for (; i < text.size() && i < 3 && text[i].isLetter() && text[i].unicode() < 128; ++i) {
        letters = letters * 26 + (text[i].toUpper().unicode() - u'A' + 1);
    }
    if (i == 0 || i == text.size() || letters > 16384 || !text[i].isDigit()) {
        return false;
    }
    bool ok = false;
    const qint64 number = text.mid(i).toLongLong(&ok);
    if (!ok || number < 1) {
        return false;
    }
    row = number - 1;
    column = letters - 1;
    return true;
}

// The t attribute of a cell.
enum class CellType { Number, SharedString, InlineString, FormulaString, Error, Boolean, Date };

CellType ParseCellType(QStringView type) {
    if (type == u"s") {
        return CellType::SharedString;
    }
    if (type == u"inlineStr") {
        return CellType::InlineString;
    }
    if (type == u"str") {
        return CellType::FormulaString;
    }
    if (type == u"e") {
        return CellType::Error;
    }
    if (type == u"b") {
        return CellType::Boolean;
    }
    return type == u"d" ? CellType::Date : CellType::Number;
}

// A cell that shows a shared string, kept until the strings are read.
struct StringCell {
    qint64 row;
    qint64 column;
    qint64 index;
};

class SheetReader {
public:
    SheetReader(ZipArchive& archive, const XlsxWorkbook& workbook, SheetBuilder& builder)
        : archive_(archive),
          workbook_(workbook),
          builder_(builder),
          formats_(ReadXlsxCellFormats(archive, workbook.stylesPart)) {}

    // Reads the cells, the shared strings on a thread of their own meanwhile: the two are the
    // bulk of a workbook. Each thread reads the archive through its own handle and bound.
    QString read() {
        std::future<std::vector<QString>> reading;
        std::optional<ZipArchive> own;
        if (!workbook_.stringsPart.isEmpty()) {
            own.emplace(archive_.data());
            try {
                reading = std::async(std::launch::async, [this, &own] {
                    return ReadXlsxSharedStrings(*own, workbook_.stringsPart);
                });
            } catch (const std::system_error&) {
                // No thread to be had: the strings are read after the cells.
            }
        }
        const QString reason = readCells();
        std::vector<QString> strings;
        if (reading.valid()) {
            strings = reading.get();
        } else if (own) {
            strings = ReadXlsxSharedStrings(*own, workbook_.stringsPart);
        }
        if (own) {
            archive_.fail(own->status());
        }
        for (const StringCell& cell : stringCells_) {
            if (cell.index >= qint64(strings.size())) {
                return sheet_error::kDamaged;
            }
            if (!strings[size_t(cell.index)].isEmpty()) {
                builder_.setCell(cell.row, cell.column, strings[size_t(cell.index)]);
            }
        }
        return reason;
    }

private:
    QString readCells() {
        ZipXmlPart xml(archive_, workbook_.sheetPart);
        if (!xml.found()) {
            return sheet_error::kDamaged;
        }
        // Rows and cells may leave out their positions: then each follows the one before.
        qint64 row = -1;
        qint64 nextColumn = 0;
        for (QXmlStreamReader::TokenType token;
             (token = xml.next()) != QXmlStreamReader::Invalid;) {
            if (token == QXmlStreamReader::EndElement && xml.xml().name() == u"sheetData") {
                break;  // the rest is layout
            }
            if (token != QXmlStreamReader::StartElement) {
                continue;
            }
            if (xml.xml().name() == u"c") {
                const QXmlStreamAttributes attributes = xml.xml().attributes();
                const QStringView reference = XmlAttribute(attributes, u"r");
                qint64 column = nextColumn;
                if (!reference.isEmpty() && !ParseCellReference(reference, row, column)) {
                    return sheet_error::kDamaged;
                }
                nextColumn = column + 1;
                if (row < 0 || column >= kSheetColumnCount) {
                    xml.skipElement();
                } else if (!readCell(xml, attributes, row, column)) {
                    return sheet_error::kDamaged;
                }
            } else if (xml.xml().name() == u"row") {
                const QStringView number = XmlAttribute(xml.xml().attributes(), u"r");
                bool ok = number.isEmpty();
                row = ok ? row + 1 : number.toLongLong(&ok) - 1;
                if (!ok || row < 0) {
                    return sheet_error::kDamaged;
                }
                nextColumn = 0;
            }
        }
        return {};
    }

    bool readCell(ZipXmlPart& xml, const QXmlStreamAttributes& attributes, qint64 row,
                  qint64 column) {
        const CellType type = ParseCellType(XmlAttribute(attributes, u"t"));
        const qint64 style = XmlAttribute(attributes, u"s").toLongLong();
        bool formula = false;
        bool hasValue = false;
        QString inlineText;
        value_.resize(0);
        for (int depth = 1; depth > 0;) {
            const QXmlStreamReader::TokenType token = xml.next();
            if (token == QXmlStreamReader::Invalid) {
                return true;  // the archive's status says why
            }
            if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::StartElement) {
                const QStringView name = xml.xml().name();
                if (name == u"v") {
                    xml.elementText(value_);
                    hasValue = true;
                } else if (name == u"is") {
                    inlineText = ReadXlsxRichText(xml);
                } else {
                    formula = formula || name == u"f";
                    xml.skipElement();
                }
            }
        }
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
            if (!ok || index < 0) {
                return false;
            }
            stringCells_.push_back({row, column, index});
            return true;
        }
        if (type == CellType::InlineString && inlineText.isEmpty() && hasValue) {
            inlineText = DecodeXlsxEscapes(value_);
        }
        const QString text =
            type == CellType::InlineString ? inlineText : cellText(type, style, value_);
        if (!text.isEmpty()) {
            builder_.setCell(row, column, text);
        }
        return true;
    }

    // A cell's text as its workbook shows it, from its value.
    QString cellText(CellType type, qint64 style, const QString& value) const {
        switch (type) {
            case CellType::FormulaString:
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
    std::vector<StringCell> stringCells_;
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
