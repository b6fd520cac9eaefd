#include "followup/call_record.h"

#include "core/data_changes.h"
#include "core/date_text.h"
#include "core/field_limits.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"

DbResult<CallSave> SaveCall(const CallRecord& call) {
    using Result = DbResult<CallSave>;
    for (const QString* note : {&call.content, &call.response}) {
        if (!FitsField(TextField::CallNote, *note)) {
            return Result::failure(FieldTooLongText(TextField::CallNote, *note));
        }
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    const Recordset added = RunSql(
        QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, kh_tele_czname, "
                       "kh_tele_txnr, kh_tele_khhy, kh_tele_txdate, kh_tele_date, kh_tele_czr) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?)"),
        {NewRecordKey(), call.plate, call.owner, call.content, call.response,
         DateText(call.nextReminder), DateText(call.callDate), call.operatorName});
    if (added.isNull()) {
        return Result::failure(added.error());
    }
    const Recordset marked =
        RunSql(QStringLiteral("update kh_table set kh_sfdgdh=?, kh_txdate=? where kh_code=?"),
               {CalledFlag(), DateText(call.nextReminder), call.customerKey});
    if (marked.isNull()) {
        return Result::failure(marked.error());
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    DataChanges::customersChanged();
    return marked.rowsAffected() > 0 ? CallSave::Saved : CallSave::SavedWithoutCustomer;
}

bool CountsAsCalled(const QString& calledFlag, const QDate& lastCall, const QDate& reminderDate) {
    return calledFlag == CalledFlag() && lastCall.isValid() && lastCall >= reminderDate;
}
