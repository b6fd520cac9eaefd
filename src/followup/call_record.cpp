#include "followup/call_record.h"

#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "ui/date_text.h"

CallSave SaveCall(const CallRecord& call) {
    Transaction transaction;
    if (!transaction.isActive()) {
        return CallSave::Failed;
    }
    const Recordset added = RunSql(
        QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, kh_tele_czname, "
                       "kh_tele_txnr, kh_tele_khhy, kh_tele_txdate, kh_tele_date, kh_tele_czr) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?)"),
        {NewRecordKey(), call.plate, call.owner, call.content, call.response,
         ui::DateText(call.nextReminder), ui::DateText(call.callDate), call.operatorName});
    if (added.isNull()) {
        return CallSave::Failed;
    }
    const Recordset marked =
        RunSql(QStringLiteral("update kh_table set kh_sfdgdh=?, kh_txdate=? where kh_code=?"),
               {CalledFlag(), ui::DateText(call.nextReminder), call.customerKey});
    if (marked.isNull()) {
        return CallSave::Failed;
    }
    if (!transaction.commit()) {
        return CallSave::Failed;
    }
    return marked.rowsAffected() > 0 ? CallSave::Saved : CallSave::SavedWithoutCustomer;
}
