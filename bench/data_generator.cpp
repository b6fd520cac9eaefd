#include "data_generator.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "data/database.h"
#include "data/record_key.h"
#include "data/transaction.h"

namespace {

const QStringList kSurnames = {
    QStringLiteral("王"), QStringLiteral("李"), QStringLiteral("张"), QStringLiteral("刘"),
    QStringLiteral("陈"), QStringLiteral("杨"), QStringLiteral("赵"), QStringLiteral("黄"),
    QStringLiteral("周"), QStringLiteral("吴"), QStringLiteral("徐"), QStringLiteral("孙"),
    QStringLiteral("胡"), QStringLiteral("朱"), QStringLiteral("高"), QStringLiteral("欧阳")};
const QStringList kGiven = {
    QStringLiteral("伟"), QStringLiteral("芳"), QStringLiteral("娜"), QStringLiteral("秀英"),
    QStringLiteral("敏"), QStringLiteral("静"), QStringLiteral("强"), QStringLiteral("磊"),
    QStringLiteral("军"), QStringLiteral("洋"), QStringLiteral("勇"), QStringLiteral("艳"),
    QStringLiteral("杰"), QStringLiteral("涛"), QStringLiteral("明"), QStringLiteral("超")};
const QStringList kRegions = {QStringLiteral("京A"), QStringLiteral("京B"), QStringLiteral("京N"),
                              QStringLiteral("津C"), QStringLiteral("冀F"), QStringLiteral("沪A"),
                              QStringLiteral("粤B"), QStringLiteral("浙A")};
const QStringList kModels = {QStringLiteral("桑塔纳"),  QStringLiteral("捷达"),
                             QStringLiteral("卡罗拉"),  QStringLiteral("雅阁"),
                             QStringLiteral("帕萨特"),  QStringLiteral("轩逸"),
                             QStringLiteral("宝马3系"), QStringLiteral("哈弗H6")};
const QStringList kItems = {QStringLiteral("更换机油"),  QStringLiteral("更换机滤"),
                            QStringLiteral("四轮定位"),  QStringLiteral("更换刹车片"),
                            QStringLiteral("空调清洗"),  QStringLiteral("轮胎换位"),
                            QStringLiteral("更换火花塞")};
const QStringList kTechnicians = {QStringLiteral("刘师傅"), QStringLiteral("马师傅"),
                                  QStringLiteral("钱师傅")};
const QString kPlateChars = QStringLiteral("ABCDEFGHJKLMNPQRSTUVWXYZ0123456789");

template <class List>
const auto& Pick(QRandomGenerator& rng, const List& list) {
    return list.at(int(rng.bounded(quint32(list.size()))));
}

QString Plate(QRandomGenerator& rng, int serial) {
    // Unique by construction: the serial is spelled in the plate's last characters.
    QString tail = QString::number(serial, 36).toUpper().rightJustified(4, QLatin1Char('0'));
    return Pick(rng, kRegions) + kPlateChars.at(int(rng.bounded(24u))) + tail;
}

QString Phone(QRandomGenerator& rng) {
    return QStringLiteral("1%1%2")
        .arg(3 + rng.bounded(7))
        .arg(rng.bounded(1000000000u), 9, 10, QLatin1Char('0'));
}

QString DateBetween(QRandomGenerator& rng, const QDate& from, const QDate& to) {
    const qint64 span = from.daysTo(to) + 1;
    return from.addDays(qint64(rng.bounded(quint64(span)))).toString(Qt::ISODate);
}

bool Run(QSqlQuery& query) {
    if (!query.exec()) {
        qWarning("generator: %s", qPrintable(query.lastError().text()));
        return false;
    }
    return true;
}

}  // namespace

