#include "import/sheet_readers.h"
#include "import/text_decoding.h"

namespace {

// Only the first lines say which delimiter a file uses; a title line may have none.
constexpr qsizetype kDelimiterWindow = 65536;

// The delimiter of the first line that has any outside quotes: a tab where a spreadsheet saved
// "text" (tabs, no commas), a semicolon where a European locale saved "CSV" (more semicolons
// than commas, since its decimal commas sit in the fields), else a comma.
QChar Delimiter(const QString& text) {
    int tabs = 0;
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    const qsizetype end = std::min(text.size(), kDelimiterWindow);
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == QLatin1Char('\t')) {
            ++tabs;
        } else if (c == QLatin1Char(',')) {
            ++commas;
        } else if (c == QLatin1Char(';')) {
            ++semicolons;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (tabs + commas + semicolons > 0) {
                break;
            }
        }
    }
    if (tabs > 0 && commas == 0 && tabs >= semicolons) {
        return QLatin1Char('\t');
    }
    if (semicolons > commas && semicolons > tabs) {
        return QLatin1Char(';');
    }
    return QLatin1Char(',');
}

// Web systems write ="0123" so that a spreadsheet keeps the leading zero: the cell shows the
// text between the quotes, with doubled quotes as one.
QString ShownText(const QString& field) {
    if (field.size() < 3 || !field.startsWith(QLatin1String("=\"")) ||
        !field.endsWith(QLatin1Char('"'))) {
        return field;
    }
    const QStringView inner = QStringView(field).sliced(2, field.size() - 3);
    QString text;
    text.reserve(inner.size());
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner.at(i) != QLatin1Char('"')) {
            text += inner.at(i);
        } else if (i + 1 < inner.size() && inner.at(i + 1) == QLatin1Char('"')) {
            text += QLatin1Char('"');
            ++i;
        } else {
            // A lone quote: not a text formula, so the cell shows what was written.
            return field;
        }
    }
    return text;
}

}  // namespace

// Fields are separated by the delimiter and rows by LF, CR LF or CR; a field in double quotes
// may hold delimiters, line breaks and doubled quotes. A quote left open runs to the end.
QString ReadCsvText(const QByteArray& data, SheetBuilder& builder) {
    if (data.contains('\0') && !data.startsWith("\xFF\xFE") && !data.startsWith("\xFE\xFF")) {
        return sheet_error::kDamaged;
    }
    const std::optional<QString> decoded = DecodeText(data);
    if (!decoded) {
        return sheet_error::kUnknownEncoding;
    }
    const QString& text = *decoded;
    const QChar delimiter = Delimiter(text);
    const QChar quote = QLatin1Char('"');
    qint64 row = 0;
    qint64 column = 0;
    QString field;
    bool quoted = false;
    auto endField = [&] {
        builder.setCell(row, column, ShownText(field));
        field.clear();
        ++column;
    };
    auto endRow = [&] {
        endField();
        ++row;
        column = 0;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != quote) {
                field += c;
            } else if (i + 1 < text.size() && text.at(i + 1) == quote) {
                field += quote;
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == quote && field.isEmpty()) {
            quoted = true;
        } else if (c == delimiter) {
            endField();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            endRow();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || column > 0 || quoted) {
        endRow();
    }
    return {};
}
