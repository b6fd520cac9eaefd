#include "masterdata/plate_prefix.h"

#include "data/run_sql.h"

DbResult<QString> PlatePrefix() {
    Recordset prefix =
        RunSql(QStringLiteral("select cp_name from cp_table order by rowid limit 1"));
    if (prefix.isNull()) {
        return DbResult<QString>::failure(prefix.error());
    }
    QString text = prefix.Eof() ? QString() : prefix.Text(QStringLiteral("cp_name"));
    prefix.Close();
    return text;
}

DbStatus SavePlatePrefix(const QString& prefix) {
    Recordset row = RunSql(QStringLiteral("select * from cp_table order by rowid limit 1"));
    if (row.isNull()) {
        return DbStatus::failure(row.error());
    }
    if (row.Eof()) {
        row.AddNew();
    }
    row.SetField(QStringLiteral("cp_name"), prefix);
    if (!row.Update()) {
        return DbStatus::failure(row.error());
    }
    row.Close();
    return DbOk();
}
