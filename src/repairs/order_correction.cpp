#include "repairs/order_correction.h"

#include <optional>

#include "core/clock.h"
#include "core/data_changes.h"
#include "core/date_text.h"
#include "customers/plate_text.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "repairs/order_entry.h"
#include "repairs/order_history.h"
#include "session/roles.h"

namespace {

using Result = DbResult<OrderChangeOutcome>;

const QString kKeepVersion = QStringLiteral(
    "insert into kh_wx_ls_table (kh_wx_ls_code, kh_wx_ls_dh, kh_wx_ls_bb, kh_wx_ls_cph, "
    "kh_wx_ls_czname, kh_wx_ls_cx, kh_wx_ls_tele, kh_wx_ls_hj, kh_wx_ls_czr, kh_wx_ls_txdate, "
    "kh_wx_ls_date, kh_wx_ls_wxjs, kh_wx_ls_xgr, kh_wx_ls_xgsj) "
    "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
const QString kKeepLine = QStringLiteral(
    "insert into kh_wx_mx_ls_table (kh_wx_mx_ls_code, kh_wx_mx_ls_dh, kh_wx_mx_ls_bb, "
    "kh_wx_mx_ls_xh, kh_wx_mx_ls_xm, kh_wx_mx_ls_xmsm, kh_wx_mx_ls_sl, kh_wx_mx_ls_dj, "
    "kh_wx_mx_ls_hj) values (?, ?, ?, ?, ?, ?, ?, ?, ?)");
// Guarded by the revision too, so a writer that slipped past the check changes nothing.
const QString kRewriteHeader = QStringLiteral(
    "update kh_wx_table set kh_wx_cph = ?, kh_wx_czname = ?, kh_wx_cx = ?, kh_wx_tele = ?, "
    "kh_wx_hj = ?, kh_wx_txdate = ?, kh_wx_wxjs = ?, kh_wx_bb = kh_wx_bb + 1 "
    "where kh_wx_code = ? and kh_wx_bb = ?");
const QString kAddLine = QStringLiteral(
    "insert into kh_wx_mx_table (kh_wx_mx_code, kh_wx_mx_dh, kh_wx_mx_cph, kh_wx_mx_czname, "
    "kh_wx_mx_cx, kh_wx_mx_tele, kh_wx_mx_czr, kh_wx_mx_date, kh_wx_mx_wxjs, kh_wx_mx_xm, "
    "kh_wx_mx_xmsm, kh_wx_mx_sl, kh_wx_mx_dj, kh_wx_mx_hj) "
    "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
const QString kMarkVoided = QStringLiteral(
    "update kh_wx_table set kh_wx_zf = '1', kh_wx_zfr = ?, kh_wx_zfsj = ?, kh_wx_zfyy = ?, "
    "kh_wx_bb = kh_wx_bb + 1 where kh_wx_code = ? and kh_wx_bb = ?");

QString Moment() {
    return Now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Runs one write; false with the engine's reason in `error` when it failed.
bool Write(const QString& statement, const QVariantList& values, QString* error,
           qint64* affected = nullptr) {
    const Recordset done = RunSql(statement, values);
    if (done.isNull()) {
        *error = done.error();
        return false;
    }
    if (affected) {
        *affected = done.rowsAffected();
    }
    return true;
}

// The stored order as a change inside an open transaction finds it, or why it may not change.
struct Current {
    std::optional<Order> order;
    std::optional<OrderChange> refused;
};

DbResult<Current> ReadCurrent(const QString& number, int revision) {
    const DbResult<std::optional<Order>> found = FindOrder(number);
    if (!found) {
        return DbResult<Current>::failure(found.error());
    }
    Current current;
    if (!*found) {
        current.refused = OrderChange::Gone;
    } else if ((*found)->voided) {
        current.refused = OrderChange::AlreadyVoided;
    } else if ((*found)->revision != revision) {
        current.refused = OrderChange::ChangedElsewhere;
    } else {
        current.order = **found;
    }
    return current;
}

bool KeepVersion(const Order& stored, const QString& by, QString* error) {
    if (!Write(
            kKeepVersion,
            {NewRecordKey(), stored.number, stored.revision, stored.plate, stored.owner,
             stored.model, stored.telephone, stored.total, stored.operatorName,
             DateText(stored.nextReminder), DateText(stored.date), stored.technician, by, Moment()},
            error)) {
        return false;
    }
    for (int i = 0; i < stored.lines.size(); ++i) {
        const OrderLine& line = stored.lines[i];
        if (!Write(kKeepLine,
                   {NewRecordKey(), stored.number, stored.revision, i + 1, line.item,
                    line.description, line.quantity, line.unitPrice, line.amount},
                   error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

DbResult<OrderChangeOutcome> CorrectOrder(const Order& corrected, const QString& correctedBy) {
    if (const QString refusal = RefusalFor(Guarded::CorrectOrder); !refusal.isEmpty()) {
        return OrderChangeOutcome{OrderChange::Refused, refusal};
    }
    if (const QString tooLong = OrderLineTooLong(corrected); !tooLong.isEmpty()) {
        return Result::failure(tooLong);
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    const DbResult<Current> current = ReadCurrent(corrected.number, corrected.revision);
    if (!current) {
        return Result::failure(current.error());
    }
    if (current->refused) {
        return OrderChangeOutcome{*current->refused, {}};
    }
    const Order& stored = *current->order;

    const DbResult<std::optional<PlateOwner>> owner = FindPlateOwner(corrected.plate);
    if (!owner) {
        return Result::failure(owner.error());
    }
    if (!owner->has_value()) {
        return OrderChangeOutcome{OrderChange::CustomerNotFound, {}};
    }
    const qint64 customerRow = (*owner)->row;
    const QString storedPlate = (*owner)->plate;

    QString error;
    if (!KeepVersion(stored, correctedBy, &error)) {
        return Result::failure(error);
    }
    // An unchanged reminder date is no new appointment: the customer keeps whatever date a
    // later order or call has given him since.
    if (corrected.nextReminder != stored.nextReminder || storedPlate != stored.plate) {
        if (!Write(QStringLiteral("update kh_table set kh_txdate = ? where rowid = ?"),
                   {DateText(corrected.nextReminder), customerRow}, &error)) {
            return Result::failure(error);
        }
    }
    qint64 rewritten = 0;
    if (!Write(
            kRewriteHeader,
            {storedPlate, corrected.owner, corrected.model, corrected.telephone, corrected.total,
             DateText(corrected.nextReminder), corrected.technician, stored.key, stored.revision},
            &error, &rewritten)) {
        return Result::failure(error);
    }
    if (rewritten != 1) {
        return OrderChangeOutcome{OrderChange::ChangedElsewhere, {}};
    }
    if (!Write(QStringLiteral("delete from kh_wx_mx_table where kh_wx_mx_dh = ?"), {stored.number},
               &error)) {
        return Result::failure(error);
    }
    const QString date = DateText(stored.date);
    for (const OrderLine& line : corrected.lines) {
        if (!Write(kAddLine,
                   {NewRecordKey(), stored.number, storedPlate, corrected.owner, corrected.model,
                    corrected.telephone, stored.operatorName, date, corrected.technician, line.item,
                    line.description, line.quantity, line.unitPrice, line.amount},
                   &error)) {
            return Result::failure(error);
        }
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    DataChanges::orderSaved(storedPlate);
    if (storedPlate != stored.plate) {
        DataChanges::orderSaved(stored.plate);
    }
    DataChanges::customersChanged();
    return OrderChangeOutcome{};
}

DbResult<OrderChangeOutcome> VoidOrder(const QString& number, int revision, const QString& reason,
                                       const QString& voidedBy) {
    if (const QString refusal = RefusalFor(Guarded::VoidOrder); !refusal.isEmpty()) {
        return OrderChangeOutcome{OrderChange::Refused, refusal};
    }
    if (reason.trimmed().isEmpty()) {
        return OrderChangeOutcome{OrderChange::NoReason, {}};
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    const DbResult<Current> current = ReadCurrent(number, revision);
    if (!current) {
        return Result::failure(current.error());
    }
    if (current->refused) {
        return OrderChangeOutcome{*current->refused, {}};
    }
    const Order& stored = *current->order;
    QString error;
    qint64 marked = 0;
    if (!Write(kMarkVoided, {voidedBy, Moment(), reason.trimmed(), stored.key, stored.revision},
               &error, &marked)) {
        return Result::failure(error);
    }
    if (marked != 1) {
        return OrderChangeOutcome{OrderChange::ChangedElsewhere, {}};
    }
    // The lines carry the mark too, so the line statistics leave them out from their own index.
    if (!Write(QStringLiteral("update kh_wx_mx_table set kh_wx_mx_zf = '1' where kh_wx_mx_dh = ?"),
               {stored.number}, &error)) {
        return Result::failure(error);
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    DataChanges::orderSaved(stored.plate);
    return OrderChangeOutcome{};
}

DbResult<QList<OrderVersion>> EarlierVersions(const QString& number) {
    using Versions = DbResult<QList<OrderVersion>>;
    Recordset headers = RunSql(
        QStringLiteral("select kh_wx_ls_bb, kh_wx_ls_cph, kh_wx_ls_czname, kh_wx_ls_cx, "
                       "kh_wx_ls_tele, kh_wx_ls_hj, kh_wx_ls_czr, kh_wx_ls_txdate, kh_wx_ls_date, "
                       "kh_wx_ls_wxjs, kh_wx_ls_xgr, kh_wx_ls_xgsj from kh_wx_ls_table "
                       "where kh_wx_ls_dh = ? order by kh_wx_ls_bb"),
        {number});
    if (headers.isNull()) {
        return Versions::failure(headers.error());
    }
    QList<OrderVersion> versions;
    for (; !headers.Eof(); headers.MoveNext()) {
        OrderVersion version;
        Order& order = version.order;
        order.number = number;
        order.revision = headers.Text(0).toInt();
        order.plate = headers.Text(1);
        order.owner = headers.Text(2);
        order.model = headers.Text(3);
        order.telephone = headers.Text(4);
        order.total = headers.Field(QStringLiteral("kh_wx_ls_hj")).toDouble();
        order.operatorName = headers.Text(6);
        order.nextReminder = ParseDateText(headers.Text(7));
        order.date = ParseDateText(headers.Text(8));
        order.technician = headers.Text(9);
        version.changedBy = headers.Text(10);
        version.changedAt = headers.Text(11);
        versions.append(version);
    }
    headers.Close();
    if (!headers.error().isEmpty()) {
        return Versions::failure(headers.error());
    }
    Recordset lines = RunSql(
        QStringLiteral("select kh_wx_mx_ls_bb, kh_wx_mx_ls_xm, kh_wx_mx_ls_xmsm, kh_wx_mx_ls_sl, "
                       "kh_wx_mx_ls_dj, kh_wx_mx_ls_hj from kh_wx_mx_ls_table "
                       "where kh_wx_mx_ls_dh = ? order by kh_wx_mx_ls_bb, kh_wx_mx_ls_xh"),
        {number});
    if (lines.isNull()) {
        return Versions::failure(lines.error());
    }
    for (; !lines.Eof(); lines.MoveNext()) {
        const int revision = lines.Text(0).toInt();
        for (OrderVersion& version : versions) {
            if (version.order.revision == revision) {
                version.order.lines.append(
                    {lines.Text(1), lines.Text(2),
                     lines.Field(QStringLiteral("kh_wx_mx_ls_sl")).toDouble(),
                     lines.Field(QStringLiteral("kh_wx_mx_ls_dj")).toDouble(),
                     lines.Field(QStringLiteral("kh_wx_mx_ls_hj")).toDouble()});
                break;
            }
        }
    }
    lines.Close();
    if (!lines.error().isEmpty()) {
        return Versions::failure(lines.error());
    }
    return versions;
}
