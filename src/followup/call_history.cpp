#include "followup/call_history.h"

#include "data/run_sql.h"

DbResult<QList<CallEntry>> CallsOfPlate(const QString& plate) {
    Recordset calls = RunSql(
        QStringLiteral("select kh_tele_date, kh_tele_txnr, kh_tele_khhy, kh_tele_czr "
                       "from kh_tele_table where kh_tele_cph=? order by kh_tele_date, rowid"),
        {plate});
    if (calls.isNull()) {
        return DbResult<QList<CallEntry>>::failure(calls.error());
    }
    QList<CallEntry> entries;
    for (; !calls.Eof(); calls.MoveNext()) {
        entries.append({calls.Text(0), calls.Text(1), calls.Text(2), calls.Text(3)});
    }
    calls.Close();
    // A walk that stopped on an error has not read every row.
    if (!calls.error().isEmpty()) {
        return DbResult<QList<CallEntry>>::failure(calls.error());
    }
    return entries;
}
