#include <QDate>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <QHash>

#include "core/date_text.h"
#include "import/number_format.h"
#include "import/sheet_readers.h"

namespace {

const QString kSpreadsheet = QStringLiteral("urn:schemas-microsoft-com:office:spreadsheet");

bool IsSpreadsheet(const QXmlStreamReader& xml, QStringView name) {
    return xml.name() == name && xml.namespaceUri() == kSpreadsheet;
}

// ss:Index and friends; some writers leave the prefix off, which puts them in no namespace.
QStringView Attribute(const QXmlStreamAttributes& attributes, QStringView name) {
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == name &&
            (attribute.namespaceUri() == kSpreadsheet || attribute.namespaceUri().isEmpty())) {
            return attribute.value();
        }
    }
    return {};
}

// A count from a row's or cell's attribute, from 0 when absent; nothing when it is not one.
std::optional<qint64> Count(const QXmlStreamAttributes& attributes, QStringView name) {
    const QStringView text = Attribute(attributes, name);
    if (text.isNull()) {
        return 0;
    }
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok && value >= 0 ? std::optional<qint64>(value) : std::nullopt;
}

// The code behind a named format of the 2003 format, as a Chinese system shows it; any other
// name is a code itself.
QString FormatCode(const QString& name) {
    static const QHash<QString, QString> named = {
        {QStringLiteral("General"), QString()},
        {QStringLiteral("General Number"), QString()},
        {QStringLiteral("General Date"), QStringLiteral("yyyy/m/d h:mm")},
        {QStringLiteral("Short Date"), QStringLiteral("yyyy/m/d")},
        {QStringLiteral("Medium Date"), QStringLiteral("dd-mmm-yy")},
        {QStringLiteral("Long Date"), QStringLiteral("yyyy\"年\"m\"月\"d\"日\"")},
        {QStringLiteral("Long Time"), QStringLiteral("h:mm:ss")},
        {QStringLiteral("Medium Time"), QStringLiteral("h:mm AM/PM")},
        {QStringLiteral("Short Time"), QStringLiteral("h:mm")},
        {QStringLiteral("Currency"), QStringLiteral("¥#,##0.00;¥-#,##0.00")},
        {QStringLiteral("Euro Currency"), QStringLiteral("€#,##0.00;€-#,##0.00")},
        {QStringLiteral("Fixed"), QStringLiteral("0.00")},
        {QStringLiteral("Standard"), QStringLiteral("#,##0.00")},
        {QStringLiteral("Percent"), QStringLiteral("0.00%")},
        {QStringLiteral("Scientific"), QStringLiteral("0.00E+00")},
        {QStringLiteral("Yes/No"), QStringLiteral("\"Yes\";\"Yes\";\"No\"")},
        {QStringLiteral("True/False"), QStringLiteral("\"True\";\"True\";\"False\"")},
        {QStringLiteral("On/Off"), QStringLiteral("\"On\";\"On\";\"Off\"")},
    };
    const auto found = named.constFind(name);
    return found == named.constEnd() ? name : *found;
}

// The number format of each style that has one, by the style's ID.
using StyleFormats = QHash<QString, NumberFormat>;

// A cell's value as a spreadsheet shows it: numbers, date-times and texts as their style's
// number format shows them (dates as yyyy-MM-dd), truth values as TRUE and FALSE, anything else
// as written.
QString ShownValue(QStringView type, const QString& text, const NumberFormat* format) {
    static const QDate origin(1899, 12, 30);
    if (type == u"Number") {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok) {
            return text;
        }
        return format != nullptr ? format->text(value, origin) : GeneralNumberText(value);
    }
    if (type == u"DateTime") {
        const QDate date = QDate::fromString(text.trimmed().left(10), QStringLiteral("yyyy-MM-dd"));
        // Durations are written as a time of day past 24 hours ("1899-12-31T255:10:10.000").
        static const QRegularExpression clock(
            QStringLiteral("^T([0-9]{1,6}):([0-9]{2}):([0-9]{2})(\\.[0-9]+)?$"));
        const QRegularExpressionMatch time = clock.match(text.trimmed().mid(10));
        if (format != nullptr && date.isValid() && time.hasMatch()) {
            const double seconds = time.captured(1).toDouble() * 3600 +
                                   time.captured(2).toDouble() * 60 +
                                   (time.captured(3) + time.captured(4)).toDouble();
            // A time of day or a duration is written on day 0, 1899-12-31: 255 hours there are
            // 255 hours, not a day more. A date keeps its own day.
            const double days = !format->showsDate() && date == QDate(1899, 12, 31)
                                    ? 0
                                    : double(origin.daysTo(date));
            return format->text(days + seconds / 86400, origin);
        }
        return date.isValid() ? DateText(date) : text;
    }
    if (type == u"Boolean") {
        return text.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    return format != nullptr && type == u"String" ? format->textOf(text) : text;
}

// Reads the Styles element just started: each style's number format.
void ReadStyles(QXmlStreamReader& xml, StyleFormats& formats) {
    while (xml.readNextStartElement()) {
        if (!IsSpreadsheet(xml, u"Style")) {
            xml.skipCurrentElement();
            continue;
        }
        const QString id = Attribute(xml.attributes(), u"ID").toString();
        while (xml.readNextStartElement()) {
            if (IsSpreadsheet(xml, u"NumberFormat")) {
                const QString code = Attribute(xml.attributes(), u"Format").toString();
                formats.insert(id, NumberFormat(FormatCode(code)));
            }
            xml.skipCurrentElement();
        }
    }
}

