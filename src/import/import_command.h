#pragma once

#include <QByteArray>
#include <QString>

#include "import/sheet_rows.h"

// How `ruvaso --import FILE` ends, for scripts that onboard a shop.
enum ImportCommandStatus {
    kImportDone = 0,        // imported (or, in a dry run, the rows written)
    kImportNotDone = 1,     // refused by the audit, or the database refused or failed
    kImportBadRequest = 2,  // bad usage, or a file that cannot be read
};

// Reads FILE as the import window does, audits its rows and imports them into the database of
// `dataDir`, all or nothing, with the window's rules and messages: reasons go to standard error,
// the summary of an import to standard output; after the first refusal's reason, every problem
// of the file's customer rows follows it. A dry run opens no database: it writes the rows as
// read, the heading left out, to standard output as UTF-8 CSV (RFC 4180), every problem and the
// customers a blank reminder date puts on today's list to standard error, and stores nothing.
// With `serverUri` the database is the one on that server instead of the folder's file.
int RunImportCommand(const QString& file, const QString& dataDir, bool dryRun,
                     const QString& serverUri = {});

// The rows as CSV (RFC 4180): fields quoted when they hold a comma, a quote or a line break,
// lines ended by CR LF.
QByteArray SheetRowsCsv(const SheetRows& rows);
