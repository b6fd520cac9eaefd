#pragma once

#include <QDate>
#include <QString>

#include "import/sheet_rows.h"

// "性别错误！": the one check a sheet row can fail.
extern const QString kSexError;

// A date as a sheet may hold it: "2026-03-05", "2026/3/5", "2026.3.5" or "2026年3月5日", with or
// without a time of day after it. Anything else gives an invalid date.
QDate ParseSheetDate(const QString& text);

// The date a date column stands for after the audit: its own date, or today's when the cell is
// empty or holds no date.
QDate AuditedDate(const QString& text);
// The same as the audit writes it: "yyyy-MM-dd".
QString AuditedDateText(const QString& text);

// True when the row has a plate and an owner's name; only such rows are customers.
bool HasPlateAndOwner(const SheetRow& row);

// Why the row cannot be imported as it stands, or an empty text when it can: a sex other than
// the two, or a field longer than its limit (core/field_limits.h).
QString RowError(const SheetRow& row);
// What a window says of a row the audit or the import refused: the reason with the row's
// number, as the sheet shows it.
QString AuditRefusalText(qsizetype row, const QString& message);

struct AuditResult {
    enum class Outcome { Passed, Refused, Cancelled };
    Outcome outcome = Outcome::Passed;
    // Refused: the row at fault, counted from 1 as the sheet shows it. Passed: the row whose
    // empty plate or name ended the audit, or 0 when every row was audited.
    qsizetype row = 0;
    QString message;  // Refused: what is wrong with the row
};

// The "数据审核" command: walks the rows in order until a row without a plate or an owner's
// name, rewriting both date columns with AuditedDateText, and stops at the first row that
// fails RowError. Rows audited before a refusal or a cancellation stay rewritten.
AuditResult AuditSheet(SheetRows& rows, const SheetProgress& progress = {});
