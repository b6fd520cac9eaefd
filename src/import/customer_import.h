#pragma once

#include <QString>

#include "import/sheet_rows.h"

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

    qsizetype skipped() const { return withoutPlateOrOwner + plateAlreadyStored + repeatedInSheet; }
};

// The "导入到数据库中 ..." command: stores every row that has a plate and an owner's name as a new,
// not yet called customer, with its texts trimmed and both dates as the audit writes them.
// A plate already stored, or repeated from an earlier row of the sheet, is left out. Every row
// with a plate and a name must pass the audit's checks first, whether or not an earlier row
// lacks them; on the first that fails nothing is stored. The rows are stored in one
// transaction: a database failure or a cancellation stores none of them. The sheet itself is
// not changed.
ImportResult ImportSheet(const SheetRows& rows, const SheetProgress& progress = {});

// What the import window adds after "导入成功！": how many rows were stored and how many were
// left out, and why.
QString ImportSummaryText(const ImportResult& result);

// Writes the rows an import left out to a workbook at `path`: the sheet's row number, its eight
// headings and the reason, one row each. Returns an empty text when written, else why not.
QString ExportSkippedRows(const std::vector<SkippedRow>& rows, const QString& path);
