#include <QTest>
#include <memory>

#include "repairs/slip.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

class TestSlip : public RuleTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        RuleTest::init();
        TestDatabase::exec(QStringLiteral("delete from regedit_table"));
    }

    void titleComesFromTheFirstShopRow_data() {
        QTest::addColumn<QStringList>("shops");
        QTest::addColumn<QString>("title");
        QTest::newRow("no shop row") << QStringList() << "汽车维修保养单";
        QTest::newRow("one shop") << QStringList{"蓝天汽修厂"} << "蓝天汽修厂汽车维修保养单";
        QTest::newRow("first of two")
            << QStringList{"蓝天汽修厂", "长风车行"} << "蓝天汽修厂汽车维修保养单";
        QTest::newRow("empty name") << QStringList{""} << "汽车维修保养单";
        QTest::newRow("quotes and percent kept")
            << QStringList{"老王's \"车\" 100%"} << "老王's \"车\" 100%汽车维修保养单";
    }
    void titleComesFromTheFirstShopRow() {
        QFETCH(QStringList, shops);
        QFETCH(QString, title);
        for (const QString& shop : shops) {
            TestDatabase::exec(QStringLiteral("insert into regedit_table (re_name) values (?)"),
                               {shop});
        }
        QString error = QStringLiteral("stale");
        QCOMPARE(ReadSlipTitle(&error), title);
        QVERIFY(error.isEmpty());
    }

    void failedReadGivesTheBareTitleAndTheReason() {
        TestDatabase::exec(QStringLiteral("drop table regedit_table"));
        QString error;
        QCOMPARE(ReadSlipTitle(&error), QStringLiteral("汽车维修保养单"));
        QVERIFY(!error.isEmpty());
    }

    void orderNumberAndMomentTexts() {
        // The date part keeps the leading space the order number is stored with.
        QCOMPARE(SlipOrderNumber(QStringLiteral(" 20261206"), QStringLiteral("001")),
                 QStringLiteral(" 20261206-001"));
        QCOMPARE(SlipDateTime(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3))),
                 QStringLiteral("2026-12-06 09:05:03"));
    }
};

QTEST_GUILESS_MAIN(TestSlip)
#include "test_slip.moc"
