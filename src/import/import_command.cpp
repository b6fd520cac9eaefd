#include "import/import_command.h"

#include <cstdio>

#include "core/console.h"
#include "data/database.h"
#include "import/audit.h"
#include "import/customer_import.h"
#include "import/sheet_file.h"

namespace {

// The import window's own texts, so a script sees what the shop would.
const QString kCannotRead = QStringLiteral("无法读取文件：");
const QString kImported = QStringLiteral("导入成功！");
const QString kDatabaseError = QStringLiteral("数据库操作失败：");
const QString kCannotOpenDatabase = QStringLiteral("无法打开数据库：");
const QString kReadOnly = QStringLiteral("数据库只能读取，无法导入：");
// The window points at the row; a script is told which line of the file it is.
const QString kRowAtFault = QStringLiteral("文件第 %1 行：%2");

void Write(FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

// Sheet rows count from the first customer row; the file's lines count from its first line.
QString AtFault(const SheetFile& file, qsizetype row, const QString& message) {
    return kRowAtFault.arg(row + file.skippedAbove).arg(message);
}

int Import(const SheetFile& file, SheetRows rows, const QString& dataDir,
           const QString& serverUri) {
    // The window's two commands in turn: "数据审核", then "导入到数据库中".
    const AuditResult audit = AuditSheet(rows);
    if (audit.outcome != AuditResult::Outcome::Passed) {
        Say(stderr, AtFault(file, audit.row, audit.message));
        return kImportNotDone;
    }
    const Database::OpenResult opened =
        serverUri.isEmpty() ? Database::Open(dataDir) : Database::OpenServer(serverUri, dataDir);
    if (!opened.ok) {
        Say(stderr, kCannotOpenDatabase + opened.message);
        return kImportNotDone;
    }
    if (opened.readOnly) {
        Say(stderr, kReadOnly + opened.message);
        Database::Close();
        return kImportNotDone;
    }
    const ImportResult result = ImportSheet(rows);
    Database::Close();
    switch (result.outcome) {
        case ImportResult::Outcome::Imported:
            Say(stdout, kImported + QLatin1Char('\n') + ImportSummaryText(result));
            return kImportDone;
        case ImportResult::Outcome::Refused:
            Say(stderr, AtFault(file, result.row, result.message));
            return kImportNotDone;
        case ImportResult::Outcome::Cancelled:
        case ImportResult::Outcome::Failed:
            break;
    }
    Say(stderr, kDatabaseError + result.message);
    return kImportNotDone;
}

}  // namespace

QByteArray SheetRowsCsv(const SheetRows& rows) {
    QByteArray csv;
    for (const SheetRow& row : rows) {
        QStringList fields;
        for (const QString& text : row) {
            fields << CsvField(text);
        }
        csv += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return csv;
}

int RunImportCommand(const QString& path, const QString& dataDir, bool dryRun,
                     const QString& serverUri) {
    SheetFile file = ReadSheetFile(path);
    if (!file.ok()) {
        Say(stderr, kCannotRead + file.error);
        return kImportBadRequest;
    }
    if (dryRun) {
        Write(stdout, SheetRowsCsv(file.rows));
        return kImportDone;
    }
    SheetRows rows = std::move(file.rows);
    return Import(file, std::move(rows), dataDir, serverUri);
}