bool GenerateShop(const ShopSize& size, unsigned seed) {
    QRandomGenerator rng(seed);
    Transaction transaction;
    if (!transaction.isActive()) {
        qWarning("generator: cannot begin a transaction");
        return false;
    }
    QSqlDatabase db = Database::Connection();

    QSqlQuery customer(db);
    customer.prepare(QStringLiteral("insert into kh_table values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QStringList plates;
    plates.reserve(size.customers);
    for (int i = 0; i < size.customers; ++i) {
        const QString plate = Plate(rng, i);
        plates << plate;
        customer.addBindValue(NewRecordKey());
        customer.addBindValue(plate);
        customer.addBindValue(Pick(rng, kSurnames) + Pick(rng, kGiven));
        customer.addBindValue(rng.bounded(2) ? QStringLiteral("先生") : QStringLiteral("女士"));
        customer.addBindValue(Phone(rng));
        customer.addBindValue(DateBetween(rng, QDate(2015, 1, 1), QDate(2026, 12, 1)));
        customer.addBindValue(DateBetween(rng, size.reminderFrom, size.reminderTo));
        customer.addBindValue(
            QStringLiteral("11010519%1").arg(rng.bounded(100000000u), 10, 10, QLatin1Char('0')));
        customer.addBindValue(Pick(rng, kModels));
        customer.addBindValue(rng.bounded(3) ? QStringLiteral("0") : QStringLiteral("1"));
        if (!Run(customer)) {
            return false;
        }
    }

    QSqlQuery order(db);
    order.prepare(
        QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, "
                       "kh_wx_cx, kh_wx_tele, kh_wx_hj, kh_wx_czr, kh_wx_txdate, kh_wx_date, "
                       "kh_wx_wxjs) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery line(db);
    line.prepare(QStringLiteral(
        "insert into kh_wx_mx_table (kh_wx_mx_code, kh_wx_mx_dh, kh_wx_mx_cph, kh_wx_mx_czname, "
        "kh_wx_mx_cx, kh_wx_mx_tele, kh_wx_mx_czr, kh_wx_mx_date, kh_wx_mx_wxjs, kh_wx_mx_xm, "
        "kh_wx_mx_xmsm, kh_wx_mx_sl, kh_wx_mx_dj, kh_wx_mx_hj) "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const bool spread = size.ordersFrom.isValid() && size.ordersTo.isValid();
    QDate day = spread ? size.ordersFrom : QDate(2020, 1, 1);
    int sequence = 0;
    const qint64 days = spread ? size.ordersFrom.daysTo(size.ordersTo) + 1 : 1;
    const int perDay = spread ? int((size.orders + days - 1) / days) : 20;
    for (int i = 0; i < size.orders && !plates.isEmpty(); ++i) {
        if (++sequence > perDay) {
            sequence = 1;
            day = day.addDays(1);
        }
        const QString number = QLatin1Char(' ') + day.toString(QStringLiteral("yyyyMMdd")) +
                               QStringLiteral("%1").arg(sequence, 3, 10, QLatin1Char('0'));
        const QString plate = Pick(rng, plates);
        const QString owner = Pick(rng, kSurnames) + Pick(rng, kGiven);
        const QString model = Pick(rng, kModels);
        const QString phone = Phone(rng);
        const QString technician = Pick(rng, kTechnicians);
        const QString date = day.toString(Qt::ISODate);
        double total = 0;
        const int lines = 1 + int(rng.bounded(quint32(std::max(size.maxLines, 1))));
        for (int l = 0; l < lines; ++l) {
            const double quantity = 1 + rng.bounded(4u);
            const double price = double(rng.bounded(50000u)) / 100.0;
            total += quantity * price;
            for (const QVariant& v :
                 {QVariant(NewRecordKey()), QVariant(number), QVariant(plate), QVariant(owner),
                  QVariant(model), QVariant(phone), QVariant(QStringLiteral("管理员")),
                  QVariant(date), QVariant(technician), QVariant(Pick(rng, kItems)),
                  QVariant(QString()), QVariant(quantity), QVariant(price),
                  QVariant(quantity * price)}) {
                line.addBindValue(v.typeId() == QMetaType::QString && v.toString().isNull()
                                      ? QVariant(QLatin1String(""))
                                      : v);
            }
            if (!Run(line)) {
                return false;
            }
        }
        for (const QVariant& v :
             {QVariant(NewRecordKey()), QVariant(number), QVariant(plate), QVariant(owner),
              QVariant(model), QVariant(phone), QVariant(total), QVariant(QStringLiteral("管理员")),
              QVariant(date), QVariant(date), QVariant(technician)}) {
            order.addBindValue(v);
        }
        if (!Run(order)) {
            return false;
        }
    }
    if (!transaction.commit()) {
        qWarning("generator: cannot commit");
        return false;
    }
    return true;
}

void OpenShop(const QString& dir) {
    const Database::OpenResult opened = Database::Open(dir);
    if (!opened.ok) {
        qFatal("cannot open the shop in %s: %s", qPrintable(dir), qPrintable(opened.message));
    }
}

QString MakeShop(const QString& root, int customers, int orders, int maxLines) {
    const QString dir = root + QStringLiteral("/shop%1-%2").arg(customers).arg(orders);
    OpenShop(dir);
    ShopSize size;
    size.customers = customers;
    size.orders = orders < 0 ? customers / 10 : orders;
    size.maxLines = maxLines;
    if (!GenerateShop(size)) {
        qFatal("cannot generate the shop in %s", qPrintable(dir));  // the generator says why
    }
    Database::Close();
    return dir;
}
