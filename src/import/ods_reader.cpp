#include <QRegularExpression>
#include <QSet>
#include <QTime>
#include <cmath>

#include "core/date_text.h"
#include "import/number_format.h"
#include "import/ods_data_styles.h"
#include "import/sheet_readers.h"
#include "import/zip_workbook.h"

namespace {

const QString kOfficeNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString kStyleNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString kTableNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString kTextNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString kCalcExtNs =
    QStringLiteral("urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0");

bool Is(const QXmlStreamReader& xml, const QString& ns, QStringView name) {
    return xml.name() == name && xml.namespaceUri() == ns;
}

// A repeat count: at least 1, and never more than `most`, which is all a reader can use.
qint64 RepeatCount(const QXmlStreamAttributes& attributes, QStringView name, qint64 most) {
    bool ok = false;
    const qint64 count = XmlAttribute(attributes, name, kTableNs).toLongLong(&ok);
    return ok && count > 1 ? std::min(count, most) : 1;
}

// A duration as the format writes it ("PT06H34M00S", "-P1DT2H"), in days.
std::optional<double> DurationDays(const QString& text) {
    static const QRegularExpression duration(QStringLiteral(
        "^(-)?P(?:([0-9]+)D)?(?:T(?:([0-9]+)H)?(?:([0-9]+)M)?(?:([0-9]+(?:\\.[0-9]*)?)S)?)?$"));
    const QRegularExpressionMatch match = duration.match(text.trimmed());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const double days = match.captured(2).toDouble() + match.captured(3).toDouble() / 24 +
                        match.captured(4).toDouble() / 1440 + match.captured(5).toDouble() / 86400;
    return match.captured(1).isEmpty() ? days : -days;
}

// A date, perhaps with a time of day ("2026-03-01T06:34:00"), as a day count from `origin`.
std::optional<double> DateDays(const QString& text, const QDate& origin) {
    const QDate date = ParseDateText(text);
    if (!date.isValid()) {
        return std::nullopt;
    }
    double days = double(origin.daysTo(date));
    const qsizetype at = text.indexOf(u'T');
    if (at >= 0) {
        const QTime time = QTime::fromString(text.mid(at + 1).left(8), Qt::ISODate);
        days += time.isValid() ? double(time.msecsSinceStartOfDay()) / 86400000.0 : 0;
    }
    return days;
}

// A date's time of day, after a blank, when the cell's text shows one: hours and minutes, and
// seconds when the text has them too.
QString ShownTimeOfDay(const QString& value, const QString& shown) {
    const QTime time = QTime::fromString(value.mid(value.indexOf(u'T') + 1).left(8), Qt::ISODate);
    if (!value.contains(u'T') || !time.isValid() || !shown.contains(u':')) {
        return {};
    }
    return u' ' + time.toString(shown.count(u':') > 1 ? QStringLiteral("HH:mm:ss")
                                                      : QStringLiteral("HH:mm"));
}

class ContentReader {
public:
    ContentReader(ZipArchive& archive, SheetBuilder& builder)
        : archive_(archive), xml_(archive, QStringLiteral("content.xml")), builder_(builder) {}

    QString read() {
        if (!xml_.found()) {
            return sheet_error::kDamaged;
        }
        // The common styles, which cells may name too.
        ZipXmlPart styles(archive_, QStringLiteral("styles.xml"));
        for (QXmlStreamReader::TokenType token;
             (token = styles.next()) != QXmlStreamReader::Invalid;) {
            if (token == QXmlStreamReader::StartElement && !dataStyles_.read(styles) &&
                Is(styles.xml(), kStyleNs, u"style")) {
                dataStyles_.noteCellStyle(styles.xml().attributes());
            }
        }
        int visibleTables = 0;
        QString firstName;
        for (QXmlStreamReader::TokenType token;
             (token = xml_.next()) != QXmlStreamReader::Invalid;) {
            if (token != QXmlStreamReader::StartElement) {
                continue;
            }
            const QXmlStreamReader& xml = xml_.xml();
            if (Is(xml, kStyleNs, u"style")) {
                dataStyles_.noteCellStyle(xml.attributes());
                readStyle();
            } else if (dataStyles_.read(xml_)) {
                continue;
            } else if (Is(xml, kTableNs, u"table")) {
                const QXmlStreamAttributes attributes = xml.attributes();
                const bool visible = !hiddenStyles_.contains(
                    XmlAttribute(attributes, u"style-name", kTableNs).toString());
                if (visible && visibleTables++ == 0) {
                    firstName = XmlAttribute(attributes, u"name", kTableNs).toString();
                    readTable();
                } else {
                    xml_.skipElement();
                }
            }
        }
        if (xml_.failed()) {
            return {};  // the archive's status says why
        }
        if (visibleTables == 0) {
            return sheet_error::kNoSheet;
        }
        builder_.setSheet(firstName, visibleTables);
        return {};
    }

private:
    // Notes the table styles that hide their tables.
    void readStyle() {
        const QXmlStreamAttributes attributes = xml_.xml().attributes();
        const QString name = XmlAttribute(attributes, u"name", kStyleNs).toString();
        const bool table = XmlAttribute(attributes, u"family", kStyleNs) == u"table";
        for (int depth = 1; depth > 0;) {
            const QXmlStreamReader::TokenType token = xml_.next();
            if (token == QXmlStreamReader::Invalid) {
                return;
            }
            if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::StartElement) {
                ++depth;
                if (table && Is(xml_.xml(), kStyleNs, u"table-properties") &&
                    XmlAttribute(xml_.xml().attributes(), u"display", kTableNs) == u"false") {
                    hiddenStyles_.insert(name);
                }
            }
        }
    }