// Reads one worksheet of a SpreadsheetML 2003 workbook: its name, whether it is hidden and, when
// asked, its cells.
class WorksheetReader {
public:
    WorksheetReader(QXmlStreamReader& xml, bool readCells, const StyleFormats& formats)
        : xml_(xml), readCells_(readCells), formats_(formats) {}

    QString name;
    bool hidden = false;
    SheetBuilder cells;
    bool damaged = false;

    // Reads from the worksheet's start tag to its end tag.
    void read() {
        name = Attribute(xml_.attributes(), u"Name").toString();
        while (xml_.readNextStartElement()) {
            if (readCells_ && IsSpreadsheet(xml_, u"Table")) {
                readTable();
                if (damaged) {
                    return;
                }
            } else if (xml_.name() == u"WorksheetOptions") {
                readOptions();
            } else {
                xml_.skipCurrentElement();
            }
        }
    }

private:
    void readOptions() {
        while (xml_.readNextStartElement()) {
            if (xml_.name() == u"Visible") {
                const QString visible = xml_.readElementText().trimmed();
                hidden = visible == u"SheetHidden" || visible == u"SheetVeryHidden";
            } else {
                xml_.skipCurrentElement();
            }
        }
    }

    // Rows and cells run on from the one before unless ss:Index places them; a merged cell
    // takes the places it spans to its right.
    void readTable() {
        qint64 next = 0;
        while (xml_.readNextStartElement()) {
            if (!IsSpreadsheet(xml_, u"Row")) {
                xml_.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes attributes = xml_.attributes();
            const std::optional<qint64> index = Count(attributes, u"Index");
            const std::optional<qint64> span = Count(attributes, u"Span");
            if (!index || !span) {
                damaged = true;
                return;
            }
            // Rows past the last a sheet may have make it too long; they need not be counted.
            constexpr qint64 kLast = SheetBuilder::kMaxRows;
            const qint64 row = std::min(*index > 0 ? *index - 1 : next, kLast);
            readRow(row);
            if (damaged) {
                return;
            }
            next = std::min(row + 1 + std::min(*span, kLast), kLast);
        }
    }

    void readRow(qint64 row) {
        qint64 next = 0;
        while (xml_.readNextStartElement()) {
            if (!IsSpreadsheet(xml_, u"Cell")) {
                xml_.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes attributes = xml_.attributes();
            const std::optional<qint64> index = Count(attributes, u"Index");
            const std::optional<qint64> across = Count(attributes, u"MergeAcross");
            if (!index || !across) {
                damaged = true;
                return;
            }
            // Only the columns the import looks at are read; the places beyond need not be counted.
            constexpr qint64 kLast = kMaxFileColumns;
            const qint64 column = std::min(*index > 0 ? *index - 1 : next, kLast);
            next = std::min(column + 1 + std::min(*across, kLast), kLast);
            const auto style = formats_.constFind(Attribute(attributes, u"StyleID").toString());
            readCell(row, column, style == formats_.constEnd() ? nullptr : &*style);
        }
    }

    void readCell(qint64 row, qint64 column, const NumberFormat* format) {
        while (xml_.readNextStartElement()) {
            // Rich text's Data element may carry the HTML namespace as its default.
            if (xml_.name() == u"Data") {
                const QString type = Attribute(xml_.attributes(), u"Type").toString();
                // Rich text holds its runs as elements of its own; the cell shows their text.
                const QString text = xml_.readElementText(QXmlStreamReader::IncludeChildElements);
                cells.setCell(row, column, ShownValue(type, text, format));
            } else {
                // Comments and phonetic guides are not what the cell shows.
                xml_.skipCurrentElement();
            }
        }
    }

    QXmlStreamReader& xml_;
    bool readCells_;
    const StyleFormats& formats_;
};

}  // namespace

// The first worksheet that is not hidden, and how many are not.
QString ReadSpreadsheetXml(const QByteArray& data, SheetBuilder& builder) {
    QXmlStreamReader xml(data);
    if (!xml.readNextStartElement() || !IsSpreadsheet(xml, u"Workbook")) {
        return sheet_error::kDamaged;
    }
    int visible = 0;
    bool found = false;
    StyleFormats formats;
    while (xml.readNextStartElement()) {
        if (IsSpreadsheet(xml, u"Styles")) {
            ReadStyles(xml, formats);
            continue;
        }
        if (!IsSpreadsheet(xml, u"Worksheet")) {
            xml.skipCurrentElement();
            continue;
        }
        WorksheetReader sheet(xml, !found, formats);
        sheet.read();
        if (sheet.damaged) {
            return sheet_error::kDamaged;
        }
        if (sheet.hidden) {
            continue;
        }
        ++visible;
        if (!found) {
            found = true;
            builder.adopt(std::move(sheet.cells));
            builder.setSheet(sheet.name, 0);
        }
    }
    if (xml.hasError()) {
        return sheet_error::kDamaged;
    }
    if (!found) {
        return sheet_error::kNoSheet;
    }
    builder.setSheet(builder.sheetName(), visible);
    return {};
}
