#include <QTest>

#include "customers/plate_correction.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

const QString kOld = QStringLiteral("京A12345");

// Customer {C1} with two orders (one line each) and a call under the old plate; {C2} with one of
// each under a plate of its own.
void StoreTwoCustomers() {
    TestDatabase::addCustomer(
        TestDatabase::sampleCustomer(QStringLiteral("{C1}"), kOld, QStringLiteral("张三")));
    TestDatabase::addCustomer(TestDatabase::sampleCustomer(
        QStringLiteral("{C2}"), QStringLiteral("沪B·66666"), QStringLiteral("李四")));
    int serial = 0;
    for (const QString& plate : {kOld, kOld, QStringLiteral("沪B·66666")}) {
        Order order =
            TestDatabase::sampleOrder(QStringLiteral(" 2026120600%1").arg(++serial), plate, 10);
        order.lines = {{QStringLiteral("洗车"), QString(), 1, 10, 10}};
        TestDatabase::addOrder(order);
        TestDatabase::exec(QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, "
                                          "kh_tele_txnr) values (?, ?, '回访')"),
                           {QStringLiteral("{T%1}").arg(serial), plate});
    }
}

QString PlatesOf(const QString& table, const QString& column) {
    return TestDatabase::rowsText(
        QStringLiteral("select %1, count(*) from %2 group by %1 order by %1").arg(column, table));
}

}  // namespace

class TestPlateCorrection : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    // The customer, its orders, their lines and its calls take the new plate, stored as every
    // plate is stored; the other customer's keep theirs, and the change is recorded.
    void plateFollowsEverywhere() {
        StoreTwoCustomers();
        const DbResult<PlateCorrectionOutcome> done = CorrectPlate(
            QStringLiteral("{C1}"), QStringLiteral(" 京a·54321 "), QStringLiteral("王五"));
        QVERIFY2(done.ok(), qPrintable(done.error()));
        QCOMPARE(done->outcome, PlateCorrection::Corrected);
        QCOMPARE(done->plate, QStringLiteral("京A54321"));

        QCOMPARE(PlatesOf(QStringLiteral("kh_table"), QStringLiteral("kh_cph")),
                 QStringLiteral("京A54321|1;沪B·66666|1"));
        QCOMPARE(PlatesOf(QStringLiteral("kh_wx_table"), QStringLiteral("kh_wx_cph")),
                 QStringLiteral("京A54321|2;沪B·66666|1"));
        QCOMPARE(PlatesOf(QStringLiteral("kh_wx_mx_table"), QStringLiteral("kh_wx_mx_cph")),
                 QStringLiteral("京A54321|2;沪B·66666|1"));
        QCOMPARE(PlatesOf(QStringLiteral("kh_tele_table"), QStringLiteral("kh_tele_cph")),
                 QStringLiteral("京A54321|2;沪B·66666|1"));
        QCOMPARE(TestDatabase::rowsText(QStringLiteral(
                     "select kh_cph_gz_khdm, kh_cph_gz_old, kh_cph_gz_new, kh_cph_gz_czr, "
                     "length(kh_cph_gz_sj) from kh_cph_gz_table")),
                 QStringLiteral("{C1}|京A12345|京A54321|王五|19"));
    }

    // Refused corrections write nothing at all.
    void refusals_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<PlateCorrection>("expected");
        // However the other customer's plate is typed, it is that customer's.
        QTest::newRow("another customer's plate")
            << "{C1}" << QStringLiteral("沪b66666") << PlateCorrection::PlateTaken;
        QTest::newRow("another customer's plate, spaced")
            << "{C1}" << QStringLiteral("沪B 66666") << PlateCorrection::PlateTaken;
        QTest::newRow("nothing typed") << "{C1}" << QStringLiteral(" · ") << PlateCorrection::Empty;
        QTest::newRow("the same plate")
            << "{C1}" << QStringLiteral("京A 12345") << PlateCorrection::Unchanged;
        QTest::newRow("customer deleted")
            << "{C9}" << QStringLiteral("京A1") << PlateCorrection::Gone;
    }
    void refusals() {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(PlateCorrection, expected);
        StoreTwoCustomers();
        const auto everything = [] {
            return PlatesOf(QStringLiteral("kh_table"), QStringLiteral("kh_cph")) +
                   PlatesOf(QStringLiteral("kh_wx_table"), QStringLiteral("kh_wx_cph")) +
                   PlatesOf(QStringLiteral("kh_tele_table"), QStringLiteral("kh_tele_cph")) +
                   PlatesOf(QStringLiteral("kh_cph_gz_table"), QStringLiteral("kh_cph_gz_new"));
        };
        const QString before = everything();
        const DbResult<PlateCorrectionOutcome> done =
            CorrectPlate(key, typed, QStringLiteral("王五"));
        QVERIFY2(done.ok(), qPrintable(done.error()));
        QCOMPARE(done->outcome, expected);
        QCOMPARE(everything(), before);
    }

    // One transaction: a call the database refuses to move leaves every plate as it was.
    void aFailedCorrectionKeepsEveryPlate() {
        StoreTwoCustomers();
        TestDatabase::refuse(QStringLiteral("update on kh_tele_table"), QString(),
                             QStringLiteral("磁盘已满"));
        const DbResult<PlateCorrectionOutcome> done = CorrectPlate(
            QStringLiteral("{C1}"), QStringLiteral("京A54321"), QStringLiteral("王五"));
        QVERIFY(!done.ok());
        QCOMPARE(PlatesOf(QStringLiteral("kh_table"), QStringLiteral("kh_cph")),
                 QStringLiteral("京A12345|1;沪B·66666|1"));
        QCOMPARE(PlatesOf(QStringLiteral("kh_wx_table"), QStringLiteral("kh_wx_cph")),
                 QStringLiteral("京A12345|2;沪B·66666|1"));
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select count(*) from kh_cph_gz_table")).toInt(),
            0);
    }
};

QTEST_GUILESS_MAIN(TestPlateCorrection)
#include "test_plate_correction.moc"
