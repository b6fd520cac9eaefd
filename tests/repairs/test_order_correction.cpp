#include <QTest>

#include "core/date_text.h"
#include "repairs/order_correction.h"
#include "repairs/order_entry.h"
#include "repairs/order_history.h"
#include "reports/statistics.h"
#include "reports/technician_summary.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

const QString kPlate = QStringLiteral("京A12345");
const QString kFirst = QStringLiteral(" 20261206001");
const QString kSecond = QStringLiteral(" 20261206002");

// Two orders of one customer, saved as the order window saves them.
void SaveTwoOrders() {
    TestDatabase::addCustomer(
        TestDatabase::sampleCustomer(QStringLiteral("{C1}"), kPlate, QStringLiteral("张三")));
    Order first = TestDatabase::sampleOrder(kFirst, kPlate, 155.5);
    first.nextReminder = QDate(2027, 3, 6);
    first.lines = {{QStringLiteral("更换机油"), QStringLiteral("全合成"), 1, 120, 120},
                   {QStringLiteral("机滤"), QString(), 1, 35.5, 35.5}};
    Order second = TestDatabase::sampleOrder(kSecond, kPlate, 80);
    second.technician = QStringLiteral("王师傅");
    second.lines = {{QStringLiteral("洗车"), QString(), 2, 40, 80}};
    for (const Order& order : {first, second}) {
        const DbResult<OrderSave> saved = SaveOrder(order);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(*saved, OrderSave::Saved);
    }
}

Order Stored(const QString& number) {
    const DbResult<std::optional<Order>> found = FindOrder(number);
    if (!found || !*found) {
        qWarning("order %s not found: %s", qPrintable(number), qPrintable(found.error()));
        return {};
    }
    return **found;
}

OrderChange Correct(const Order& order) {
    const DbResult<OrderChangeOutcome> done = CorrectOrder(order, QStringLiteral("李四"));
    if (!done) {
        qWarning("%s", qPrintable(done.error()));
        return OrderChange::Refused;
    }
    return done->outcome;
}

OrderChange Void(const QString& number, int revision, const QString& reason) {
    const DbResult<OrderChangeOutcome> done =
        VoidOrder(number, revision, reason, QStringLiteral("李四"));
    if (!done) {
        qWarning("%s", qPrintable(done.error()));
        return OrderChange::Refused;
    }
    return done->outcome;
}

// The first order with its price corrected and its second line taken out.
Order CorrectedFirst() {
    Order order = Stored(kFirst);
    order.lines = {{QStringLiteral("更换机油"), QStringLiteral("全合成"), 1, 100, 100}};
    order.total = 100;
    return order;
}

StatisticsFilter Day() {
    StatisticsFilter filter;
    filter.from = filter.to = QDate(2026, 12, 6);
    return filter;
}

QString Totals(StatisticsKind kind) {
    const DbResult<StatisticsResult> result = RunStatistics(DescribeStatistics(kind), Day());
    if (!result) {
        return result.error();
    }
    return QStringLiteral("%1 rows %2").arg(result->summary.rows).arg(result->summary.totalText());
}

QString Technicians() {
    const DbResult<TechnicianSummary> summary = ReadTechnicianSummary(Day());
    if (!summary) {
        return summary.error();
    }
    QStringList parts;
    for (const TechnicianTotal& total : summary->technicians) {
        parts << QStringLiteral("%1:%2:%3")
                     .arg(total.technician)
                     .arg(total.orders)
                     .arg(CentsText(total.cents));
    }
    return parts.join(QLatin1Char(' '));
}

}  // namespace

