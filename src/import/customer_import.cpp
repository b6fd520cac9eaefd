#include "import/customer_import.h"

#include <QSet>

#include "customers/customer_store.h"
#include "data/transaction.h"
#include "import/audit.h"

namespace {

constexpr qsizetype kProgressStep = 256;

Customer SheetCustomer(const SheetRow& row) {
    Customer c;
    c.plate = row[kPlateColumn].trimmed();
    c.owner = row[kOwnerColumn].trimmed();
    c.sex = row[kSexColumn].trimmed();
    c.telephone = row[kTelephoneColumn].trimmed();
    c.entryDate = AuditedDate(row[kEntryDateColumn]);
    c.reminderDate = AuditedDate(row[kReminderDateColumn]);
    c.identity = row[kIdentityColumn].trimmed();
    c.model = row[kModelColumn].trimmed();
    return c;
}

ImportResult Stopped(ImportResult::Outcome outcome, qsizetype row, const QString& message) {
    ImportResult result;
    result.outcome = outcome;
    result.row = row;
    result.message = message;
    return result;
}

}  // namespace

ImportResult ImportSheet(const SheetRows& rows, const SheetProgress& progress) {
    const qsizetype total = qsizetype(rows.size());
    for (qsizetype i = 0; i < total; ++i) {
        const SheetRow& row = rows[size_t(i)];
        if (!HasPlateAndOwner(row)) {
            continue;
        }
        if (const QString error = RowError(row); !error.isEmpty()) {
            return Stopped(ImportResult::Outcome::Refused, i + 1, error);
        }
    }

    Transaction transaction;
    if (!transaction.isActive()) {
        return Stopped(ImportResult::Outcome::Failed, 0, transaction.error());
    }
    ImportResult result;
    QSet<QString> plates;
    for (qsizetype i = 0; i < total; ++i) {
        if (progress && i % kProgressStep == 0 && !progress(i, total)) {
            return Stopped(ImportResult::Outcome::Cancelled, 0, QString());
        }
        const SheetRow& row = rows[size_t(i)];
        if (!HasPlateAndOwner(row)) {
            ++result.withoutPlateOrOwner;
            continue;
        }
        const Customer customer = SheetCustomer(row);
        if (plates.contains(customer.plate)) {
            ++result.repeatedInSheet;
            continue;
        }
        plates.insert(customer.plate);
        const DbResult<CustomerAdd> added = AddCustomer(customer);
        if (!added) {
            return Stopped(ImportResult::Outcome::Failed, i + 1, added.error());
        }
        if (*added == CustomerAdd::Added) {
            ++result.stored;
        } else {
            ++result.plateAlreadyStored;
        }
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Stopped(ImportResult::Outcome::Failed, 0, committed.error());
    }
    if (progress) {
        progress(total, total);
    }
    return result;
}

QString ImportSummaryText(const ImportResult& result) {
    QString text = QStringLiteral("导入 %1 条客户记录").arg(result.stored);
    if (result.skipped() == 0) {
        return text + QStringLiteral("。");
    }
    QStringList reasons;
    if (result.withoutPlateOrOwner > 0) {
        reasons << QStringLiteral("车牌号或车主姓名为空 %1 条").arg(result.withoutPlateOrOwner);
    }
    if (result.plateAlreadyStored > 0) {
        reasons << QStringLiteral("车牌号已在数据库中 %1 条").arg(result.plateAlreadyStored);
    }
    if (result.repeatedInSheet > 0) {
        reasons << QStringLiteral("与表中前面的行车牌号重复 %1 条").arg(result.repeatedInSheet);
    }
    return text + QStringLiteral("，跳过 %1 条：").arg(result.skipped()) +
           reasons.join(QStringLiteral("，")) + QStringLiteral("。");
}
