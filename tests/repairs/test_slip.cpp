#include <QTest>
#include <memory>

#include "masterdata/shop_profile.h"
#include "repairs/slip.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

const QString kNoName = QStringLiteral("请在系统管理中填写店铺名称");

}  // namespace

class TestSlip : public RuleTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        RuleTest::init();
        TestDatabase::exec(QStringLiteral("delete from regedit_table"));
    }

    // The paper never carries a made-up name: until the shop has one, it says where to fill it in.
    void shopPartComesFromTheFirstShopRow_data() {
        QTest::addColumn<QStringList>("shops");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("address");
        QTest::newRow("no shop row") << QStringList() << kNoName + "汽车维修保养单"
                                     << "";
        QTest::newRow("a new shop, no name yet") << QStringList{""} << kNoName + "汽车维修保养单"
                                                 << "";
        QTest::newRow("blank name") << QStringList{"  "} << kNoName + "汽车维修保养单"
                                    << "人民路1号";
        QTest::newRow("one shop") << QStringList{"蓝天汽修厂"} << "蓝天汽修厂汽车维修保养单"
                                  << "人民路1号";
        QTest::newRow("first of two")
            << QStringList{"蓝天汽修厂", "长风车行"} << "蓝天汽修厂汽车维修保养单"
            << "人民路1号";
        QTest::newRow("quotes and percent kept")
            << QStringList{"老王's \"车\" 100%"} << "老王's \"车\" 100%汽车维修保养单"
            << "人民路1号";
    }
    void shopPartComesFromTheFirstShopRow() {
        QFETCH(QStringList, shops);
        QFETCH(QString, title);
        QFETCH(QString, address);
        for (const QString& shop : shops) {
            TestDatabase::exec(QStringLiteral("insert into regedit_table (re_name, re_address, "
                                              "re_tele) values (?, ?, ?)"),
                               {shop, address, shop.isEmpty() ? QString() : "0512-1234"});
        }
        Slip slip;
        QString error = QStringLiteral("stale");
        FillSlipShop(slip, &error);
        QVERIFY(error.isEmpty());
        QCOMPARE(slip.title, title);
        QCOMPARE(slip.shopAddress, shops.isEmpty() ? QString() : address);
        QCOMPARE(slip.shopTelephone,
                 shops.isEmpty() || shops.first().isEmpty() ? QString() : "0512-1234");
    }

    void failedReadGivesTheBareTitleAndTheReason() {
        TestDatabase::exec(QStringLiteral("drop table regedit_table"));
        Slip slip;
        slip.shopAddress = QStringLiteral("stale");
        QString error;
        FillSlipShop(slip, &error);
        QCOMPARE(slip.title, QStringLiteral("汽车维修保养单"));
        QCOMPARE(slip.shopAddress, QString());
        QVERIFY(!error.isEmpty());
    }

    // Every number of a column gets two decimals, so their points line up under each other.
    void numbersGetTwoDecimals_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("printed");
        QTest::newRow("whole") << "3"
                               << "3.00";
        QTest::newRow("one decimal") << "35.5"
                                     << "35.50";
        QTest::newRow("as shown") << "1234567.89"
                                  << "1234567.89";
        QTest::newRow("rounded half away") << "2.675"
                                           << "2.68";
        QTest::newRow("leading number") << "12元"
                                        << "12.00";
        QTest::newRow("not a number") << "abc"
                                      << "0.00";
        QTest::newRow("blank stays blank") << "  "
                                           << "";
    }
    void numbersGetTwoDecimals() {
        QFETCH(QString, typed);
        QFETCH(QString, printed);
        QCOMPARE(SlipNumber(typed), printed);
    }

    // A saved order printed again: its header fields, the number as people read it, two
    // decimals on every number.
    void slipOfASavedOrder() {
        Order order = TestDatabase::sampleOrder(QStringLiteral(" 202612060012"),
                                                QStringLiteral("苏E88A66"), 71);
        order.lines.append({QStringLiteral("补胎"), QStringLiteral("左后"), 2, 35.5, 71});
        const Slip slip = SlipForOrder(order, QStringLiteral("71"));
        QCOMPARE(slip.orderNumber, QStringLiteral("20261206-0012"));
        QCOMPARE(slip.orderDate, QStringLiteral("2026-12-06"));
        QCOMPARE(slip.dateTime, QStringLiteral("2026-12-06"));
        QCOMPARE(slip.plate, QStringLiteral("苏E88A66"));
        QCOMPARE(slip.owner, order.owner);
        QCOMPARE(slip.model, order.model);
        QCOMPARE(slip.telephone, order.telephone);
        QCOMPARE(slip.total, QStringLiteral("71.00"));
        QCOMPARE(slip.lines[0].quantity, QStringLiteral("2.00"));
        QCOMPARE(slip.lines[0].unitPrice, QStringLiteral("35.50"));
        QCOMPARE(slip.lines[0].amount, QStringLiteral("71.00"));
        QCOMPARE(slip.lines[1].item, QString());
    }

    void momentText() {
        QCOMPARE(SlipDateTime(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3))),
                 QStringLiteral("2026-12-06 09:05:03"));
    }
};

QTEST_GUILESS_MAIN(TestSlip)
#include "test_slip.moc"
