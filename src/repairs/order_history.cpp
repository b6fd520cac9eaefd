#include "repairs/order_history.h"

#include "core/date_text.h"
#include "data/run_sql.h"

namespace {

const QString kOrdersOfPlate = QStringLiteral(
    "select kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, kh_wx_cx, kh_wx_tele, kh_wx_hj, "
    "kh_wx_czr, kh_wx_txdate, kh_wx_date, kh_wx_wxjs, kh_wx_bb, kh_wx_zf, kh_wx_zfr, kh_wx_zfsj, "
    "kh_wx_zfyy from kh_wx_table where kh_wx_cph=? "
    "order by kh_wx_date, length(kh_wx_dh), kh_wx_dh, rowid");

const QString kOrderByNumber = QStringLiteral(
    "select kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, kh_wx_cx, kh_wx_tele, kh_wx_hj, "
    "kh_wx_czr, kh_wx_txdate, kh_wx_date, kh_wx_wxjs, kh_wx_bb, kh_wx_zf, kh_wx_zfr, kh_wx_zfsj, "
    "kh_wx_zfyy from kh_wx_table where kh_wx_dh=? order by rowid limit 1");

const QString kLinesOfOrder = QStringLiteral(
    "select kh_wx_mx_dh, kh_wx_mx_cph, kh_wx_mx_czname, kh_wx_mx_cx, kh_wx_mx_tele, "
    "kh_wx_mx_czr, kh_wx_mx_date, kh_wx_mx_wxjs, kh_wx_mx_xm, kh_wx_mx_xmsm, kh_wx_mx_sl, "
    "kh_wx_mx_dj, kh_wx_mx_hj from kh_wx_mx_table where kh_wx_mx_dh=? order by rowid");

// Amount columns are numbers; a value another tool left empty or unreadable counts as 0.
double Amount(const Recordset& rs, const char* column) {
    return rs.Field(QLatin1String(column)).toDouble();
}

// The order header of the recordset's current row, as kOrdersOfPlate selects it.
Order HeaderFromRow(const Recordset& rs) {
    Order order;
    order.key = rs.Text(0);
    order.number = rs.Text(1);
    order.plate = rs.Text(2);
    order.owner = rs.Text(3);
    order.model = rs.Text(4);
    order.telephone = rs.Text(5);
    order.total = Amount(rs, "kh_wx_hj");
    order.operatorName = rs.Text(7);
    order.nextReminder = ParseDateText(rs.Text(8));
    order.date = ParseDateText(rs.Text(9));
    order.technician = rs.Text(10);
    order.revision = rs.Text(11).toInt();
    order.voided = rs.Text(12) == QLatin1String("1");
    order.voidedBy = rs.Text(13);
    order.voidedAt = rs.Text(14);
    order.voidReason = rs.Text(15);
    return order;
}

}  // namespace

DbResult<QList<Order>> OrdersOfPlate(const QString& plate) {
    Recordset rs = RunSql(kOrdersOfPlate, {plate});
    if (rs.isNull()) {
        return DbResult<QList<Order>>::failure(rs.error());
    }
    QList<Order> orders;
    for (; !rs.Eof(); rs.MoveNext()) {
        orders.append(HeaderFromRow(rs));
    }
    rs.Close();
    // A walk that stopped on an error has not read every row.
    if (!rs.error().isEmpty()) {
        return DbResult<QList<Order>>::failure(rs.error());
    }
    return orders;
}

DbResult<Order> OrderFromLines(const QString& number) {
    Recordset rs = RunSql(kLinesOfOrder, {number});
    if (rs.isNull()) {
        return DbResult<Order>::failure(rs.error());
    }
    Order order;
    for (; !rs.Eof(); rs.MoveNext()) {
        if (order.lines.isEmpty()) {
            order.number = rs.Text(0);
            order.plate = rs.Text(1);
            order.owner = rs.Text(2);
            order.model = rs.Text(3);
            order.telephone = rs.Text(4);
            order.operatorName = rs.Text(5);
            order.date = ParseDateText(rs.Text(6));
            order.technician = rs.Text(7);
        }
        OrderLine line;
        line.item = rs.Text(8);
        line.description = rs.Text(9);
        line.quantity = Amount(rs, "kh_wx_mx_sl");
        line.unitPrice = Amount(rs, "kh_wx_mx_dj");
        line.amount = Amount(rs, "kh_wx_mx_hj");
        order.lines.append(line);
    }
    rs.Close();
    if (!rs.error().isEmpty()) {
        return DbResult<Order>::failure(rs.error());
    }
    return order;
}

DbResult<std::optional<Order>> FindOrder(const QString& number) {
    using Result = DbResult<std::optional<Order>>;
    Recordset rs = RunSql(kOrderByNumber, {number});
    if (rs.isNull()) {
        return Result::failure(rs.error());
    }
    if (rs.Eof()) {
        return std::optional<Order>();
    }
    Order order = HeaderFromRow(rs);
    rs.Close();
    const DbResult<Order> lines = OrderFromLines(number);
    if (!lines) {
        return Result::failure(lines.error());
    }
    order.lines = lines->lines;
    return std::optional<Order>(order);
}
