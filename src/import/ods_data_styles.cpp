#include "import/ods_data_styles.h"

namespace {

const QString kNumberNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0");
const QString kStyleNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");

// Text a format shows as it is, in quotes; a quote inside closes them, escapes itself and
// opens them again.
QString Quoted(const QString& text) {
    QString out(u'"');
    for (const QChar c : text) {
        out += c == u'"' ? QStringLiteral("\"\\\"\"") : QString(c);
    }
    return out + u'"';
}

int IntAttribute(const QXmlStreamAttributes& attributes, QStringView name, int otherwise) {
    bool ok = false;
    const int value = XmlAttribute(attributes, name, kNumberNs).toInt(&ok);
    return ok ? std::clamp(value, 0, 30) : otherwise;
}

bool IsLong(const QXmlStreamAttributes& attributes) {
    return XmlAttribute(attributes, u"style", kNumberNs) == u"long";
}

// The placeholders of <number:number> and <number:scientific-number>.
QString Digits(const QXmlStreamAttributes& attributes, bool scientific) {
    const int decimals = IntAttribute(attributes, u"decimal-places", 0);
    const int least = std::min(IntAttribute(attributes, u"min-decimal-places", decimals), decimals);
    const int whole = IntAttribute(attributes, u"min-integer-digits", scientific ? 1 : 0);
    QString code(whole, u'0');
    if (XmlAttribute(attributes, u"grouping", kNumberNs) == u"true") {
        code = QString(std::max<qsizetype>(0, 4 - code.size()), u'#') + code;
        code.insert(code.size() - 3, u',');
    } else if (code.isEmpty()) {
        code = QStringLiteral("#");
    }
    if (decimals > 0) {
        code += u'.' + QString(least, u'0') + QString(decimals - least, u'#');
    }
    if (scientific) {
        code += QStringLiteral("E+") +
                QString(std::max(1, IntAttribute(attributes, u"min-exponent-digits", 2)), u'0');
    }
    return code;
}

QString Fraction(const QXmlStreamAttributes& attributes) {
    const bool whole = HasXmlAttribute(attributes, u"min-integer-digits", kNumberNs);
    const int numerator = std::max(1, IntAttribute(attributes, u"min-numerator-digits", 1));
    const int denominator = std::max(1, IntAttribute(attributes, u"min-denominator-digits", 1));
    const QStringView fixed = XmlAttribute(attributes, u"denominator-value", kNumberNs);
    QString code =
        whole ? QString(IntAttribute(attributes, u"min-integer-digits", 0), u'0') : QString();
    if (whole) {
        code = (code.isEmpty() ? QStringLiteral("#") : code) + u' ';
    }
    return code + QString(numerator, u'?') + u'/' +
           (fixed.isEmpty() ? QString(denominator, u'?') : fixed.toString());
}

// The code a condition of a style map stands for: "value()>=0" gives ">=0".
QString Condition(const QString& condition) {
    QString rest = condition.trimmed();
    if (!rest.startsWith(QLatin1String("value()"))) {
        return {};
    }
    rest = rest.mid(7).trimmed();
    if (rest.startsWith(QLatin1String("!="))) {
        rest = QStringLiteral("<>") + rest.mid(2);
    }
    return rest;
}

}  // namespace

