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

bool IsOpenDocument(const QByteArray& data) {
    return IsOpenDocumentArchive(data);
}

bool IsSheetSuffix(const QString& suffix) {
    return suffix == QLatin1String("xls") || suffix == QLatin1String("xlsx") ||
           suffix == QLatin1String("ods") || suffix == QLatin1String("csv");
}

QString Read(const QString& path, const QString& suffix, SheetBuilder& builder) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return sheet_error::kCannotOpen;
    }
    if (file.size() > kMaxFileBytes) {
        return sheet_error::kTooBig;
    }
    const QByteArray data = file.read(kMaxFileBytes + 1);
    if (data.isEmpty()) {
        return file.error() == QFileDevice::NoError ? sheet_error::kEmptyFile
                                                    : sheet_error::kCannotOpen;
    }
    if (data.size() > kMaxFileBytes) {
        return sheet_error::kTooBig;
    }
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

}  // namespace

SheetFile ReadSheetFile(const QString& path) {
    SheetBuilder builder;
    SheetFile result;
    result.error = Read(path, QFileInfo(path).suffix().toLower(), builder);
    if (result.ok() && builder.tooLong()) {
        result.error = sheet_error::kTooLong;
    } else if (result.ok() && !builder.unreadableText().isEmpty()) {
        result.error = builder.unreadableText();
    } else if (result.ok() && !builder.hasCells()) {
        result.error = sheet_error::kEmptySheet;
    }
    if (result.ok()) {
        result.rows = builder.takeRows();
        result.sheetName = builder.sheetName();
        result.worksheets = builder.worksheets();
        result.skippedAbove = builder.skippedAbove();
    }
    return result;
}
