#include "import/import_command.h"

#include <cstdio>

#include "core/clock.h"
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
const QString kFileLine = QStringLiteral("文件第 %1 行");
const QString kProblemsFound = QStringLiteral("共发现 %1 个问题：");
const QString kIgnoredColumns = QStringLiteral("按表头读取，忽略了不认识的列：%1");

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

void AppendCsvRow(QByteArray& csv, const SheetRow& row) {
    for (size_t c = 0; c < row.size(); ++c) {
        if (c > 0) {
            csv += ',';
        }
        csv += CsvField(row[c]).toUtf8();
    }
    csv += "\r\n";
}

// Writes the rows as they come, a buffer at a time.
bool WriteCsv(SheetStream& stream) {
    constexpr qsizetype kFlushBytes = 1 << 16;
    QByteArray csv;
    bool written = true;
    stream.rows([&](SheetRow& row) {
        AppendCsvRow(csv, row);
        if (csv.size() >= kFlushBytes) {
            written =
                std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout) == size_t(csv.size());
            csv.resize(0);
        }
        return written;
    });
    if (written) {
        Write(stdout, csv);
    }
    return written;
}

// What the window's audit, then the import's own check of every customer row, make of the
// rows, one at a time: the first refusal of each, and every problem.
struct RowChecks {
    AuditResult audit;
    bool auditEnded = false;
    qsizetype importRefusedRow = 0;
    QString importRefusal;
    qsizetype rows = 0;
    SheetProblems problems;
    qsizetype todayReminders = 0;

    bool add(const SheetRow& row) {
        ++rows;
        if (!auditEnded) {
            // The audit's own rules, one row at a time; it ends at a row without a plate or a
            // name.
            SheetRows one{row};
            const AuditResult result = AuditSheet(one);
            if (result.outcome != AuditResult::Outcome::Passed || result.row != 0) {
                audit = result;
                audit.row = rows;
                auditEnded = true;
            }
        }
        if (HasPlateAndOwner(row)) {
            problems.check(row, rows);
            todayReminders += AuditedDate(row[kReminderDateColumn]) == Today() ? 1 : 0;
            if (importRefusedRow == 0 && !problems.empty()) {
                importRefusedRow = rows;
                importRefusal = problems.shown().front().reason;
            }
        }
        // Every row is looked at, so that every problem is told at once.
        return true;
    }
};

// Every problem found, by the file's own line numbers, after the first refusal's message.
void SayProblems(const SheetFile& file, const RowChecks& checks) {
    if (checks.problems.empty()) {
        return;
    }
    Say(stderr, kProblemsFound.arg(checks.problems.count()) + QLatin1Char('\n') +
                    checks.problems.lines(file.skippedAbove, kFileLine).join(QLatin1Char('\n')));
}

void SayIgnoredColumns(const SheetFile& file) {
    if (!file.ignoredColumns.isEmpty()) {
        Say(stderr, kIgnoredColumns.arg(file.ignoredColumns.join(QStringLiteral("、"))));
    }
}

int Import(SheetStream& stream, const SheetFile& file, const RowChecks& checks,
           const QString& dataDir, const QString& serverUri) {
    // The window's two commands in turn: "数据审核", then "导入到数据库中".
    if (checks.audit.outcome != AuditResult::Outcome::Passed) {
        Say(stderr, AtFault(file, checks.audit.row, checks.audit.message));
        SayProblems(file, checks);
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
    ImportResult result;
    if (checks.importRefusedRow > 0) {
        result.outcome = ImportResult::Outcome::Refused;
        result.row = checks.importRefusedRow;
        result.message = checks.importRefusal;
    } else {
        // The rows go from the file to the database a batch at a time; the script is told
        // only how many were left out, so their texts are not kept.
        CustomerImporter importer(false);
        stream.rows([&importer](SheetRow& row) { return importer.add(row); });
        result = importer.finish();
    }
    Database::Close();
    switch (result.outcome) {
        case ImportResult::Outcome::Imported:
            Say(stdout, kImported + QLatin1Char('\n') + ImportSummaryText(result));
            return kImportDone;
        case ImportResult::Outcome::Refused:
            Say(stderr, AtFault(file, result.row, result.message));
            SayProblems(file, checks);
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
        AppendCsvRow(csv, row);
    }
    return csv;
}

int RunImportCommand(const QString& path, const QString& dataDir, bool dryRun,
                     const QString& serverUri) {
    // The file is read whole, keeping no rows, before a row is written or stored; then again,
    // handing the rows on as they come, so no sheet is ever held whole.
    SheetStream stream(path);
    RowChecks checks;
    const SheetFile file = stream.check([&checks](SheetRow& row) { return checks.add(row); });
    if (!file.ok()) {
        Say(stderr, kCannotRead + file.error);
        return kImportBadRequest;
    }
    if (!stream.ordered()) {
        checks = RowChecks();
        stream.rows([&checks](SheetRow& row) { return checks.add(row); });
    }
    SayIgnoredColumns(file);
    if (dryRun) {
        // The rows go to standard output; what the audit would say of them, to standard error.
        const bool written = WriteCsv(stream);
        SayProblems(file, checks);
        if (const QString blank = TodayRemindersText(checks.todayReminders); !blank.isEmpty()) {
            Say(stderr, blank);
        }
        return written ? kImportDone : kImportNotDone;
    }
    return Import(stream, file, checks, dataDir, serverUri);
}
