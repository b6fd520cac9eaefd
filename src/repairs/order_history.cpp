#include "repairs/order_history.h"

#include "core/date_text.h"
#include "data/run_sql.h"

namespace {

const QString kOrdersOfPlate = QStringLiteral(
    "select kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, kh_wx_cx, kh_wx_tele, kh_wx_hj, "
    "kh_wx_czr, kh_wx_txdate, kh_wx_date, kh_wx_wxjs from kh_wx_table where kh_wx_cph=? "
    "order by kh_wx_date, length(kh_wx_dh), kh_wx_dh, rowid");

const QString kLinesOfOrder = QStringLiteral(
    "select kh_wx_mx_dh, kh_wx_mx_cph, kh_wx_mx_czname, kh_wx_mx_cx, kh_wx_mx_tele, "
    "kh_wx_mx_czr, kh_wx_mx_date, kh_wx_mx_wxjs, kh_wx_mx_xm, kh_wx_mx_xmsm, kh_wx_mx_sl, "
    "kh_wx_mx_dj, kh_wx_mx_hj from kh_wx_mx_table where kh_wx_mx_dh=? order by rowid");

// Amount columns are numbers; a value another tool left empty or unreadable counts as 0.
double Amount(const Recordset& rs, const char* column) {
    return rs.Field(QLatin1String(column)).toDouble();
}

}  // namespace

DbResult<QList<Order>> OrdersOfPlate(const QString& plate) {
    Recordset rs = RunSql(kOrdersOfPlate, {plate});
    if (rs.isNull()) {
        return DbResult<QList<Order>>::failure(rs.error());
    }
    QList<Order> orders;
    for (; !rs.Eof(); rs.MoveNext()) {
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
        orders.append(order);
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
