#include "import/sheet_file.h"

#include <QFile>
#include <QFileInfo>

#include "import/sheet_readers.h"

namespace {

// A shop's customer list is a few megabytes; anything this big is not one.
constexpr qint64 kMaxFileBytes = qint64(128) << 20;

const QByteArray kCompoundFile = QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
const QByteArray kZipEntry = QByteArrayLiteral("PK\x03\x04");

// A password-protected .xlsx is a compound file holding this stream instead of a workbook.
bool IsEncryptedPackage(const QByteArray& data) {
    const QString name = QStringLiteral("EncryptedPackage");
    const QByteArray utf16(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
    return data.contains(utf16);
}

const QString kMissingColumns = QStringLiteral("表头中没有必需的列：%1");
const QString kUnknownColumns = QStringLiteral("（不认识的列：%1）");

// Why a heading without the required columns cannot be read, naming the columns it has that
// were not recognised, which may be the missing ones under another name.
QString MissingColumnsReason(const SheetHeading& heading) {
    QString reason = kMissingColumns.arg(MissingColumnsText(heading));
    if (!heading.ignored.isEmpty()) {
        reason += kUnknownColumns.arg(heading.ignored.join(QStringLiteral("、")));
    }
    return reason;
}

bool IsOpenDocument(const QByteArray& data) {
    return IsOpenDocumentArchive(data);
}

bool IsSheetSuffix(const QString& suffix) {
    return suffix == QLatin1String("xls") || suffix == QLatin1String("xlsx") ||
           suffix == QLatin1String("ods") || suffix == QLatin1String("csv");
}

// The file's bytes, or why they cannot be read. Only a regular file is opened: a pipe or a
// device would block the read or never end.
QString Load(const QString& path, QByteArray& data) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return sheet_error::kCannotOpen;
    }
    if (!info.isFile()) {
        return sheet_error::kNotAFile;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return sheet_error::kCannotOpen;
    }
    if (file.size() > kMaxFileBytes) {
        return sheet_error::kTooBig;
    }
    data = file.read(kMaxFileBytes + 1);
    if (data.isEmpty()) {
        return file.error() == QFileDevice::NoError ? sheet_error::kEmptyFile
                                                    : sheet_error::kCannotOpen;
    }
    if (data.size() > kMaxFileBytes) {
        data.clear();
        return sheet_error::kTooBig;
    }
    return {};
}

QString Parse(const QByteArray& data, const QString& suffix, SheetBuilder& builder) {
    // The content decides which reader runs, so a workbook saved under another workbook
    // extension still reads, and so does text under any name. A binary file must be named as
    // a workbook.
    if (!IsSheetSuffix(suffix) && (data.startsWith(kCompoundFile) || data.startsWith(kZipEntry))) {
        return sheet_error::kUnsupported;
    }
    if (data.startsWith(kCompoundFile)) {
        return IsEncryptedPackage(data) ? sheet_error::kEncrypted : ReadXlsWorkbook(data, builder);
    }
    if (data.startsWith(kZipEntry)) {
        return ReadZipWorkbook(data, IsOpenDocument(data) ? ZipWorkbook::Ods : ZipWorkbook::Xlsx,
                               builder);
    }
    return ReadTextSheet(data, suffix, builder);
}

// What the reader's outcome and the cells it found make of the file.
SheetFile Outcome(const QString& reason, const SheetBuilder& builder) {
    SheetFile result;
    result.error = reason;
    if (result.ok() && builder.tooLong()) {
        result.error = sheet_error::kTooLong;
    } else if (result.ok() && builder.tooMuchText()) {
        result.error = sheet_error::kTooMuchText;
    } else if (result.ok() && !builder.unreadableText().isEmpty()) {
        result.error = builder.unreadableText();
    } else if (result.ok() && !builder.hasCells()) {
        result.error = sheet_error::kEmptySheet;
    } else if (result.ok() && !builder.heading().missing.isEmpty()) {
        result.error = MissingColumnsReason(builder.heading());
    }
    if (result.ok()) {
        result.sheetName = builder.sheetName();
        result.worksheets = builder.worksheets();
        result.skippedAbove = builder.skippedAbove();
        result.byHeading =
            builder.heading().named && builder.heading().target != PositionHeading().target;
        result.ignoredColumns = builder.heading().ignored;
    }
    return result;
}

}  // namespace

SheetFile ReadSheetFile(const QString& path) {
    SheetBuilder builder;
    QByteArray data;
    QString reason = Load(path, data);
    if (reason.isEmpty()) {
        reason = Parse(data, QFileInfo(path).suffix().toLower(), builder);
    }
    data.clear();
    // Taking the rows settles the heading, which Outcome looks at.
    SheetRows rows = reason.isEmpty() ? builder.takeRows() : SheetRows();
    SheetFile result = Outcome(reason, builder);
    if (result.ok()) {
        result.rows = std::move(rows);
    }
    return result;
}

SheetStream::SheetStream(const QString& path)
    : path_(path), suffix_(QFileInfo(path).suffix().toLower()) {
    loadError_ = Load(path, data_);
}

SheetFile SheetStream::check(const SheetRowSink& sink) {
    if (!loadError_.isEmpty()) {
        return Outcome(loadError_, SheetBuilder());
    }
    SheetBuilder builder(sink ? sink : [](SheetRow&) { return true; });
    const QString reason = Parse(data_, suffix_, builder);
    builder.finish();
    ordered_ = builder.inOrder();
    if (ordered_) {
        return Outcome(reason, builder);
    }
    // Where the heading row stands is known only from the whole sheet.
    SheetBuilder whole;
    const QString wholeReason = Parse(data_, suffix_, whole);
    whole.takeRows();
    return Outcome(wholeReason, whole);
}

void SheetStream::rows(const SheetRowSink& sink) {
    if (!loadError_.isEmpty()) {
        return;
    }
    if (ordered_) {
        SheetBuilder builder(sink);
        Parse(data_, suffix_, builder);
        builder.finish();
        return;
    }
    SheetBuilder builder;
    Parse(data_, suffix_, builder);
    SheetRows all = builder.takeRows();
    for (SheetRow& row : all) {
        if (!sink(row)) {
            return;
        }
    }
}
