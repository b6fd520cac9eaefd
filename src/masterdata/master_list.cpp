#include "masterdata/master_list.h"

#include <cmath>

#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"

const MasterTable& RepairItemTable() {
    static const MasterTable list{QStringLiteral("xm_table"), QStringLiteral("xm_code"),
                                  QStringLiteral("xm_name"), QStringLiteral("xm_je")};
    return list;
}

const MasterTable& TechnicianTable() {
    static const MasterTable list{QStringLiteral("wxjs_table"), QStringLiteral("wxjs_code"),
                                  QStringLiteral("wxjs_name"), QString()};
    return list;
}

Recordset OpenMasterList(const MasterTable& list) {
    return RunSql(MasterListStatement(list));
}

QString MasterListStatement(const MasterTable& list) {
    // The engine writes the amount's text, so a long list is never converted number by number;
    // 15 significant digits give back what was typed, without a trailing ".0".
    const QString amount = list.hasAmount()
                               ? QStringLiteral(", printf('%.15g', %1)").arg(list.amountColumn)
                               : QString();
    return QStringLiteral("select %1, %2%3 from %4 order by rowid")
        .arg(list.keyColumn, list.nameColumn, amount, list.table);
}

DbResult<QString> AddMasterRow(const MasterTable& list) {
    const QString key = NewRecordKey();
    const QString amount =
        list.hasAmount() ? QStringLiteral(", %1").arg(list.amountColumn) : QString();
    const QString zero = list.hasAmount() ? QStringLiteral(", 0") : QString();
    const Recordset added =
        RunSql(QStringLiteral("insert into %1 (%2, %3%4) values (?, ''%5)")
                   .arg(list.table, list.keyColumn, list.nameColumn, amount, zero),
               {key});
    if (added.isNull()) {
        return DbResult<QString>::failure(added.error());
    }
    return key;
}

DbStatus DeleteMasterRow(const MasterTable& list, const QString& key) {
    const Recordset deleted = RunSql(
        QStringLiteral("delete from %1 where %2 = ?").arg(list.table, list.keyColumn), {key});
    if (deleted.isNull()) {
        return DbStatus::failure(deleted.error());
    }
    return DbOk();
}

std::optional<double> AmountValue(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return 0.0;
    }
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

DbResult<MasterSave> SaveMasterRows(const MasterTable& list, const QList<MasterRow>& rows) {
    using Result = DbResult<MasterSave>;
    QList<double> amounts;
    if (list.hasAmount()) {
        amounts.reserve(rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const std::optional<double> amount = AmountValue(rows[i].amount);
            if (!amount) {
                return MasterSave{int(i + 1)};
            }
            amounts << *amount;
        }
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    const QString statement =
        list.hasAmount() ? QStringLiteral("update %1 set %2 = ?, %3 = ? where %4 = ?")
                               .arg(list.table, list.nameColumn, list.amountColumn, list.keyColumn)
                         : QStringLiteral("update %1 set %2 = ? where %3 = ?")
                               .arg(list.table, list.nameColumn, list.keyColumn);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QVariantList params = list.hasAmount()
                                        ? QVariantList{rows[i].name, amounts[i], rows[i].key}
                                        : QVariantList{rows[i].name, rows[i].key};
        const Recordset written = RunSql(statement, params);
        if (written.isNull()) {
            return Result::failure(written.error());
        }
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    return MasterSave{};
}
