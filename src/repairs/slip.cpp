#include "repairs/slip.h"

#include "core/date_text.h"
#include "core/number_text.h"
#include "core/order_number_text.h"
#include "masterdata/shop_profile.h"

namespace {

const QString kTitleSuffix = QStringLiteral("汽车维修保养单");
const QString kNumberFormat = QStringLiteral("#########0.00");

}  // namespace

QString SlipTitleFor(const QString& shopName) {
    return shopName + kTitleSuffix;
}

void FillSlipShop(Slip& slip, QString* error) {
    if (error) {
        error->clear();
    }
    const DbResult<ShopProfile> shop = ReadShopProfile();
    if (!shop) {
        if (error) {
            *error = shop.error();
        }
        slip.title = SlipTitleFor(QString());
        slip.shopAddress.clear();
        slip.shopTelephone.clear();
        return;
    }
    slip.title = SlipTitleFor(ShopNameOnPaper(shop->name));
    slip.shopAddress = shop->address;
    slip.shopTelephone = shop->telephone;
}

QString SlipDateTime(const QDateTime& at) {
    return DateText(at.date()) + QLatin1Char(' ') + at.time().toString(QStringLiteral("HH:mm:ss"));
}

QString SlipNumber(const QString& text) {
    return text.trimmed().isEmpty() ? QString() : FormatAmount(LeadingNumber(text), kNumberFormat);
}

Slip SlipForOrder(const Order& order, const QString& total) {
    Slip slip;
    slip.orderNumber = OrderNumberText(order.number);
    slip.orderDate = DateText(order.date);
    slip.owner = order.owner;
    slip.plate = order.plate;
    slip.model = order.model;
    slip.telephone = order.telephone;
    slip.dateTime = DateText(order.date);
    slip.operatorName = order.operatorName;
    slip.technician = order.technician;
    slip.total = SlipNumber(total);
    slip.nextReminder = DateText(order.nextReminder);
    for (int i = 0; i < Slip::kLineCount && i < order.lines.size(); ++i) {
        const OrderLine& line = order.lines[i];
        slip.lines[i] = {line.item, line.description, FormatAmount(line.quantity, kNumberFormat),
                         FormatAmount(line.unitPrice, kNumberFormat),
                         FormatAmount(line.amount, kNumberFormat)};
    }
    return slip;
}
