#include "masterdata/master_list.h"

#include <cmath>

#include "core/field_limits.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "session/roles.h"

namespace {

// The record's name and amount as stored now; nothing when it is gone.
DbResult<std::optional<MasterValues>> StoredValues(const MasterTable& list, const QString& key) {
    using Result = DbResult<std::optional<MasterValues>>;
    const QString amount =
        list.hasAmount() ? QStringLiteral(", %1").arg(list.amountColumn) : QString();
    Recordset stored = RunSql(QStringLiteral("select %1%2 from %3 where %4 = ?")
                                  .arg(list.nameColumn, amount, list.table, list.keyColumn),
                              {key});
    if (stored.isNull()) {
        return Result::failure(stored.error());
    }
    if (stored.Eof()) {
        return std::optional<MasterValues>();
    }
    MasterValues values{stored.Text(0), QString()};
    if (list.hasAmount()) {
        // The number itself, not a text of it, so no digit is lost before the comparison.
        values.amount = QString::number(stored.Field(list.amountColumn).toDouble(), 'g', 15);
    }
    stored.Close();
    return std::optional<MasterValues>(values);
}

bool SameValues(const MasterTable& list, const MasterValues& a, const MasterValues& b) {
    return a.name == b.name && (!list.hasAmount() || SameAmount(a.amount, b.amount));
}

// Who may change the list: the price list and the technicians are each an administrator's.
QString ListRefusal(const MasterTable& list) {
    return RefusalFor(list.table == RepairItemTable().table ? Guarded::PriceList
                                                            : Guarded::Technicians);
}

}  // namespace

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
    if (const QString refusal = ListRefusal(list); !refusal.isEmpty()) {
        return DbResult<QString>::failure(refusal);
    }
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
    if (const QString refusal = ListRefusal(list); !refusal.isEmpty()) {
        return DbStatus::failure(refusal);
    }
    const Recordset deleted = RunSql(
        QStringLiteral("delete from %1 where %2 = ?").arg(list.table, list.keyColumn), {key});
    if (deleted.isNull()) {
        return DbStatus::failure(deleted.error());
    }
    return DbOk();
}

void LoadedRows::clear() {
    bytes_.clear();
    rows_.clear();
}

void LoadedRows::append(QByteArrayView name, QByteArrayView amount) {
    rows_.push_back({quint32(bytes_.size()), quint32(name.size()), quint32(amount.size())});
    bytes_.append(name);
    bytes_.append(amount);
}

void LoadedRows::replace(int index, const MasterValues& values) {
    const QByteArray name = values.name.toUtf8();
    const QByteArray amount = values.amount.toUtf8();
    rows_[size_t(index)] = {quint32(bytes_.size()), quint32(name.size()), quint32(amount.size())};
    bytes_.append(name);
    bytes_.append(amount);
}

void LoadedRows::remove(int index) {
    rows_.erase(rows_.begin() + index);
}

MasterValues LoadedRows::at(int index) const {
    const Span& span = rows_[size_t(index)];
    const char* start = bytes_.constData() + span.at;
    return {QString::fromUtf8(start, span.nameSize),
            QString::fromUtf8(start + span.nameSize, span.amountSize)};
}

bool SameAmount(const QString& a, const QString& b) {
    const std::optional<double> x = AmountValue(a);
    const std::optional<double> y = AmountValue(b);
    if (x && y) {
        // The list shows 15 significant digits; a value read back from that text is the same.
        return QString::number(*x, 'g', 15) == QString::number(*y, 'g', 15);
    }
    return a == b;
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

bool ChangedHere(const MasterTable& list, const MasterRow& row) {
    return !row.loaded || row.name != row.loaded->name ||
           (list.hasAmount() && !SameAmount(row.amount, row.loaded->amount));
}

DbResult<MasterSave> SaveMasterRows(const MasterTable& list, const QList<MasterRow>& rows) {
    using Result = DbResult<MasterSave>;
    if (const QString refusal = ListRefusal(list); !refusal.isEmpty()) {
        return Result::failure(refusal);
    }
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
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!FitsField(TextField::Item, rows[i].name)) {
            return Result::failure(QStringLiteral("第 %1 行：%2")
                                       .arg(i + 1)
                                       .arg(FieldTooLongText(TextField::Item, rows[i].name)));
        }
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    const QString set =
        list.hasAmount() ? QStringLiteral("update %1 set %2 = ?, %3 = ? where %4 = ?")
                               .arg(list.table, list.nameColumn, list.amountColumn, list.keyColumn)
                         : QStringLiteral("update %1 set %2 = ? where %3 = ?")
                               .arg(list.table, list.nameColumn, list.keyColumn);
    // Writes only while the record still holds what was read: one statement per row, as a
    // save without the check takes.
    const QString setIfAsRead =
        set +
        (list.hasAmount()
             ? QStringLiteral(" and %1 = ? and %2 = ?").arg(list.nameColumn, list.amountColumn)
             : QStringLiteral(" and %1 = ?").arg(list.nameColumn));
    MasterSave outcome;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const MasterRow& row = rows[i];
        if (!ChangedHere(list, row)) {
            continue;
        }
        QVariantList params = list.hasAmount() ? QVariantList{row.name, amounts[i], row.key}
                                               : QVariantList{row.name, row.key};
        const std::optional<double> loadedAmount =
            row.loaded && list.hasAmount() ? AmountValue(row.loaded->amount) : std::nullopt;
        if (row.loaded && (!list.hasAmount() || loadedAmount)) {
            QVariantList asRead = params;
            asRead << row.loaded->name;
            if (list.hasAmount()) {
                asRead << *loadedAmount;
            }
            const Recordset written = RunSql(setIfAsRead, asRead);
            if (written.isNull()) {
                return Result::failure(written.error());
            }
            if (written.rowsAffected() > 0) {
                continue;
            }
        }
        if (row.loaded) {
            // Not as read: gone, changed by another station, or read as a text that gives back
            // a number a digit away from the stored one.
            const DbResult<std::optional<MasterValues>> stored = StoredValues(list, row.key);
            if (!stored) {
                return Result::failure(stored.error());
            }
            if (!*stored) {
                outcome.conflicts.append({int(i + 1), std::nullopt});
                continue;
            }
            if (!SameValues(list, **stored, *row.loaded) &&
                !SameValues(list, **stored, {row.name, row.amount})) {
                outcome.conflicts.append({int(i + 1), *stored});
                continue;
            }
        }
        const Recordset written = RunSql(set, params);
        if (written.isNull()) {
            return Result::failure(written.error());
        }
    }
    // Rows written before a conflict was found are taken back with the transaction.
    if (!outcome.conflicts.isEmpty()) {
        return outcome;
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    return outcome;
}
