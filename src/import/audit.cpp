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

bool HasPlateAndOwner(const SheetRow& row) {
    return !row[kPlateColumn].trimmed().isEmpty() && !row[kOwnerColumn].trimmed().isEmpty();
}

QString RowError(const SheetRow& row) {
    const QString sex = row[kSexColumn].trimmed();
    if (sex != QStringLiteral("先生") && sex != QStringLiteral("女士")) {
        return kSexError;
    }
    static constexpr std::pair<SheetColumn, TextField> kLimited[] = {
        {kPlateColumn, TextField::Plate},
        {kOwnerColumn, TextField::Owner},
        {kTelephoneColumn, TextField::Telephone},
        {kIdentityColumn, TextField::Identity},
        {kModelColumn, TextField::Model}};
    for (const auto& [column, field] : kLimited) {
        if (const QString text = row[column].trimmed(); !FitsField(field, text)) {
            return FieldTooLongText(field, text);
        }
    }
    return {};
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
    for (qsizetype i = 0; i < total; ++i) {
        if (progress && i % kProgressStep == 0 && !progress(i, total)) {
            result.outcome = AuditResult::Outcome::Cancelled;
            return result;
        }
        SheetRow& row = rows[size_t(i)];
        if (!HasPlateAndOwner(row)) {
            result.row = i + 1;
            break;
        }
        row[kReminderDateColumn] = AuditedDateText(row[kReminderDateColumn]);
        if (const QString error = RowError(row); !error.isEmpty()) {
            result.outcome = AuditResult::Outcome::Refused;
            result.row = i + 1;
            result.message = error;
            return result;
        }
        row[kEntryDateColumn] = AuditedDateText(row[kEntryDateColumn]);
    }
    if (progress) {
        progress(total, total);
    }
    return result;
}
