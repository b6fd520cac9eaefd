#include "masterdata/repair_items.h"

#include "data/run_sql.h"

DbResult<QStringList> RepairItemNames() {
    return ColumnTexts(
        QStringLiteral("select xm_name from xm_table where xm_name <> '' order by rowid"));
}

DbResult<std::optional<double>> RepairItemPrice(const QString& name) {
    Recordset item = RunSql(
        QStringLiteral("select xm_je from xm_table where xm_name = ? order by rowid limit 1"),
        {name});
    if (item.isNull()) {
        return DbResult<std::optional<double>>::failure(item.error());
    }
    std::optional<double> price;
    if (!item.Eof()) {
        price = item.Field(QStringLiteral("xm_je")).toDouble();
    }
    item.Close();
    return price;
}

DbResult<QStringList> TechnicianNames() {
    return ColumnTexts(QStringLiteral("select wxjs_name from wxjs_table order by rowid"));
}
