#pragma once

#include <QSet>
#include <QString>
#include <memory>
#include <optional>

#include "import/audit.h"
#include "import/sheet_rows.h"

class Transaction;

// A sheet row the import left out, and why, so the shop can correct it and import it again.
struct SkippedRow {
    qsizetype row = 0;  // counted from 1, as the sheet shows it
    SheetRow texts;
    QString reason;
};

struct ImportResult {
    enum class Outcome { Imported, Refused, Cancelled, Failed };
    Outcome outcome = Outcome::Imported;
    qsizetype stored = 0;
    // Rows left out, by reason.
    qsizetype withoutPlateOrOwner = 0;
    qsizetype plateAlreadyStored = 0;
    qsizetype repeatedInSheet = 0;
    // Refused: the first row that fails the audit's checks, counted from 1 as the sheet shows
    // it. Failed: the first row of the batch being stored when the database refused, or 0
    // when the final commit failed.
    qsizetype row = 0;
    // Refused: what is wrong with the row. Failed: the database's reason.
    QString message;

    // Imported: every row left out, in sheet order (empty rows are not listed).
    std::vector<SkippedRow> skippedRows;
    // Refused: every problem of the sheet's customer rows, the first refusal's among them.
    SheetProblems problems;
    // Imported: the customers stored with today's reminder date, who are on today's list.
    qsizetype remindToday = 0;

    qsizetype skipped() const { return withoutPlateOrOwner + plateAlreadyStored + repeatedInSheet; }
};

// The "导入到数据库中 ..." command: stores every row that has a plate and an owner's name as a new,
// not yet called customer, with its texts trimmed, the sex as StoredSex gives it and both dates
// as the audit writes them.
// A plate already stored, or repeated from an earlier row of the sheet, is left out. Every row
// with a plate and a name must pass the audit's checks first, whether or not an earlier row
// lacks them; on the first that fails nothing is stored. The rows are stored in one
// transaction: a database failure or a cancellation stores none of them. The sheet itself is
// not changed.
ImportResult ImportSheet(const SheetRows& rows, const SheetProgress& progress = {});

// The storing half of ImportSheet, row by row, for rows streamed from a file: the caller has
// checked every row first. Rows are stored in batches within one transaction, which finish()
// commits; an importer dropped unfinished stores nothing.
class CustomerImporter {
public:
    // Without `keepSkippedRows` the rows left out are only counted, so that a file of a million
    // such rows costs no memory.
    explicit CustomerImporter(bool keepSkippedRows = true);
    ~CustomerImporter();
    CustomerImporter(const CustomerImporter&) = delete;
    CustomerImporter& operator=(const CustomerImporter&) = delete;

    // Takes the sheet's next row; false once the import has failed (finish() says why).
    bool add(const SheetRow& row);
    ImportResult finish();

private:
    struct Pending;
    bool flush();

    bool keepSkippedRows_;
    std::unique_ptr<Transaction> transaction_;
    ImportResult result_;
    std::optional<ImportResult> failed_;
    QSet<QString> plates_;
    std::vector<Pending> batch_;
    qsizetype rows_ = 0;
};

// What the import window adds after "导入成功！": how many rows were stored and how many were
// left out, and why; and how many are on today's reminder list.
QString ImportSummaryText(const ImportResult& result);

// Writes the rows an import left out to a workbook at `path`: the sheet's row number, its eight
// headings and the reason, one row each. Returns an empty text when written, else why not.
QString ExportSkippedRows(const std::vector<SkippedRow>& rows, const QString& path);
