#include <iconv.h>

#include <QStringDecoder>
#include <cerrno>

#include "import/sheet_readers.h"

namespace {

// The text of a file saved as UTF-8 (with or without a byte-order mark), as UTF-16 with a mark,
// or, failing UTF-8, in the Chinese national encoding Windows uses for "CSV" files.
std::optional<QString> DecodeText(const QByteArray& data) {
    if (data.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString text = utf8(data.sliced(3));
        return utf8.hasError() ? std::nullopt : std::optional<QString>(text);
    }
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(data.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                         : QStringDecoder::Utf16BE);
        QString text = utf16(data.sliced(2));
        return utf16.hasError() ? std::nullopt : std::optional<QString>(text);
    }
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString text = utf8(data);
        if (!utf8.hasError()) {
            return text;
        }
    }
    iconv_t convert = iconv_open("UTF-8", "GB18030");
    if (convert == iconv_t(-1)) {
        return std::nullopt;
    }
    // Two bytes of GB18030 become at most three of UTF-8, four become four.
    QByteArray out(data.size() * 2 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(data.constData());
    size_t inLeft = size_t(data.size());
    char* to = out.data();
    size_t outLeft = size_t(out.size());
    const size_t done = iconv(convert, &in, &inLeft, &to, &outLeft);
    iconv_close(convert);
    if (done == size_t(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

// Tab-separated text saved by a spreadsheet as "text" has tabs and no commas on its first line.
QChar Delimiter(const QString& text) {
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    const QStringView first = QStringView(text).left(end < 0 ? text.size() : end);
    return first.contains(QLatin1Char('\t')) && !first.contains(QLatin1Char(','))
               ? QLatin1Char('\t')
               : QLatin1Char(',');
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
        builder.setCell(row, column, field);
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
