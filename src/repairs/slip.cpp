#include "repairs/slip.h"

#include "core/date_text.h"
#include "data/run_sql.h"

namespace {

const QString kTitleSuffix = QStringLiteral("汽车维修保养单");

}  // namespace

QString SlipTitleFor(const QString& shopName) {
    return shopName + kTitleSuffix;
}

QString ReadSlipTitle(QString* error) {
    if (error) {
        error->clear();
    }
    Recordset shop =
        RunSql(QStringLiteral("select re_name from regedit_table order by rowid limit 1"));
    if (shop.isNull()) {
        if (error) {
            *error = shop.error();
        }
        return SlipTitleFor(QString());
    }
    const QString name = shop.Eof() ? QString() : shop.Text(QStringLiteral("re_name"));
    shop.Close();
    return SlipTitleFor(name);
}

QString SlipOrderNumber(const QString& datePart, const QString& sequence) {
    return datePart + QLatin1Char('-') + sequence;
}

QString SlipDateTime(const QDateTime& at) {
    return DateText(at.date()) + QLatin1Char(' ') + at.time().toString(QStringLiteral("HH:mm:ss"));
}
