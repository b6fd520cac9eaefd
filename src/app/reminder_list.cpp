#include "app/reminder_list.h"

#include "core/date_text.h"
#include "customers/plate_text.h"
#include "data/run_sql.h"

QString ReminderModeText(ReminderMode mode) {
    switch (mode) {
        case ReminderMode::All:
            return QStringLiteral("全部显示");
        case ReminderMode::Called:
            return QStringLiteral("显示已打过电话");
        case ReminderMode::NotCalled:
            return QStringLiteral("显示未打过电话");
    }
    return {};
}

std::optional<ReminderMode> ReminderModeFromText(const QString& text) {
    for (ReminderMode mode : {ReminderMode::All, ReminderMode::Called, ReminderMode::NotCalled}) {
        if (text == ReminderModeText(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

namespace {

// CountsAsCalled in the engine's words: the calls of a plate are found through their index.
const QString kCalled = QStringLiteral(
    "(case when kh_sfdgdh = '1' and exists (select 1 from kh_tele_table where kh_tele_cph = "
    "kh_cph and kh_tele_date >= kh_txdate) then '1' else '0' end)");

// The row id comes first: a list read a page at a time finds its rows again by it.
QString ListSelect() {
    return QStringLiteral(
               "select kh_table.rowid as list_key, kh_code, kh_cph, kh_czname, kh_xb, kh_tele, "
               "kh_djdate, kh_txdate, kh_sfzh, kh_cx, %1 as kh_sfdgdh from kh_table ")
        .arg(kCalled);
}

}  // namespace

ListQuery ReminderListQuery(ReminderMode mode, const QDate& from, const QDate& to) {
    // Dates are stored as yyyy-MM-dd text, so comparing the column itself is the same as
    // comparing its text, and lets the engine use the reminder-date index.
    ListQuery query{ListSelect() + QStringLiteral("where kh_txdate >= ? and kh_txdate <= ?"),
                    {DateText(from), DateText(to)}};
    if (mode != ReminderMode::All) {
        query.text += QStringLiteral(" and ") + kCalled + QStringLiteral(" = ?");
        query.params << (mode == ReminderMode::Called ? QStringLiteral("1") : QStringLiteral("0"));
    }
    return query;
}

ListQuery SearchQuery(const QString& text) {
    // A plate and a telephone are found however they were typed, on either side; a name as typed.
    const QString plate = NormalizedPlate(text);
    const QString telephone = TelephoneDigits(text);
    const QString pattern = ContainsPattern(text);
    return {ListSelect() + QStringLiteral("where %1 like ? escape '\\' or kh_czname like ? "
                                          "escape '\\' or %2 like ? escape '\\'")
                               .arg(PlateKeySql(QStringLiteral("kh_cph")),
                                    TelephoneDigitsSql(QStringLiteral("kh_tele"))),
            {plate.isEmpty() ? pattern : ContainsPattern(plate), pattern,
             telephone.isEmpty() ? pattern : ContainsPattern(telephone)}};
}

const QStringList& ListFields() {
    static const QStringList fields = {QStringLiteral("kh_code"),   QStringLiteral("kh_cph"),
                                       QStringLiteral("kh_czname"), QStringLiteral("kh_xb"),
                                       QStringLiteral("kh_tele"),   QStringLiteral("kh_djdate"),
                                       QStringLiteral("kh_txdate"), QStringLiteral("kh_sfzh"),
                                       QStringLiteral("kh_cx"),     QStringLiteral("kh_sfdgdh")};
    return fields;
}

ListQuery ListKeysQuery(const ListQuery& query) {
    // The engine drops the columns nobody reads, the called mark's lookup among them.
    return {QStringLiteral("select list_key from (") + query.text + QStringLiteral(") as listed"),
            query.params};
}

ListQuery ListRowsByKeys(const std::vector<qint64>& keys) {
    ListQuery query{ListSelect() + QStringLiteral("where kh_table.rowid in ("), {}};
    for (size_t i = 0; i < keys.size(); ++i) {
        query.text += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
        query.params << keys[i];
    }
    query.text += QLatin1Char(')');
    return query;
}

Recordset OpenReminderList(ReminderMode mode, const QDate& from, const QDate& to) {
    const ListQuery query = ReminderListQuery(mode, from, to);
    return RunSql(query.text, query.params);
}

Recordset SearchCustomers(const QString& text) {
    const ListQuery query = SearchQuery(text);
    return RunSql(query.text, query.params);
}

namespace {

const QString kOverdue = QStringLiteral("where kh_txdate < ? and kh_txdate <> '' and ") + kCalled +
                         QStringLiteral(" = '0'");

}  // namespace

ListQuery OverdueListQuery(const QDate& day) {
    return {ListSelect() + kOverdue + QStringLiteral(" order by kh_txdate, kh_cph"),
            {DateText(day)}};
}

Recordset OpenOverdueList(const QDate& day) {
    const ListQuery query = OverdueListQuery(day);
    return RunSql(query.text, query.params);
}

DbResult<qint64> CountOverdue(const QDate& day) {
    const DbResult<QStringList> count =
        ColumnTexts(QStringLiteral("select count(*) from kh_table ") + kOverdue, {DateText(day)});
    if (!count) {
        return DbResult<qint64>::failure(count.error());
    }
    return count->value(0).toLongLong();
}
