#include <QTest>

#include "app/reminder_list.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

void Add(const QString& key, const QString& plate, const QDate& reminder, const QString& called,
         const QString& owner = QStringLiteral("车主"),
         const QString& phone = QStringLiteral("13800000000")) {
    Customer c = TestDatabase::sampleCustomer(key, plate, owner);
    c.reminderDate = reminder;
    c.calledFlag = called;
    c.telephone = phone;
    TestDatabase::addCustomer(c);
}

QStringList Plates(Recordset rs) {
    QStringList plates;
    for (; !rs.Eof(); rs.MoveNext()) {
        plates << rs.Text(QStringLiteral("kh_cph"));
    }
    plates.sort();
    return plates;
}

}  // namespace

class TestReminderList : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    void modeTextsRoundTrip() {
        for (ReminderMode mode :
             {ReminderMode::All, ReminderMode::Called, ReminderMode::NotCalled}) {
            QCOMPARE(ReminderModeFromText(ReminderModeText(mode)), mode);
        }
        QVERIFY(!ReminderModeFromText(QStringLiteral("显示")).has_value());
    }

    void rangeIsInclusiveAndModeFilters_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("plates");
        QTest::newRow("all") << int(ReminderMode::All)
                             << QStringList{"called", "first", "last", "leapday"};
        QTest::newRow("called") << int(ReminderMode::Called) << QStringList{"called"};
        QTest::newRow("not called")
            << int(ReminderMode::NotCalled) << QStringList{"first", "last", "leapday"};
    }
    void rangeIsInclusiveAndModeFilters() {
        QFETCH(int, mode);
        QFETCH(QStringList, plates);
        Add("{1}", "before", QDate(2028, 2, 27), "0");
        Add("{2}", "first", QDate(2028, 2, 28), "0");
        Add("{3}", "leapday", QDate(2028, 2, 29), "0");
        Add("{4}", "called", QDate(2028, 3, 1), "1");
        Add("{5}", "last", QDate(2028, 3, 10), "0");
        Add("{6}", "after", QDate(2028, 3, 11), "0");
        QCOMPARE(
            Plates(OpenReminderList(ReminderMode(mode), QDate(2028, 2, 28), QDate(2028, 3, 10))),
            plates);
    }

    void searchTakesTextLiterally_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("plates");
        QTest::newRow("plate part") << "A1" << QStringList{"京A1%", "京A1_2"};
        QTest::newRow("percent is a character") << "%" << QStringList{"京A1%"};
        QTest::newRow("underscore is a character") << "_" << QStringList{"京A1_2"};
        QTest::newRow("quote in owner") << "O'N" << QStringList{"京B3"};
        QTest::newRow("backslash") << "\\" << QStringList{"京C4"};
        QTest::newRow("phone") << "139" << QStringList{"京C4"};
        QTest::newRow("nothing") << "zz" << QStringList{};
    }
    void searchTakesTextLiterally() {
        QFETCH(QString, text);
        QFETCH(QStringList, plates);
        Add("{1}", "京A1%", QDate(2026, 1, 1), "0");
        Add("{2}", "京A1_2", QDate(2026, 1, 1), "0");
        Add("{3}", "京B3", QDate(2026, 1, 1), "0", "O'Neil");
        Add("{4}", "京C4", QDate(2026, 1, 1), "0", "a\\b", "13912345678");
        QCOMPARE(Plates(SearchCustomers(text)), plates);
    }
};

QTEST_GUILESS_MAIN(TestReminderList)
#include "test_reminder_list.moc"
