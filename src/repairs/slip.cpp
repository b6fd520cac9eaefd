#include "repairs/slip.h"

#include "core/date_text.h"
#include "core/number_text.h"
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

Slip SlipForOrder(const Order& order, const QString& title, const QString& total) {
    const QString lineFormat = QStringLiteral("#######0.00");
    const QString amountFormat = QStringLiteral("########0.00");
    // The stored number is the date part (with its leading space) followed by the sequence.
    constexpr int kDatePartLength = 9;
    Slip slip;
    slip.title = title;
    slip.orderNumber =
        SlipOrderNumber(order.number.left(kDatePartLength), order.number.mid(kDatePartLength));
    slip.owner = order.owner;
    slip.dateTime = DateText(order.date);
    slip.operatorName = order.operatorName;
    slip.technician = order.technician;
    slip.total = total;
    for (int i = 0; i < Slip::kLineCount && i < order.lines.size(); ++i) {
        const OrderLine& line = order.lines[i];
        slip.lines[i] = {line.item, line.description, FormatAmount(line.quantity, lineFormat),
                         FormatAmount(line.unitPrice, amountFormat),
                         FormatAmount(line.amount, amountFormat)};
    }
    return slip;
}
