#include <QTest>

#include "repairs/order_history.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

QStringList Numbers(const QList<Order>& orders) {
    QStringList numbers;
    for (const Order& order : orders) {
        numbers << order.number;
    }
    return numbers;
}

}  // namespace

class TestOrderHistory : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    // Stored out of order on purpose: the history reads by date, then by number, and the
    // thousandth order of a day comes after the 999th although its text sorts before it.
    void ordersOfAPlateReadInTimeOrder() {
        const QString plate = QStringLiteral("京A12345");
        for (const char* number :
             {" 20261206002", " 20261206999", " 20261130001", " 202612061000", " 20261206001"}) {
            TestDatabase::addOrder(
                TestDatabase::sampleOrder(QString::fromLatin1(number), plate, 1));
        }
        // Saved later but dated earlier, as an order opened before midnight is.
        Order late = TestDatabase::sampleOrder(QStringLiteral(" 20261206003"), plate, 1);
        late.date = QDate(2026, 12, 5);
        TestDatabase::addOrder(late);

        const DbResult<QList<Order>> orders = OrdersOfPlate(plate);
        QVERIFY2(orders.ok(), qPrintable(orders.error()));
        QCOMPARE(Numbers(*orders), QStringList({" 20261130001", " 20261206003", " 20261206001",
                                                " 20261206002", " 20261206999", " 202612061000"}));
    }

    void headerFieldsReadBackAsStored() {
        Order stored = TestDatabase::sampleOrder(QStringLiteral(" 20261206001"),
                                                 QStringLiteral("京A'1%_\\"), 35.5);
        stored.owner = QStringLiteral("O'Neil \"老王\"");
        stored.lines = {{QStringLiteral("洗车"), QString(), 1, 30, 30}};
        TestDatabase::addOrder(stored);

        const DbResult<QList<Order>> orders = OrdersOfPlate(stored.plate);
        QVERIFY2(orders.ok(), qPrintable(orders.error()));
        QCOMPARE(orders->size(), 1);
        const Order& read = orders->first();
        QVERIFY(!read.key.isEmpty());
        QCOMPARE(read.number, stored.number);
        QCOMPARE(read.plate, stored.plate);
        QCOMPARE(read.owner, stored.owner);
        QCOMPARE(read.model, stored.model);
        QCOMPARE(read.telephone, stored.telephone);
        QCOMPARE(read.total, 35.5);
        QCOMPARE(read.operatorName, stored.operatorName);
        QCOMPARE(read.nextReminder, stored.nextReminder);
        QCOMPARE(read.date, QDate(2026, 12, 6));
        QCOMPARE(read.technician, stored.technician);
        // The history lists headers only.
        QVERIFY(read.lines.isEmpty());
    }

    // A plate matches only itself: no case folding, no trimming, no pattern characters.
    void onlyTheExactPlate_data() {
        QTest::addColumn<QString>("plate");
        QTest::newRow("quote") << QStringLiteral("京A'12345");
        QTest::newRow("lower case") << QStringLiteral("京a'12345");
        QTest::newRow("trailing blank") << QStringLiteral("京A'12345 ");
        QTest::newRow("percent") << QStringLiteral("%");
        QTest::newRow("underscore") << QStringLiteral("京A_12345");
    }
    void onlyTheExactPlate() {
        QFETCH(QString, plate);
        const QStringList plates = {QStringLiteral("京A'12345"),  QStringLiteral("京a'12345"),
                                    QStringLiteral("京A'12345 "), QStringLiteral("%"),
                                    QStringLiteral("京A_12345"),  QStringLiteral("京A'123456")};
        for (int i = 0; i < plates.size(); ++i) {
            TestDatabase::addOrder(TestDatabase::sampleOrder(
                QStringLiteral(" 2026120600%1").arg(i + 1), plates[i], i));
        }
        const DbResult<QList<Order>> orders = OrdersOfPlate(plate);
        QVERIFY2(orders.ok(), qPrintable(orders.error()));
        QCOMPARE(orders->size(), 1);
        QCOMPARE(orders->first().plate, plate);
        QCOMPARE(orders->first().total, double(plates.indexOf(plate)));
    }

    // Every order the program saves has a total; one that another tool left empty adds nothing.
    void unreadableTotalCountsAsZero_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<double>("total");
        QTest::newRow("empty") << QVariant(QStringLiteral("")) << 0.0;
        QTest::newRow("text") << QVariant(QStringLiteral("abc")) << 0.0;
        QTest::newRow("number") << QVariant(120.25) << 120.25;
    }
    void unreadableTotalCountsAsZero() {
        QFETCH(QVariant, stored);
        QFETCH(double, total);
        if (stored.typeId() == QMetaType::QString) {
            SKIP_ON_SERVER("the server keeps amounts as numbers only");
        }
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), QStringLiteral("京A1"), 9));
        TestDatabase::exec(QStringLiteral("update kh_wx_table set kh_wx_hj=?"), {stored});
        const DbResult<QList<Order>> orders = OrdersOfPlate(QStringLiteral("京A1"));
        QVERIFY2(orders.ok(), qPrintable(orders.error()));
        QCOMPARE(orders->size(), 1);
        QCOMPARE(orders->first().total, total);
    }

    // The lines of one order number, in the order they were saved, with the order's details as
    // its first line carries them.
    void linesOfAnOrder() {
        Order order =
            TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), QStringLiteral("京A1"), 999);
        order.lines = {{QStringLiteral("洗车"), QStringLiteral("外观"), 1, 30, 30},
                       {QStringLiteral("更换机油"), QStringLiteral("全合成 4 升"), 4, 68, 272},
                       {QStringLiteral("补胎"), QString(), 2, 35.5, 71}};
        TestDatabase::addOrder(order);
        Order other =
            TestDatabase::sampleOrder(QStringLiteral(" 2026120600"), QStringLiteral("京A2"), 1);
        other.lines = {{QStringLiteral("别的"), QString(), 1, 1, 1}};
        TestDatabase::addOrder(other);
        // The details as the lines carry them, even if the header was changed since.
        TestDatabase::exec(
            QStringLiteral("update kh_wx_table set kh_wx_czname='改过', "
                           "kh_wx_wxjs='改过'"));

        const DbResult<Order> read = OrderFromLines(order.number);
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read->number, order.number);
        QCOMPARE(read->plate, order.plate);
        QCOMPARE(read->owner, order.owner);
        QCOMPARE(read->model, order.model);
        QCOMPARE(read->telephone, order.telephone);
        QCOMPARE(read->operatorName, order.operatorName);
        QCOMPARE(read->date, order.date);
        QCOMPARE(read->technician, order.technician);
        QCOMPARE(read->total, 0.0);
        QCOMPARE(read->lines.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(read->lines[i].item, order.lines[i].item);
            QCOMPARE(read->lines[i].description, order.lines[i].description);
            QCOMPARE(read->lines[i].quantity, order.lines[i].quantity);
            QCOMPARE(read->lines[i].unitPrice, order.lines[i].unitPrice);
            QCOMPARE(read->lines[i].amount, order.lines[i].amount);
        }
    }

    void numbersWithoutLines_data() {
        QTest::addColumn<QString>("number");
        QTest::newRow("heading text") << QStringLiteral("单号");
        QTest::newRow("empty") << QString();
        QTest::newRow("without the leading blank") << QStringLiteral("20261206001");
        QTest::newRow("header only") << QStringLiteral(" 20261206002");
    }
    void numbersWithoutLines() {
        QFETCH(QString, number);
        Order order =
            TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), QStringLiteral("京A1"), 1);
        order.lines = {{QStringLiteral("洗车"), QString(), 1, 1, 1}};
        TestDatabase::addOrder(order);
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(QStringLiteral(" 20261206002"), QStringLiteral("京A1"), 1));
        const DbResult<Order> read = OrderFromLines(number);
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QVERIFY(read->lines.isEmpty());
    }

    void failedReadsSayWhy() {
        TestDatabase::exec(QStringLiteral("alter table kh_wx_table rename to gone"));
        TestDatabase::exec(QStringLiteral("alter table kh_wx_mx_table rename to gone_too"));
        const DbResult<QList<Order>> orders = OrdersOfPlate(QStringLiteral("京A1"));
        QVERIFY(!orders.ok());
        QVERIFY2(orders.error().contains(QStringLiteral("kh_wx_table")),
                 qPrintable(orders.error()));
        const DbResult<Order> lines = OrderFromLines(QStringLiteral(" 20261206001"));
        QVERIFY(!lines.ok());
        QVERIFY2(lines.error().contains(QStringLiteral("kh_wx_mx_table")),
                 qPrintable(lines.error()));
    }
};

QTEST_MAIN(TestOrderHistory)
#include "test_order_history.moc"
