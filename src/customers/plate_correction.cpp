#include "customers/plate_correction.h"

#include "core/clock.h"
#include "core/data_changes.h"
#include "core/field_limits.h"
#include "customers/plate_text.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "session/roles.h"

namespace {

using Result = DbResult<PlateCorrectionOutcome>;

// Every table that repeats a customer's plate, with the column that holds it.
struct PlateColumn {
    const char* table;
    const char* column;
};
constexpr PlateColumn kFollowers[] = {
    {"kh_wx_table", "kh_wx_cph"},
    {"kh_wx_mx_table", "kh_wx_mx_cph"},
    {"kh_tele_table", "kh_tele_cph"},
};

}  // namespace

DbResult<PlateCorrectionOutcome> CorrectPlate(const QString& customerKey, const QString& typed,
                                              const QString& by) {
    if (const QString refusal = RefusalFor(Guarded::CorrectPlate); !refusal.isEmpty()) {
        return PlateCorrectionOutcome{PlateCorrection::Refused, refusal, {}};
    }
    const QString plate = NormalizedPlate(typed);
    if (plate.isEmpty()) {
        return PlateCorrectionOutcome{PlateCorrection::Empty, {}, {}};
    }
    if (!FitsField(TextField::Plate, plate)) {
        return Result::failure(FieldTooLongText(TextField::Plate, plate));
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    Recordset customer =
        RunSql(QStringLiteral("select kh_cph from kh_table where kh_code = ?"), {customerKey});
    if (customer.isNull()) {
        return Result::failure(customer.error());
    }
    if (customer.Eof()) {
        return PlateCorrectionOutcome{PlateCorrection::Gone, {}, {}};
    }
    const QString old = customer.Text(0);
    customer.Close();
    if (old == plate) {
        return PlateCorrectionOutcome{PlateCorrection::Unchanged, {}, {}};
    }
    // Matched as every lookup matches a plate, so no two customers end up found by one plate.
    Recordset other =
        RunSql(QStringLiteral("select 1 from kh_table where (%1) and kh_code <> ? limit 1")
                   .arg(PlateMatches()),
               {plate, plate, customerKey});
    if (other.isNull()) {
        return Result::failure(other.error());
    }
    const bool taken = !other.Eof();
    other.Close();
    if (taken) {
        return PlateCorrectionOutcome{PlateCorrection::PlateTaken, {}, {}};
    }

    auto write = [](const QString& statement, const QVariantList& values) {
        const Recordset done = RunSql(statement, values);
        return done.isNull() ? done.error() : QString();
    };
    QString error = write(QStringLiteral("update kh_table set kh_cph = ? where kh_code = ?"),
                          {plate, customerKey});
    // The orders and calls a history shows for the old plate are the ones stored under it
    // exactly; they follow the customer.
    for (const PlateColumn& follower : kFollowers) {
        if (error.isEmpty()) {
            error = write(QStringLiteral("update %1 set %2 = ? where %2 = ?")
                              .arg(QLatin1String(follower.table), QLatin1String(follower.column)),
                          {plate, old});
        }
    }
    if (error.isEmpty()) {
        error = write(QStringLiteral("insert into kh_cph_gz_table (kh_cph_gz_code, kh_cph_gz_khdm, "
                                     "kh_cph_gz_old, kh_cph_gz_new, kh_cph_gz_czr, kh_cph_gz_sj) "
                                     "values (?, ?, ?, ?, ?, ?)"),
                      {NewRecordKey(), customerKey, old, plate, by,
                       Now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    }
    if (!error.isEmpty()) {
        return Result::failure(error);
    }
    if (const DbStatus committed = transaction.commit(); !committed) {
        return Result::failure(committed.error());
    }
    DataChanges::customersChanged();
    DataChanges::orderSaved(old);
    DataChanges::orderSaved(plate);
    return PlateCorrectionOutcome{PlateCorrection::Corrected, {}, plate};
}
