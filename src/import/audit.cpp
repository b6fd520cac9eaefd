#include "import/audit.h"

#include <QRegularExpression>
#include <utility>

#include "core/clock.h"
#include "core/date_text.h"
#include "core/field_limits.h"

const QString kSexError = QStringLiteral("性别错误！");

namespace {

// How often the work reports progress, in rows.
constexpr qsizetype kProgressStep = 256;
// The characters of a cell a problem shows.
constexpr qsizetype kShownValue = 20;

const QString kAllowedSexes = QStringLiteral("先生、女士、男、女");
const QString kAllowedLength = QStringLiteral("不超过 %1 个字");
const QString kProblem = QStringLiteral("%1，“%2”列的“%3”：%4（可填：%5）");
const QString kMoreProblems = QStringLiteral("……另有 %1 个问题未列出。");
const QString kTodayReminders = QStringLiteral(
    "其中 %1 位客户的提醒日期是今天（提醒日期为空或不是日期的按今天），导入后列入今天的提醒名单。");

QString ShownValue(const QString& text) {
    return text.size() > kShownValue ? text.left(kShownValue) + QStringLiteral("…") : text;
}

}  // namespace

QDate ParseSheetDate(const QString& text) {
    static const QRegularExpression numeric(
        QStringLiteral(R"(^([0-9]{4})([-/.])([0-9]{1,2})\2([0-9]{1,2})(?:[ T].*)?$)"));
    static const QRegularExpression chinese(
        QStringLiteral(R"(^([0-9]{4})年([0-9]{1,2})月([0-9]{1,2})日(?:\s.*)?$)"));
    const QString trimmed = text.trimmed();
    QRegularExpressionMatch match = numeric.match(trimmed);
    if (match.hasMatch()) {
        return QDate(match.captured(1).toInt(), match.captured(3).toInt(),
                     match.captured(4).toInt());
    }
    match = chinese.match(trimmed);
    if (match.hasMatch()) {
        return QDate(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    }
    return {};
}

QDate AuditedDate(const QString& text) {
    const QDate date = ParseSheetDate(text);
    return date.isValid() ? date : Today();
}

QString AuditedDateText(const QString& text) {
    return DateText(AuditedDate(text));
}

QString StoredSex(const QString& text) {
    const QString sex = text.trimmed();
    if (sex == QStringLiteral("先生") || sex == QStringLiteral("男")) {
        return QStringLiteral("先生");
    }
    if (sex == QStringLiteral("女士") || sex == QStringLiteral("女")) {
        return QStringLiteral("女士");
    }
    return {};
}

bool HasPlateAndOwner(const SheetRow& row) {
    return !row[kPlateColumn].trimmed().isEmpty() && !row[kOwnerColumn].trimmed().isEmpty();
}

std::vector<SheetProblem> RowProblems(const SheetRow& row, qsizetype number) {
    std::vector<SheetProblem> problems;
    if (StoredSex(row[kSexColumn]).isEmpty()) {
        problems.push_back(
            {number, kSexColumn, ShownValue(row[kSexColumn].trimmed()), kSexError, kAllowedSexes});
    }
    static constexpr std::pair<SheetColumn, TextField> kLimited[] = {
        {kPlateColumn, TextField::Plate},
        {kOwnerColumn, TextField::Owner},
        {kTelephoneColumn, TextField::Telephone},
        {kIdentityColumn, TextField::Identity},
        {kModelColumn, TextField::Model}};
    for (const auto& [column, field] : kLimited) {
        if (const QString text = row[column].trimmed(); !FitsField(field, text)) {
            problems.push_back({number, column, ShownValue(text), FieldTooLongText(field, text),
                                kAllowedLength.arg(FieldLimit(field))});
        }
    }
    return problems;
}

QString RowError(const SheetRow& row) {
    const std::vector<SheetProblem> problems = RowProblems(row);
    return problems.empty() ? QString() : problems.front().reason;
}

QString ProblemText(const SheetProblem& problem, qsizetype shownRow, const QString& where) {
    return kProblem.arg(where.arg(shownRow), SheetHeadings()[problem.column], problem.value,
                        problem.reason, problem.allowed);
}

void SheetProblems::check(const SheetRow& row, qsizetype number) {
    for (SheetProblem& problem : RowProblems(row, number)) {
        ++count_;
        if (qsizetype(shown_.size()) < kShown) {
            shown_.push_back(std::move(problem));
        }
    }
}

QStringList SheetProblems::lines(qsizetype offset, const QString& where) const {
    QStringList lines;
    for (const SheetProblem& problem : shown_) {
        lines << ProblemText(problem, problem.row + offset, where);
    }
    if (count_ > qsizetype(shown_.size())) {
        lines << kMoreProblems.arg(count_ - qsizetype(shown_.size()));
    }
    return lines;
}

QString TodayRemindersText(qsizetype customers) {
    return customers > 0 ? kTodayReminders.arg(customers) : QString();
}

QString AuditRefusalText(qsizetype row, const QString& message) {
    // The sex error is said as it always was; the row at fault is selected beside it.
    if (message == kSexError) {
        return message;
    }
    return QStringLiteral("第 %1 行：%2").arg(row).arg(message);
}

AuditResult AuditSheet(SheetRows& rows, const SheetProgress& progress) {
    const qsizetype total = qsizetype(rows.size());
    AuditResult result;
    // The dates are rewritten up to the row that ends the audit or is refused; the rest of the
    // sheet is only looked at.
    bool rewriting = true;
    for (qsizetype i = 0; i < total; ++i) {
        if (progress && i % kProgressStep == 0 && !progress(i, total)) {
            result.outcome = AuditResult::Outcome::Cancelled;
            return result;
        }
        SheetRow& row = rows[size_t(i)];
        if (!HasPlateAndOwner(row)) {
            if (rewriting) {
                result.row = i + 1;
                rewriting = false;
            }
            continue;
        }
        if (AuditedDate(row[kReminderDateColumn]) == Today()) {
            ++result.todayReminders;
        }
        result.problems.check(row, i + 1);
        if (!rewriting) {
            continue;
        }
        row[kReminderDateColumn] = AuditedDateText(row[kReminderDateColumn]);
        if (const QString error = RowError(row); !error.isEmpty()) {
            result.outcome = AuditResult::Outcome::Refused;
            result.row = i + 1;
            result.message = error;
            rewriting = false;
            continue;
        }
        row[kEntryDateColumn] = AuditedDateText(row[kEntryDateColumn]);
    }
    if (progress) {
        progress(total, total);
    }
    return result;
}
