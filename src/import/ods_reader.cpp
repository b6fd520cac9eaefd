#include <QRegularExpression>
#include <QSet>
#include <QTime>
#include <cmath>

#include "core/date_text.h"
#include "import/number_format.h"
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

// The text the application wrote for a number is what its data style shows; a plain number
// there (the General format) is shown the same way as in every other workbook, and a cell
// without text shows its value so.
QString ShownNumber(double value, const QString& shown) {
    static const QRegularExpression plain(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?([eE][-+]?[0-9]+)?$"));
    if (shown.isEmpty() || shown.contains(u'\n')) {
        return GeneralNumberText(value);
    }
    bool ok = false;
    const double written = shown.toDouble(&ok);
    if (ok && plain.match(shown).hasMatch() &&
        std::fabs(written - value) <= 1e-9 * std::max(1.0, std::fabs(value))) {
        return GeneralNumberText(value);
    }
    return shown;
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
        int visibleTables = 0;
        QString firstName;
        for (QXmlStreamReader::TokenType token;
             (token = xml_.next()) != QXmlStreamReader::Invalid;) {
            if (token != QXmlStreamReader::StartElement) {
                continue;
            }
            const QXmlStreamReader& xml = xml_.xml();
            if (Is(xml, kStyleNs, u"style")) {
                readStyle();
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
                } else if (Is(xml_.xml(), kTableNs, u"table-column") ||
                           Is(xml_.xml(), kTableNs, u"named-expressions") ||
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
        SheetRow cells;
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
            // A covered cell lies under a merged one: empty, yet it holds its column.
            const qint64 cellRepeat =
                RepeatCount(xml_.xml().attributes(), u"number-columns-repeated", kSheetColumnCount);
            if (covered || column >= kSheetColumnCount) {
                xml_.skipElement();
            } else {
                currentColumn_ = column;
                const QString text = readCell();
                for (qint64 i = 0; i < cellRepeat && column + i < kSheetColumnCount; ++i) {
                    cells[size_t(column + i)] = text;
                }
                hasText = hasText || !text.isEmpty();
            }
            column = std::min<qint64>(column + cellRepeat, kSheetColumnCount);
        }
        auto put = [&](qint64 row) {
            for (int c = 0; c < kSheetColumnCount; ++c) {
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
        if (!error) {
            if (type == u"float" || type == u"percentage" || type == u"currency") {
                bool ok = false;
                const double value = XmlAttribute(attributes, u"value", kOfficeNs).toDouble(&ok);
                if (ok) {
                    return ShownNumber(value, shown);
                }
            } else if (type == u"date") {
                const QString value = XmlAttribute(attributes, u"date-value", kOfficeNs).toString();
                const QDate date = ParseDateText(value);
                if (date.isValid()) {
                    return DateText(date) + ShownTimeOfDay(value, shown);
                }
            } else if (type == u"boolean") {
                const QStringView value = XmlAttribute(attributes, u"boolean-value", kOfficeNs);
                return value == u"true" || value == u"1" ? QStringLiteral("TRUE")
                                                         : QStringLiteral("FALSE");
            } else if (type == u"string" &&
                       HasXmlAttribute(attributes, u"string-value", kOfficeNs)) {
                return XmlAttribute(attributes, u"string-value", kOfficeNs).toString();
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
