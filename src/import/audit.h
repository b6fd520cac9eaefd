#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

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

// The sex as it is stored: "先生" for "先生" or "男", "女士" for "女士" or "女", else empty.
QString StoredSex(const QString& text);

// True when the row has a plate and an owner's name; only such rows are customers.
bool HasPlateAndOwner(const SheetRow& row);

// One thing wrong with a cell of a customer row.
struct SheetProblem {
    qsizetype row = 0;  // counted from 1, as the sheet shows it
    SheetColumn column = kSexColumn;
    QString value;    // the cell's text, cut short when long
    QString reason;   // the check's own message: "性别错误！"
    QString allowed;  // what the column takes: "先生、女士、男、女"
};

// Everything that keeps the row from being imported as it stands, in the order the checks run:
// a sex other than those StoredSex knows, then each field longer than its limit
// (core/field_limits.h). `row` is the row's number for the problems.
std::vector<SheetProblem> RowProblems(const SheetRow& row, qsizetype number = 0);
// The first of them, or an empty text when there is none.
QString RowError(const SheetRow& row);

// "第 3 行，“性别”列的“男士”：性别错误！（可填：先生、女士、男、女）"; `where` names the row
// ("第 %1 行" or a file's own line numbers).
QString ProblemText(const SheetProblem& problem, qsizetype shownRow,
                    const QString& where = QStringLiteral("第 %1 行"));

// The problems of a sheet as its rows are checked one by one: the first kShown are kept, the
// rest only counted, so a sheet of a million faulty rows costs no more than a hundred.
class SheetProblems {
public:
    static constexpr qsizetype kShown = 100;

    // Adds the problems of a customer row (one with a plate and an owner's name).
    void check(const SheetRow& row, qsizetype number);
    const std::vector<SheetProblem>& shown() const { return shown_; }
    qsizetype count() const { return count_; }
    bool empty() const { return count_ == 0; }
    // A line for each problem kept, the row numbers moved by `offset`, and a last line for the
    // ones left out.
    QStringList lines(qsizetype offset = 0,
                      const QString& where = QStringLiteral("第 %1 行")) const;

private:
    std::vector<SheetProblem> shown_;
    qsizetype count_ = 0;
};

// "其中 3 位客户的提醒日期是今天……": how many customers the import puts on today's reminder
// list, a blank or unreadable reminder date counting as today's; empty when none.
QString TodayRemindersText(qsizetype customers);
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
    // Every problem of every customer row of the sheet, the first refusal's among them, and
    // the customers whose reminder date is today's or, blank or no date, becomes today's: the
    // import puts them on today's list.
    SheetProblems problems;
    qsizetype todayReminders = 0;
};

// The "数据审核" command: walks the rows in order until a row without a plate or an owner's
// name, rewriting both date columns with AuditedDateText, and stops at the first row that
// fails RowError. Rows audited before a refusal or a cancellation stay rewritten. Every
// customer row of the sheet, past where the audit stopped too, is checked for the problem list.
AuditResult AuditSheet(SheetRows& rows, const SheetProgress& progress = {});
