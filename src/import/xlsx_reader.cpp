#include <QDate>

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
    for (; i < text.size() && i < 3 && text[i] >= u'A' && text[i] <= u'Z'; ++i) {
        letters = letters * 26 + (text[i].unicode() - u'A' + 1);
    }
    if (i == 0 || i == text.size() || letters > 16384) {
        return false;
    }
    bool ok = false;
    const qint64 number = text.mid(i).toLongLong(&ok);
    if (!ok || number < 1 || !text[i].isDigit()) {
        return false;
    }
    row = number - 1;
    column = letters - 1;
    return true;
}

// One <c> element as the sheet holds it.
struct Cell {
    QString type;
    qint64 style = 0;
    bool formula = false;
    bool hasValue = false;
    QString value;
    QString inlineText;
};

class SheetReader {
public:
    SheetReader(ZipArchive& archive, const XlsxWorkbook& workbook, SheetBuilder& builder)
        : archive_(archive),
          workbook_(workbook),
          builder_(builder),
          formats_(ReadXlsxCellFormats(archive, workbook.stylesPart)),
          strings_(ReadXlsxSharedStrings(archive, workbook.stringsPart)) {}

    QString read() {
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
            if (xml.xml().name() == u"row") {
                const QStringView number = XmlAttribute(xml.xml().attributes(), u"r");
                bool ok = number.isEmpty();
                row = ok ? row + 1 : number.toLongLong(&ok) - 1;
                if (!ok || row < 0) {
                    return sheet_error::kDamaged;
                }
                nextColumn = 0;
            } else if (xml.xml().name() == u"c") {
                const QStringView reference = XmlAttribute(xml.xml().attributes(), u"r");
                qint64 column = nextColumn;
                if (!reference.isEmpty() && !ParseCellReference(reference, row, column)) {
                    return sheet_error::kDamaged;
                }
                nextColumn = column + 1;
                if (row < 0 || column >= kSheetColumnCount) {
                    xml.skipElement();
                } else if (!readCell(xml, row, column)) {
                    return sheet_error::kDamaged;
                }
            }
        }
        return {};
    }

private:
    bool readCell(ZipXmlPart& xml, qint64 row, qint64 column) {
        Cell cell;
        const QXmlStreamAttributes attributes = xml.xml().attributes();
        cell.type = XmlAttribute(attributes, u"t").toString();
        cell.style = XmlAttribute(attributes, u"s").toLongLong();
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
                    cell.value = xml.elementText();
                    cell.hasValue = true;
                } else if (name == u"is") {
                    cell.inlineText = ReadXlsxRichText(xml);
                } else {
                    cell.formula = cell.formula || name == u"f";
                    xml.skipElement();
                }
            }
        }
        // Without the value it showed when saved, a formula cell cannot be read; saying so
        // beats an empty cell the shop would not notice. Some writers leave an empty value;
        // only a text result may really be empty.
        if (cell.formula && (!cell.hasValue || (cell.value.isEmpty() && cell.type != u"str"))) {
            builder_.setUnreadable(row, column, sheet_error::kFormulaWithoutResult);
            return true;
        }
        std::optional<QString> text = cellText(cell);
        if (!text) {
            return false;
        }
        if (!text->isEmpty()) {
            builder_.setCell(row, column, *text);
        }
        return true;
    }

    // The cell's text as its workbook shows it; nothing for a cell that points to a string the
    // workbook does not have.
    std::optional<QString> cellText(const Cell& cell) const {
        if (cell.type == u"s") {
            bool ok = false;
            const qint64 index = cell.value.trimmed().toLongLong(&ok);
            if (!ok || index < 0 || index >= qint64(strings_.size())) {
                return std::nullopt;
            }
            return strings_[size_t(index)];
        }
        if (cell.type == u"inlineStr") {
            return cell.hasValue && cell.inlineText.isEmpty() ? DecodeXlsxEscapes(cell.value)
                                                              : cell.inlineText;
        }
        if (cell.type == u"str" || cell.type == u"e") {
            return DecodeXlsxEscapes(cell.value);
        }
        if (cell.type == u"b") {
            const QString value = cell.value.trimmed();
            return value == u"1" || value == u"true" ? QStringLiteral("TRUE")
                                                     : QStringLiteral("FALSE");
        }
        if (cell.type == u"d") {
            // An ISO 8601 date, perhaps with a time of day, which the date columns drop.
            const QDate date = ParseDateText(cell.value.trimmed());
            return date.isValid() ? DateText(date) : cell.value;
        }
        const QString value = cell.value.trimmed();
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok) {
            return value;
        }
        if (cell.style >= 0 && cell.style < qint64(formats_.size())) {
            const XlsxCellFormat& format = formats_[size_t(cell.style)];
            if (format.date) {
                if (const std::optional<QString> date = SerialDateText(number, workbook_.origin)) {
                    return date;
                }
            } else if (!format.literal.empty()) {
                return QString::fromStdString(*LiteralFormatText(format.literal, number));
            }
        }
        return NumberCellText(number);
    }

    ZipArchive& archive_;
    const XlsxWorkbook& workbook_;
    SheetBuilder& builder_;
    const std::vector<XlsxCellFormat> formats_;
    const std::vector<QString> strings_;
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
