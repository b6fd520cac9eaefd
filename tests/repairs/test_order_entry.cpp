#include <QTest>

#include "core/date_text.h"
#include "data/run_sql.h"
#include "repairs/order_entry.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

const QDate kDay(2026, 12, 6);

int Count(const QString& table) {
    return TestDatabase::scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

QString Reminder(const QString& key) {
    return TestDatabase::scalar(QStringLiteral("select kh_txdate from kh_table where kh_code=?"),
                                {key})
        .toString();
}

// An order as the entry window hands it over: two named lines.
Order NewOrder(const QString& number, const QString& plate) {
    Order order = TestDatabase::sampleOrder(number, plate, 155.5);
    order.nextReminder = QDate(2027, 3, 6);
    order.lines = {{QStringLiteral("更换机油"), QStringLiteral("全合成"), 1, 120, 120},
                   {QStringLiteral("机滤"), QString(), 1, 35.5, 35.5}};
    return order;
}

}  // namespace

class TestOrderEntry : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    void datePartKeepsItsLeadingSpace() {
        QCOMPARE(OrderDatePart(kDay), QStringLiteral(" 20261206"));
        QCOMPARE(OrderDatePart(QDate(2027, 1, 9)), QStringLiteral(" 20270109"));
    }

    void proposal_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first of the day") << QStringList() << "001";
        QTest::newRow("after 041") << QStringList{" 20261206001", " 20261206041"} << "042";
        QTest::newRow("gaps do not matter") << QStringList{" 20261206007", " 20261206003"} << "008";
        QTest::newRow("other days do not count")
            << QStringList{" 20261205099", " 20261207005"} << "001";
        QTest::newRow("after 999") << QStringList{" 20261206999"} << "1000";
        // Compared as numbers: text order would put 999 after 1000 and stick there.
        QTest::newRow("after 1000") << QStringList{" 20261206999", " 202612061000"} << "1001";
        QTest::newRow("a broken sequence is passed over")
            << QStringList{" 20261206002", " 2026120600x", " 20261206"} << "003";
    }
    void proposal() {
        QFETCH(QStringList, stored);
        QFETCH(QString, expected);
        for (const QString& number : stored) {
            TestDatabase::addOrder(TestDatabase::sampleOrder(number, QStringLiteral("京A1"), 10));
        }
        const DbResult<QString> proposed = ProposeOrderSequence(kDay);
        QVERIFY2(proposed.ok(), qPrintable(proposed.error()));
        QCOMPARE(*proposed, expected);
    }

    void lineTexts_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("formatted");
        QTest::newRow("empty") << ""
                               << "0.00";
        QTest::newRow("whole") << "2"
                               << "2.00";
        QTest::newRow("half up") << "35.555"
                                 << "35.56";
        QTest::newRow("point first") << ".5"
                                     << "0.50";
        QTest::newRow("lone point stays") << "."
                                          << ".";
        QTest::newRow("two points stay") << "1.2.3"
                                         << "1.2.3";
    }
    void lineTexts() {
        QFETCH(QString, typed);
        QFETCH(QString, formatted);
        QCOMPARE(FormattedLineNumber(typed), formatted);
    }

    void amountsAndTotals() {
        QCOMPARE(LineAmountText(QStringLiteral("2.00"), QStringLiteral("35.50")),
                 QStringLiteral("71.00"));
        QCOMPARE(LineAmountText(QStringLiteral("1.2.3"), QStringLiteral("10")),
                 QStringLiteral("12.00"));
        QCOMPARE(LineAmountText(QStringLiteral("."), QStringLiteral("10")), QStringLiteral("0.00"));
        QCOMPARE(OrderTotalText({QStringLiteral("71.00"), QString(), QStringLiteral("0.005"),
                                 QStringLiteral("abc"), QStringLiteral("12.5.3")}),
                 QStringLiteral("83.51"));
        QCOMPARE(FormattedSequence(QStringLiteral("7")), QStringLiteral("007"));
        QCOMPARE(FormattedSequence(QStringLiteral("1000")), QStringLiteral("1000"));
        QCOMPARE(FormattedSequence(QString()), QString());
    }

    void keyFilter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("digit") << ""
                               << "7" << true;
        QTest::newRow("letter") << "1"
                                << "a" << false;
        QTest::newRow("minus") << ""
                               << "-" << false;
        QTest::newRow("full-width digit") << ""
                                          << "７" << false;
        QTest::newRow("first point") << ""
                                     << "." << true;
        QTest::newRow("point after digits") << "12"
                                            << "." << true;
        QTest::newRow("second point in a row") << "12."
                                               << "." << false;
        QTest::newRow("point after a point and digits") << "1.2"
                                                        << "." << true;
    }
    void keyFilter() {
        QFETCH(QString, text);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QCOMPARE(AcceptsAmountCharacter(text, typed.at(0)), accepted);
    }

    void saveStoresHeaderLinesAndReminder() {
        Customer first = TestDatabase::sampleCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"),
                                                      QStringLiteral("张三"));
        TestDatabase::addCustomer(first);
        // A second customer with the same plate keeps its date: only the first row moves.
        Customer second = first;
        second.key = QStringLiteral("{2}");
        TestDatabase::addCustomer(second);

        const DbResult<OrderSave> saved = SaveOrder(NewOrder(" 20261206001", "京A1"));
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(*saved, OrderSave::Saved);
        QCOMPARE(Reminder(QStringLiteral("{1}")), QStringLiteral("2027-03-06"));
        QCOMPARE(Reminder(QStringLiteral("{2}")), DateText(first.reminderDate));
        QCOMPARE(TestDatabase::rowsText(
                     QStringLiteral("select kh_wx_dh, kh_wx_hj, kh_wx_date, kh_wx_txdate, "
                                    "length(kh_wx_code) from kh_wx_table")),
                 QStringLiteral(" 20261206001|155.5|2026-12-06|2027-03-06|38"));
        QCOMPARE(TestDatabase::rowsText(QStringLiteral("select kh_wx_mx_xm, kh_wx_mx_hj from "
                                                       "kh_wx_mx_table where kh_wx_mx_dh=? "
                                                       "order by rowid"),
                                        {QStringLiteral(" 20261206001")}, QStringLiteral(":"),
                                        QStringLiteral(",")),
                 QStringLiteral("更换机油:120,机滤:35.5"));
    }

    // Another station stored orders between this window's proposal and its save: the number
    // offered gives way to the day's next free one, lines and all; a typed one is refused.
    void aTakenNumberGivesWayOnlyWhenOffered_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<QStringList>("storedMeanwhile");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("storedAs");
        QTest::newRow("offered and still free")
            << " 20261206001" << true << QStringList{" 20261205001"} << int(OrderSave::Saved)
            << " 20261206001";
        QTest::newRow("offered and taken") << " 20261206001" << true << QStringList{" 20261206001"}
                                           << int(OrderSave::Saved) << " 20261206002";
        QTest::newRow("offered, taken, and later ones too")
            << " 20261206001" << true
            << QStringList{" 20261206001", " 20261206002", " 20261206005", " 20261207009"}
            << int(OrderSave::Saved) << " 20261206006";
        QTest::newRow("offered past 999") << " 20261206999" << true << QStringList{" 20261206999"}
                                          << int(OrderSave::Saved) << " 202612061000";
        QTest::newRow("typed and taken") << " 20261206001" << false << QStringList{" 20261206001"}
                                         << int(OrderSave::DuplicateNumber) << "";
        QTest::newRow("offered, but no day's number")
            << "A7" << true << QStringList{"A7"} << int(OrderSave::DuplicateNumber) << "";
    }
    void aTakenNumberGivesWayOnlyWhenOffered() {
        QFETCH(QString, number);
        QFETCH(bool, offered);
        QFETCH(QStringList, storedMeanwhile);
        QFETCH(int, outcome);
        QFETCH(QString, storedAs);
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("张三")));
        for (const QString& other : storedMeanwhile) {
            TestDatabase::addOrder(TestDatabase::sampleOrder(other, QStringLiteral("京B2"), 1));
        }
        const int orders = Count(QStringLiteral("kh_wx_table"));

        const DbResult<SavedOrder> saved =
            SaveOrder(NewOrder(number, QStringLiteral("京A1")),
                      offered ? NumberSource::Offered : NumberSource::Typed);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(int(saved->outcome), outcome);
        QCOMPARE(saved->number, storedAs);
        const bool stored = outcome == int(OrderSave::Saved);
        QCOMPARE(Count(QStringLiteral("kh_wx_table")), orders + (stored ? 1 : 0));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(*) from kh_wx_table where kh_wx_cph = '京A1'"))
                     .toInt(),
                 stored ? 1 : 0);
        if (stored) {
            QCOMPARE(
                TestDatabase::scalar(
                    QStringLiteral("select kh_wx_dh from kh_wx_table where kh_wx_cph = '京A1'"))
                    .toString(),
                storedAs);
            QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_mx_table "
                                                         "where kh_wx_mx_dh = ?"),
                                          {storedAs})
                         .toInt(),
                     2);
        }
    }

    // The number index refuses a second order under one number, whatever writes it.
    void theNumberIsUniqueInTheDatabase() {
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), QStringLiteral("京B2"), 1));
        const Recordset again = RunSql(
            QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh) values ('{x}', ?)"),
            {QStringLiteral(" 20261206001")});
        QVERIFY(again.isNull());
        QCOMPARE(Count(QStringLiteral("kh_wx_table")), 1);
    }

    // A refused or failed save leaves every table as it was, the customer's reminder included.
    void aSaveIsAllOrNothing_data() {
        QTest::addColumn<QString>("plate");
        QTest::addColumn<bool>("takenNumber");
        QTest::addColumn<bool>("linesFail");
        QTest::addColumn<int>("outcome");  // -1: a database failure
        QTest::newRow("no such customer")
            << "京Z9" << false << false << int(OrderSave::CustomerNotFound);
        QTest::newRow("number taken") << "京A1" << true << false << int(OrderSave::DuplicateNumber);
        QTest::newRow("a line cannot be written") << "京A1" << false << true << -1;
    }
    void aSaveIsAllOrNothing() {
        QFETCH(QString, plate);
        QFETCH(bool, takenNumber);
        QFETCH(bool, linesFail);
        QFETCH(int, outcome);
        Customer customer = TestDatabase::sampleCustomer(
            QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("张三"));
        TestDatabase::addCustomer(customer);
        if (takenNumber) {
            TestDatabase::addOrder(TestDatabase::sampleOrder(QStringLiteral(" 20261206001"),
                                                             QStringLiteral("京B2"), 1));
        }
        if (linesFail) {
            TestDatabase::refuse(QStringLiteral("insert on kh_wx_mx_table"),
                                 QStringLiteral("new.kh_wx_mx_xm = '机滤'"),
                                 QStringLiteral("disk full"));
        }
        const int orders = Count(QStringLiteral("kh_wx_table"));
        const int lines = Count(QStringLiteral("kh_wx_mx_table"));

        const DbResult<OrderSave> saved = SaveOrder(NewOrder(" 20261206001", plate));
        if (outcome < 0) {
            QVERIFY(!saved.ok());
            QVERIFY2(saved.error().contains(QStringLiteral("disk full")),
                     qPrintable(saved.error()));
        } else {
            QVERIFY(saved.ok());
            QCOMPARE(int(*saved), outcome);
        }
        QCOMPARE(Count(QStringLiteral("kh_wx_table")), orders);
        QCOMPARE(Count(QStringLiteral("kh_wx_mx_table")), lines);
        QCOMPARE(Reminder(QStringLiteral("{1}")), DateText(customer.reminderDate));
    }
};

QTEST_GUILESS_MAIN(TestOrderEntry)
#include "test_order_entry.moc"