class TestOrderCorrection : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    // A correction replaces header and lines under the same key, number, date and operator,
    // keeps the version it replaced with who and when, and every total counts the new version.
    void correctionKeepsTheEarlierVersion() {
        SaveTwoOrders();
        const Order before = Stored(kFirst);
        Order corrected = CorrectedFirst();
        corrected.owner = QStringLiteral("张三丰");
        corrected.operatorName = QStringLiteral("别人");
        QCOMPARE(Correct(corrected), OrderChange::Changed);

        const Order after = Stored(kFirst);
        QCOMPARE(after.key, before.key);
        QCOMPARE(after.date, before.date);
        QCOMPARE(after.operatorName, before.operatorName);
        QCOMPARE(after.owner, QStringLiteral("张三丰"));
        QCOMPARE(after.total, 100.0);
        QCOMPARE(after.revision, before.revision + 1);
        QCOMPARE(after.lines.size(), 1);
        QCOMPARE(TestDatabase::rowsText(
                     QStringLiteral(
                         "select kh_wx_mx_czname, kh_wx_mx_czr, kh_wx_mx_date, kh_wx_mx_hj from "
                         "kh_wx_mx_table where kh_wx_mx_dh = ?"),
                     {kFirst}),
                 QStringLiteral("张三丰|管理员|2026-12-06|100"));

        const DbResult<QList<OrderVersion>> versions = EarlierVersions(kFirst);
        QVERIFY2(versions.ok(), qPrintable(versions.error()));
        QCOMPARE(versions->size(), 1);
        const OrderVersion& earlier = versions->first();
        QCOMPARE(earlier.changedBy, QStringLiteral("李四"));
        QVERIFY(!earlier.changedAt.isEmpty());
        QCOMPARE(earlier.order.revision, before.revision);
        QCOMPARE(earlier.order.owner, QStringLiteral("张三"));
        QCOMPARE(earlier.order.total, 155.5);
        QCOMPARE(earlier.order.lines.size(), 2);
        QCOMPARE(earlier.order.lines[1].item, QStringLiteral("机滤"));
        QCOMPARE(earlier.order.lines[1].amount, 35.5);

        QCOMPARE(Totals(StatisticsKind::Turnover), QStringLiteral("2 rows 180.00"));
        QCOMPARE(Totals(StatisticsKind::ItemDetail), QStringLiteral("2 rows 180.00"));
        // A second correction keeps both earlier versions, oldest first.
        Order again = Stored(kFirst);
        again.total = 90;
        QCOMPARE(Correct(again), OrderChange::Changed);
        const DbResult<QList<OrderVersion>> both = EarlierVersions(kFirst);
        QVERIFY2(both.ok(), qPrintable(both.error()));
        QCOMPARE(both->size(), 2);
        QCOMPARE(both->at(0).order.total, 155.5);
        QCOMPARE(both->at(1).order.total, 100.0);
    }

    // A void marks the order and its lines; nothing is deleted, and every list of business
    // leaves it out while the history still lists it with who, when and why.
    void voidLeavesTheOrderOutOfEveryTotal() {
        SaveTwoOrders();
        QCOMPARE(Technicians(), QStringLiteral("李师傅:1:155.50 王师傅:1:80.00"));
        const Order second = Stored(kSecond);
        QCOMPARE(Void(kSecond, second.revision, QStringLiteral("  重复录入  ")),
                 OrderChange::Changed);

        QCOMPARE(Totals(StatisticsKind::Turnover), QStringLiteral("1 rows 155.50"));
        QCOMPARE(Totals(StatisticsKind::ItemDetail), QStringLiteral("2 rows 155.50"));
        QCOMPARE(Technicians(), QStringLiteral("李师傅:1:155.50"));
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_mx_table")).toInt(), 3);

        const DbResult<QList<Order>> history = OrdersOfPlate(kPlate);
        QVERIFY2(history.ok(), qPrintable(history.error()));
        QCOMPARE(history->size(), 2);
        const Order& voided = history->at(1);
        QVERIFY(voided.voided);
        QVERIFY(!history->at(0).voided);
        QCOMPARE(voided.voidReason, QStringLiteral("重复录入"));
        QCOMPARE(voided.voidedBy, QStringLiteral("李四"));
        QVERIFY(!voided.voidedAt.isEmpty());
    }

    // The reminder date an order moved stays where it is when the order is voided; a
    // correction that changes the order's reminder date moves the customer's, as a new order
    // does, and one that leaves it alone leaves the customer's alone.
    void reminderDates() {
        SaveTwoOrders();
        const auto reminder = [] {
            return TestDatabase::scalar(
                       QStringLiteral("select kh_txdate from kh_table where kh_code = '{C1}'"))
                .toString();
        };
        const QString moved = reminder();
        QCOMPARE(moved, DateText(Stored(kSecond).nextReminder));
        QCOMPARE(Void(kSecond, Stored(kSecond).revision, QStringLiteral("录错")),
                 OrderChange::Changed);
        QCOMPARE(reminder(), moved);

        TestDatabase::exec(QStringLiteral("update kh_table set kh_txdate = '2027-09-01'"));
        QCOMPARE(Correct(CorrectedFirst()), OrderChange::Changed);
        QCOMPARE(reminder(), QStringLiteral("2027-09-01"));
        Order later = Stored(kFirst);
        later.nextReminder = QDate(2027, 6, 1);
        QCOMPARE(Correct(later), OrderChange::Changed);
        QCOMPARE(reminder(), QStringLiteral("2027-06-01"));
    }

    // What a correction or a void finds changed since the order was read is refused, and the
    // refused change writes nothing.
    void refusals_data() {
        QTest::addColumn<int>("change");  // 0 correction, 1 void
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("expected");
        const QString correctedElsewhere = QStringLiteral("correct");
        const QString voidedElsewhere = QStringLiteral("void");
        QTest::newRow("correction after another station's correction")
            << 0 << correctedElsewhere << int(OrderChange::ChangedElsewhere);
        QTest::newRow("void after another station's correction")
            << 1 << correctedElsewhere << int(OrderChange::ChangedElsewhere);
        QTest::newRow("correction of a voided order")
            << 0 << voidedElsewhere << int(OrderChange::AlreadyVoided);
        QTest::newRow("second void") << 1 << voidedElsewhere << int(OrderChange::AlreadyVoided);
        QTest::newRow("correction of a deleted order")
            << 0 << QStringLiteral("delete") << int(OrderChange::Gone);
        QTest::newRow("void without a reason") << 1 << QString() << int(OrderChange::NoReason);
        QTest::newRow("correction to a plate no customer has")
            << 0 << QStringLiteral("plate") << int(OrderChange::CustomerNotFound);
    }
    void refusals() {
        QFETCH(int, change);
        QFETCH(QString, before);
        QFETCH(int, expected);
        SaveTwoOrders();
        Order read = CorrectedFirst();
        if (before == QLatin1String("correct")) {
            QCOMPARE(Correct(CorrectedFirst()), OrderChange::Changed);
        } else if (before == QLatin1String("void")) {
            QCOMPARE(Void(kFirst, read.revision, QStringLiteral("另一台")), OrderChange::Changed);
        } else if (before == QLatin1String("delete")) {
            TestDatabase::exec(QStringLiteral("delete from kh_wx_table where kh_wx_dh = ?"),
                               {kFirst});
        } else if (before == QLatin1String("plate")) {
            read.plate = QStringLiteral("沪Z99999");
        }
        const QString stored = TestDatabase::rowsText(
            QStringLiteral("select kh_wx_cph, kh_wx_hj, kh_wx_zf, kh_wx_bb, kh_wx_zfyy from "
                           "kh_wx_table order by kh_wx_dh"));
        const QString lines = TestDatabase::rowsText(
            QStringLiteral("select kh_wx_mx_hj, kh_wx_mx_zf from kh_wx_mx_table order by "
                           "kh_wx_mx_dh, kh_wx_mx_xm"));
        const int kept =
            TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_ls_table")).toInt();
        read.total = 1;
        const OrderChange outcome =
            change == 0 ? Correct(read)
                        : Void(kFirst, read.revision,
                               before.isEmpty() ? QStringLiteral(" ") : QStringLiteral("再作废"));
        QCOMPARE(int(outcome), expected);
        QCOMPARE(TestDatabase::rowsText(
                     QStringLiteral("select kh_wx_cph, kh_wx_hj, kh_wx_zf, kh_wx_bb, kh_wx_zfyy "
                                    "from kh_wx_table order by kh_wx_dh")),
                 stored);
        QCOMPARE(TestDatabase::rowsText(
                     QStringLiteral("select kh_wx_mx_hj, kh_wx_mx_zf from kh_wx_mx_table order "
                                    "by kh_wx_mx_dh, kh_wx_mx_xm")),
                 lines);
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_ls_table")).toInt(),
            kept);
    }

    // A correction is one transaction: a line the database refuses leaves the order, its lines,
    // its trail and the customer as they were.
    void aFailedCorrectionKeepsEverything() {
        SaveTwoOrders();
        TestDatabase::exec(QStringLiteral("update kh_table set kh_txdate = '2027-09-01'"));
        const QString before = TestDatabase::rowsText(
            QStringLiteral("select kh_wx_hj, kh_wx_bb from kh_wx_table order by kh_wx_dh"));
        TestDatabase::refuse(QStringLiteral("insert on kh_wx_mx_table"),
                             QStringLiteral("new.kh_wx_mx_xm = '坏行'"),
                             QStringLiteral("磁盘已满"));
        Order corrected = CorrectedFirst();
        corrected.nextReminder = QDate(2028, 1, 1);
        corrected.lines.append({QStringLiteral("坏行"), QString(), 1, 1, 1});
        const DbResult<OrderChangeOutcome> done = CorrectOrder(corrected, QStringLiteral("李四"));
        QVERIFY(!done.ok());
        QVERIFY2(done.error().contains(QStringLiteral("磁盘已满")), qPrintable(done.error()));
        QCOMPARE(TestDatabase::rowsText(QStringLiteral(
                     "select kh_wx_hj, kh_wx_bb from kh_wx_table order by kh_wx_dh")),
                 before);
        QCOMPARE(Stored(kFirst).lines.size(), 2);
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_ls_table")).toInt(), 0);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_txdate from kh_table")).toString(),
                 QStringLiteral("2027-09-01"));
    }
};

QTEST_GUILESS_MAIN(TestOrderCorrection)
#include "test_order_correction.moc"