    // Rows may sit in header-row, row-group and rows elements: every row inside the table.
    void readTable() {
        for (int depth = 1; depth > 0;) {
            const QXmlStreamReader::TokenType token = xml_.next();
            if (token == QXmlStreamReader::Invalid) {
                return;
            }
            if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::StartElement) {
                if (Is(xml_.xml(), kTableNs, u"table-row")) {
                    readRow();
                } else if (Is(xml_.xml(), kTableNs, u"table-column")) {
                    // A column's cell style serves its cells that name none.
                    const QXmlStreamAttributes attributes = xml_.xml().attributes();
                    const qint64 repeat =
                        RepeatCount(attributes, u"number-columns-repeated", kMaxFileColumns);
                    const QString style =
                        XmlAttribute(attributes, u"default-cell-style-name", kTableNs).toString();
                    for (qint64 i = 0; i < repeat && columnStyles_.size() < kMaxFileColumns; ++i) {
                        columnStyles_.push_back(style);
                    }
                    xml_.skipElement();
                } else if (Is(xml_.xml(), kTableNs, u"named-expressions") ||
                           Is(xml_.xml(), kOfficeNs, u"forms")) {
                    xml_.skipElement();
                } else {
                    ++depth;
                }
            }
        }
    }

    void readRow() {
        // A file repeats a row up to the sheet's last one; past our last row only a repeated
        // row with text matters, and one more such row says the sheet is too long.
        const qint64 repeat = RepeatCount(xml_.xml().attributes(), u"number-rows-repeated",
                                          SheetBuilder::kMaxRows + 1);
        FileRow cells;
        bool hasText = false;
        qint64 column = 0;
        for (int depth = 1; depth > 0;) {
            const QXmlStreamReader::TokenType token = xml_.next();
            if (token == QXmlStreamReader::Invalid) {
                return;
            }
            if (token == QXmlStreamReader::EndElement) {
                --depth;
                continue;
            }
            if (token != QXmlStreamReader::StartElement) {
                continue;
            }
            const bool covered = Is(xml_.xml(), kTableNs, u"covered-table-cell");
            if (!covered && !Is(xml_.xml(), kTableNs, u"table-cell")) {
                xml_.skipElement();
                continue;
            }
            // A covered cell lies under a merged one: it holds its column, and any text it keeps
            // is hidden under the merged cell, so it is not what the sheet shows.
            const qint64 cellRepeat =
                RepeatCount(xml_.xml().attributes(), u"number-columns-repeated", kMaxFileColumns);
            if (covered || column >= kMaxFileColumns) {
                xml_.skipElement();
            } else {
                currentColumn_ = column;
                const QString text = readCell();
                for (qint64 i = 0; i < cellRepeat && column + i < kMaxFileColumns; ++i) {
                    cells[size_t(column + i)] = text;
                }
                hasText = hasText || !text.isEmpty();
            }
            column = std::min<qint64>(column + cellRepeat, kMaxFileColumns);
        }
        auto put = [&](qint64 row) {
            for (int c = 0; c < kMaxFileColumns; ++c) {
                if (!cells[size_t(c)].isEmpty()) {
                    builder_.setCell(row, c, cells[size_t(c)]);
                }
            }
        };
        if (hasText && row_ + repeat > SheetBuilder::kMaxRows) {
            // Past the last row the sheet is too long; the rows before need not be filled.
            put(SheetBuilder::kMaxRows);
        } else if (hasText) {
            for (qint64 i = 0; i < repeat; ++i) {
                put(row_ + i);
            }
        }
        row_ += repeat;
    }

    // The text of the cell just started, as the application shows it.
    QString readCell() {
        const QXmlStreamAttributes attributes = xml_.xml().attributes();
        const QStringView type = XmlAttribute(attributes, u"value-type", kOfficeNs);
        const bool error = XmlAttribute(attributes, u"value-type", kCalcExtNs) == u"error";
        const bool formula = HasXmlAttribute(attributes, u"formula", kTableNs);
        const QString shown = readParagraphs();
        // Numbers show as the cell's data style says; the text beside them was written in the
        // writer's own language (a decimal comma, say).
        QString style = XmlAttribute(attributes, u"style-name", kTableNs).toString();
        if (style.isEmpty() && currentColumn_ < qint64(columnStyles_.size())) {
            style = columnStyles_[size_t(currentColumn_)];
        }
        const NumberFormat* format = style.isEmpty() ? nullptr : dataStyles_.format(style);
        static const QDate origin(1899, 12, 30);
        if (!error) {
            if (type == u"float" || type == u"percentage" || type == u"currency") {
                bool ok = false;
                const double value = XmlAttribute(attributes, u"value", kOfficeNs).toDouble(&ok);
                if (ok) {
                    return format != nullptr ? format->text(value, origin)
                                             : GeneralNumberText(value);
                }
            } else if (type == u"date") {
                const QString value = XmlAttribute(attributes, u"date-value", kOfficeNs).toString();
                const std::optional<double> days = DateDays(value, origin);
                if (days && format != nullptr && format->showsDate()) {
                    return format->text(*days, origin);
                }
                const QDate date = ParseDateText(value);
                if (date.isValid()) {
                    return DateText(date) + ShownTimeOfDay(value, shown);
                }
            } else if (type == u"time" && format != nullptr) {
                if (const std::optional<double> days = DurationDays(
                        XmlAttribute(attributes, u"time-value", kOfficeNs).toString())) {
                    return format->text(*days, origin);
                }
            } else if (type == u"boolean") {
                const QStringView value = XmlAttribute(attributes, u"boolean-value", kOfficeNs);
                return value == u"true" || value == u"1" ? QStringLiteral("TRUE")
                                                         : QStringLiteral("FALSE");
            } else if (type == u"string" &&
                       HasXmlAttribute(attributes, u"string-value", kOfficeNs)) {
                // The text as its text style shows it ("KABA:" before it), which is what the
                // paragraph beside it holds when the office suite wrote it.
                const QString value =
                    XmlAttribute(attributes, u"string-value", kOfficeNs).toString();
                return format != nullptr ? format->textOf(value) : value;
            }
        }
        // A formula saved without its result cannot be read; saying so beats an empty cell.
        if (formula && type.isEmpty() && shown.isEmpty()) {
            builder_.setUnreadable(row_, currentColumn_, sheet_error::kFormulaWithoutResult);
        }
        return shown;
    }

    // The cell's paragraphs, one line each, as the application copies a cell; comments on the
    // cell are not its text.
    QString readParagraphs() {
        QString text;
        int paragraphs = 0;
        for (int depth = 1; depth > 0;) {
            const QXmlStreamReader::TokenType token = xml_.next();
            if (token == QXmlStreamReader::Invalid) {
                return {};
            }
            if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::StartElement) {
                if (Is(xml_.xml(), kTextNs, u"p") || Is(xml_.xml(), kTextNs, u"h")) {
                    if (paragraphs++ > 0 && !xml_.append(text, u"\n")) {
                        return {};
                    }
                    readSpan(text);
                } else {
                    xml_.skipElement();
                }
            }
        }
        return text;
    }

    // Text, spans, links and the marks for spaces, tabs and line breaks, up to the end of the
    // element just started; notes and comments inside are left out.
    void readSpan(QString& text) {
        for (int depth = 1; depth > 0;) {
            const QXmlStreamReader::TokenType token = xml_.next();
            if (token == QXmlStreamReader::Invalid) {
                return;
            }
            if (token == QXmlStreamReader::Characters) {
                if (!xml_.append(text, xml_.xml().text())) {
                    return;
                }
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::StartElement) {
                const QXmlStreamReader& xml = xml_.xml();
                if (Is(xml, kTextNs, u"s")) {
                    bool ok = false;
                    const qint64 count =
                        XmlAttribute(xml.attributes(), u"c", kTextNs).toLongLong(&ok);
                    const qint64 spaces =
                        ok ? std::clamp<qint64>(count, 1, ZipXmlPart::kMaxTextChars + 1) : 1;
                    if (!xml_.append(text, QString(spaces, QLatin1Char(' ')))) {
                        return;
                    }
                    xml_.skipElement();
                } else if (Is(xml, kTextNs, u"tab") || Is(xml, kTextNs, u"line-break")) {
                    if (!xml_.append(text, Is(xml, kTextNs, u"tab") ? u"\t" : u"\n")) {
                        return;
                    }
                    xml_.skipElement();
                } else if (Is(xml, kTextNs, u"note") || Is(xml, kOfficeNs, u"annotation") ||
                           Is(xml, kTextNs, u"ruby-text") || xml.namespaceUri() != kTextNs) {
                    xml_.skipElement();
                } else {
                    ++depth;
                }
            }
        }
    }

    ZipArchive& archive_;
    ZipXmlPart xml_;
    SheetBuilder& builder_;
    QSet<QString> hiddenStyles_;
    OdsDataStyles dataStyles_;
    std::vector<QString> columnStyles_;
    qint64 row_ = 0;
    qint64 currentColumn_ = 0;
};

}  // namespace

QString ReadOdsArchive(ZipArchive& archive, SheetBuilder& builder) {
    // An encrypted document keeps its parts, unreadable without the password.
    if (const std::optional<QByteArray> manifest =
            archive.readSmall(QStringLiteral("META-INF/manifest.xml"), 1 << 20)) {
        if (manifest->contains("encryption-data")) {
            return sheet_error::kEncrypted;
        }
    }
    return ContentReader(archive, builder).read();
}