bool OdsDataStyles::read(ZipXmlPart& xml) {
    const QXmlStreamReader& reader = xml.xml();
    const QStringView kind = reader.name();
    if (reader.namespaceUri() != kNumberNs ||
        !(kind == u"number-style" || kind == u"currency-style" || kind == u"percentage-style" ||
          kind == u"date-style" || kind == u"time-style" || kind == u"text-style" ||
          kind == u"boolean-style")) {
        return false;
    }
    const bool percentage = kind == u"percentage-style";
    const QXmlStreamAttributes attributes = reader.attributes();
    const QString name = XmlAttribute(attributes, u"name", kStyleNs).toString();
    // Hours past a day keep counting in a duration's style.
    bool elapsed = XmlAttribute(attributes, u"truncate-on-overflow", kNumberNs) == u"false";
    DataStyle style;
    for (int depth = 1; depth > 0;) {
        const QXmlStreamReader::TokenType token = xml.next();
        if (token == QXmlStreamReader::Invalid) {
            return true;
        }
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement) {
            continue;
        }
        const QXmlStreamAttributes part = reader.attributes();
        const QStringView element = reader.name();
        if (reader.namespaceUri() == kStyleNs && element == u"map") {
            style.maps.push_back({XmlAttribute(part, u"condition", kStyleNs).toString(),
                                  XmlAttribute(part, u"apply-style-name", kStyleNs).toString()});
            xml.skipElement();
            continue;
        }
        if (reader.namespaceUri() != kNumberNs) {
            xml.skipElement();
            continue;
        }
        QString& code = style.code;
        if (element == u"text" || element == u"currency-symbol") {
            QString text;
            xml.elementText(text);
            if (percentage && element == u"text") {
                const QStringList pieces = text.split(u'%');
                for (qsizetype i = 0; i < pieces.size(); ++i) {
                    code += (i > 0 ? QStringLiteral("%") : QString()) +
                            (pieces[i].isEmpty() ? QString() : Quoted(pieces[i]));
                }
            } else if (!text.isEmpty()) {
                code += Quoted(text);
            }
            continue;
        }
        if (element == u"number") {
            code += Digits(part, false);
        } else if (element == u"scientific-number") {
            code += Digits(part, true);
        } else if (element == u"fraction") {
            code += Fraction(part);
        } else if (element == u"text-content") {
            code += u'@';
        } else if (element == u"year") {
            code += IsLong(part) ? QStringLiteral("yyyy") : QStringLiteral("yy");
        } else if (element == u"month") {
            const bool textual = XmlAttribute(part, u"textual", kNumberNs) == u"true";
            code += textual ? (IsLong(part) ? QStringLiteral("mmmm") : QStringLiteral("mmm"))
                            : (IsLong(part) ? QStringLiteral("mm") : QStringLiteral("m"));
        } else if (element == u"day") {
            code += IsLong(part) ? QStringLiteral("dd") : QStringLiteral("d");
        } else if (element == u"day-of-week") {
            code += IsLong(part) ? QStringLiteral("dddd") : QStringLiteral("ddd");
        } else if (element == u"hours") {
            const QString hours = IsLong(part) ? QStringLiteral("hh") : QStringLiteral("h");
            code += elapsed ? u'[' + hours + u']' : hours;
            elapsed = false;
        } else if (element == u"minutes") {
            code += IsLong(part) ? QStringLiteral("mm") : QStringLiteral("m");
        } else if (element == u"seconds") {
            code += IsLong(part) ? QStringLiteral("ss") : QStringLiteral("s");
            const int decimals = IntAttribute(part, u"decimal-places", 0);
            if (decimals > 0) {
                code += u'.' + QString(std::min(decimals, 3), u'0');
            }
        } else if (element == u"am-pm") {
            code += QStringLiteral("AM/PM");
        } else if (element == u"boolean") {
            code += QStringLiteral("\"TRUE\";\"TRUE\";\"FALSE\"");
        }
        xml.skipElement();
    }
    if (!name.isEmpty()) {
        dataStyles_.insert(name, std::move(style));
    }
    return true;
}

void OdsDataStyles::noteCellStyle(const QXmlStreamAttributes& attributes) {
    const QStringView dataStyle = XmlAttribute(attributes, u"data-style-name", kStyleNs);
    if (!dataStyle.isEmpty() && XmlAttribute(attributes, u"family", kStyleNs) == u"table-cell") {
        cellStyles_.insert(XmlAttribute(attributes, u"name", kStyleNs).toString(),
                           dataStyle.toString());
    }
}

QString OdsDataStyles::code(const QString& dataStyle, int depth) const {
    const auto found = dataStyles_.constFind(dataStyle);
    if (found == dataStyles_.constEnd() || depth > 2) {
        return {};
    }
    // Maps give the sections before the style's own: ">=0" alone is the usual positive and
    // negative pair, ">0" then "<0" the positive, negative and zero sections.
    QStringList sections;
    QStringList conditions;
    for (const Map& map : found->maps) {
        conditions << Condition(map.condition);
        sections << code(map.style, depth + 1);
    }
    const bool usual = (conditions == QStringList{QStringLiteral(">=0")}) ||
                       (conditions == QStringList{QStringLiteral(">0"), QStringLiteral("<0")});
    QStringList all;
    for (qsizetype i = 0; i < sections.size() && i < 2; ++i) {
        all << (usual || conditions[i].isEmpty() ? QString() : u'[' + conditions[i] + u']') +
                   sections[i];
    }
    all << found->code;
    return all.join(u';');
}

const NumberFormat* OdsDataStyles::format(const QString& style) {
    if (const auto compiled = formats_.constFind(style); compiled != formats_.constEnd()) {
        return &*compiled;
    }
    const auto dataStyle = cellStyles_.constFind(style);
    if (dataStyle == cellStyles_.constEnd()) {
        return nullptr;
    }
    return &*formats_.insert(style, NumberFormat(code(*dataStyle, 0)));
}
