#include "customers/customer_store.h"

#include <utility>

#include "core/data_changes.h"
#include "core/date_text.h"
#include "core/field_limits.h"
#include "customers/plate_text.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"

namespace {

const QString kByKey = QStringLiteral("select * from kh_table where kh_code=?");
// The plate stored exactly as given comes before one that matches only by letter case.
const QString kByPlate = QStringLiteral(
                             "select * from kh_table where %1 order by kh_cph = ? desc, "
                             "rowid limit 1")
                             .arg(PlateMatches());

const QString kAddUnlessStored =
    QStringLiteral(
        "insert into kh_table (kh_code, kh_cph, kh_czname, kh_xb, kh_tele, kh_djdate, kh_txdate, "
        "kh_sfzh, kh_cx, kh_sfdgdh) select ?, ?, ?, ?, ?, ?, ?, ?, ?, '0' "
        "where not exists (select 1 from kh_table where %1)")
        .arg(PlateMatches());

const QString kUpdate = QStringLiteral(
    "update kh_table set kh_czname=?, kh_tele=?, kh_djdate=?, kh_txdate=?, kh_sfzh=?, kh_cx=?, "
    "kh_xb=? where kh_code=?");
const QString kUpdateKeepingSex = QStringLiteral(
    "update kh_table set kh_czname=?, kh_tele=?, kh_djdate=?, kh_txdate=?, kh_sfzh=?, kh_cx=? "
    "where kh_code=?");

DbResult<std::optional<Customer>> FindOne(const QString& statement, const QString& value) {
    Recordset rs = RunSql(statement, {value});
    if (rs.isNull()) {
        return DbResult<std::optional<Customer>>::failure(rs.error());
    }
    std::optional<Customer> found = CustomerFromRow(rs);
    rs.Close();
    return found;
}

// Whether two readings of a record agree on every field a save writes; the plate, the key and
// the called flag are not written, so a change to them is no change to lose.
bool SameWrittenFields(const Customer& a, const Customer& b) {
    return a.owner == b.owner && a.sex == b.sex && a.telephone == b.telephone &&
           a.entryDate == b.entryDate && a.reminderDate == b.reminderDate &&
           a.identity == b.identity && a.model == b.model;
}

DbResult<CustomerUpdate> WriteCustomer(const Customer& c) {
    if (const QString tooLong = CustomerTooLong(c); !tooLong.isEmpty()) {
        return DbResult<CustomerUpdate>::failure(tooLong);
    }
    QVariantList values = {c.owner, c.telephone, c.entryDate, c.reminderDate, c.identity, c.model};
    if (!c.sex.isEmpty()) {
        values << c.sex;
    }
    values << c.key;
    const Recordset saved = RunSql(c.sex.isEmpty() ? kUpdateKeepingSex : kUpdate, values);
    if (saved.isNull()) {
        return DbResult<CustomerUpdate>::failure(saved.error());
    }
    if (saved.rowsAffected() == 0) {
        return CustomerUpdate::Gone;
    }
    return CustomerUpdate::Updated;
}

}  // namespace

std::optional<Customer> CustomerFromRow(const Recordset& row) {
    if (row.Eof()) {
        return std::nullopt;
    }
    Customer c;
    c.key = row.Text(QStringLiteral("kh_code"));
    c.plate = row.Text(QStringLiteral("kh_cph"));
    c.owner = row.Text(QStringLiteral("kh_czname"));
    c.sex = row.Text(QStringLiteral("kh_xb"));
    c.telephone = row.Text(QStringLiteral("kh_tele"));
    c.entryDate = ParseDateText(row.Text(QStringLiteral("kh_djdate")));
    c.reminderDate = ParseDateText(row.Text(QStringLiteral("kh_txdate")));
    c.identity = row.Text(QStringLiteral("kh_sfzh"));
    c.model = row.Text(QStringLiteral("kh_cx"));
    c.calledFlag = row.Text(QStringLiteral("kh_sfdgdh"));
    return c;
}

DbResult<std::optional<Customer>> FindCustomerByKey(const QString& key) {
    return FindOne(kByKey, key);
}

DbResult<std::optional<Customer>> FindCustomerByPlate(const QString& plate) {
    const QString normalized = NormalizedPlate(plate);
    Recordset rs = RunSql(kByPlate, {normalized, normalized, normalized});
    if (rs.isNull()) {
        return DbResult<std::optional<Customer>>::failure(rs.error());
    }
    std::optional<Customer> found = CustomerFromRow(rs);
    rs.Close();
    return found;
}

QString CustomerTooLong(const Customer& c) {
    const std::pair<TextField, const QString*> fields[] = {
        {TextField::Plate, &c.plate},       {TextField::Owner, &c.owner},
        {TextField::Sex, &c.sex},           {TextField::Telephone, &c.telephone},
        {TextField::Identity, &c.identity}, {TextField::Model, &c.model}};
    for (const auto& [field, text] : fields) {
        if (!FitsField(field, *text)) {
            return FieldTooLongText(field, *text);
        }
    }
    return {};
}

DbResult<CustomerAdd> AddCustomer(const Customer& c) {
    using Result = DbResult<CustomerAdd>;
    // Refused whole, never cut: a shortened name or number would be stored as if typed.
    if (const QString tooLong = CustomerTooLong(c); !tooLong.isEmpty()) {
        return Result::failure(tooLong);
    }
    const QString key = c.key.isEmpty() ? NewRecordKey() : c.key;
    const QString plate = NormalizedPlate(c.plate);
    // A writer from its start: on a server the check must not run before the lock is held.
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    const Recordset added =
        RunSql(kAddUnlessStored, {key, plate, c.owner, c.sex, c.telephone, c.entryDate,
                                  c.reminderDate, c.identity, c.model, plate, plate});
    if (added.isNull()) {
        return Result::failure(added.error());
    }
    if (added.rowsAffected() == 0) {
        return CustomerAdd::PlateTaken;
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    DataChanges::customersChanged();
    return CustomerAdd::Added;
}

DbResult<CustomerUpdate> UpdateCustomer(const Customer& c) {
    const DbResult<CustomerUpdate> updated = WriteCustomer(c);
    if (updated && *updated == CustomerUpdate::Updated) {
        DataChanges::customersChanged();
    }
    return updated;
}

DbResult<CustomerUpdate> UpdateCustomer(const Customer& c, const Customer& loaded) {
    using Result = DbResult<CustomerUpdate>;
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    const DbResult<std::optional<Customer>> stored = FindCustomerByKey(c.key);
    if (!stored) {
        return Result::failure(stored.error());
    }
    if (!*stored) {
        return CustomerUpdate::Gone;
    }
    if (!SameWrittenFields(**stored, loaded)) {
        return CustomerUpdate::ChangedElsewhere;
    }
    const DbResult<CustomerUpdate> updated = WriteCustomer(c);
    if (!updated || *updated != CustomerUpdate::Updated) {
        return updated;
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    DataChanges::customersChanged();
    return CustomerUpdate::Updated;
}

DbStatus RemoveCustomer(const QString& key) {
    const Recordset deleted = RunSql(QStringLiteral("delete from kh_table where kh_code=?"), {key});
    if (deleted.isNull()) {
        return DbStatus::failure(deleted.error());
    }
    return DbOk();
}
