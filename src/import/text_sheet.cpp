#include <QStringDecoder>

#include "import/sheet_readers.h"
#include "import/text_decoding.h"

namespace {

// Enough of a file's start to see what kind of text it is.
constexpr qsizetype kSniffBytes = 4096;

enum class TextKind { Html, SpreadsheetXml, Delimited };

// The start of the file as characters, for looking at its markup: ASCII reads the same in
// UTF-8 and GB18030, so only UTF-16 needs decoding.
QString Head(const QByteArray& data) {
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(data.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                         : QStringDecoder::Utf16BE);
        return utf16(data.sliced(2, std::min(data.size() - 2, kSniffBytes * 2)));
    }
    const qsizetype start = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    return QString::fromLatin1(data.sliced(start, std::min(data.size() - start, kSniffBytes)));
}

// Web systems' "export to Excel" saves an HTML table or a SpreadsheetML 2003 workbook, both as
// .xls; either starts with markup and says what it is near its start.
TextKind Kind(const QByteArray& data) {
    const QString head = Head(data).trimmed();
    if (!head.startsWith(QLatin1Char('<'))) {
        return TextKind::Delimited;
    }
    if (head.contains(QLatin1String("urn:schemas-microsoft-com:office:spreadsheet")) &&
        head.contains(QLatin1String("Workbook"))) {
        return TextKind::SpreadsheetXml;
    }
    for (const char* tag : {"<html", "<table", "<!doctype html"}) {
        if (head.contains(QLatin1String(tag), Qt::CaseInsensitive)) {
            return TextKind::Html;
        }
    }
    return TextKind::Delimited;
}

// Text has no control characters but line ends and tabs (and the end-of-file mark old
// programs leave); a binary file decoded by chance has them everywhere.
bool IsText(const QByteArray& data) {
    const std::optional<QString> text = DecodeText(data);
    if (!text) {
        return false;
    }
    for (const QChar c : *text) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r') && c != QLatin1Char('\f') && c.unicode() != 0x1A) {
            return false;
        }
    }
    return true;
}

bool IsWorkbookSuffix(const QString& suffix) {
    return suffix == QLatin1String("xls") || suffix == QLatin1String("xlsx") ||
           suffix == QLatin1String("ods");
}

}  // namespace

QString ReadTextSheet(const QByteArray& data, const QString& suffix, SheetBuilder& builder) {
    switch (Kind(data)) {
        case TextKind::Html:
            return ReadHtmlTable(data, builder);
        case TextKind::SpreadsheetXml:
            return ReadSpreadsheetXml(data, builder);
        case TextKind::Delimited:
            break;
    }
    // A .csv file keeps the reasons it always had; under another name, a file that is not text
    // is a damaged workbook, or no kind of sheet at all.
    if (suffix != QLatin1String("csv") && !IsText(data)) {
        return IsWorkbookSuffix(suffix) ? sheet_error::kDamaged : sheet_error::kUnsupported;
    }
    return ReadCsvText(data, builder);
}
