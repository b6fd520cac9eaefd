#include <QTest>

#include "app/reminder_list.h"
#include "followup/call_record.h"
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
        TestDatabase::exec(
            QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, "
                           "kh_tele_date) values ('{T4}', 'called', '2028-03-01')"));
        Add("{5}", "last", QDate(2028, 3, 10), "0");
        Add("{6}", "after", QDate(2028, 3, 11), "0");
        QCOMPARE(
            Plates(OpenReminderList(ReminderMode(mode), QDate(2028, 2, 28), QDate(2028, 3, 10))),
            plates);
    }

    // A call counts for the reminder date it answered: once the date it moved the reminder to
    // comes, the customer is due again and shows as not called, in every view.
    void aCalledCustomerComesRoundAgain() {
        const QDate first(2027, 1, 10);
        const QDate second = first.addMonths(3);
        const QDate third = second.addMonths(3);
        Add("{A}", "京A1", first, "0");
        auto listed = [](ReminderMode mode, const QDate& day) {
            QStringList rows;
            for (Recordset rs = OpenReminderList(mode, day, day); !rs.Eof(); rs.MoveNext()) {
                rows << rs.Text(QStringLiteral("kh_cph")) + QLatin1Char('/') +
                            rs.Text(QStringLiteral("kh_sfdgdh"));
            }
            return rows.join(QLatin1Char(','));
        };
        auto call = [](const QDate& on, const QDate& next) {
            CallRecord record;
            record.customerKey = QStringLiteral("{A}");
            record.plate = QStringLiteral("京A1");
            record.callDate = on;
            record.nextReminder = next;
            QCOMPARE(*SaveCall(record), CallSave::Saved);
        };
        QCOMPARE(listed(ReminderMode::NotCalled, first), QStringLiteral("京A1/0"));

        call(first, second);
        QCOMPARE(listed(ReminderMode::All, first), QString());
        QCOMPARE(listed(ReminderMode::NotCalled, second), QStringLiteral("京A1/0"));
        QCOMPARE(listed(ReminderMode::Called, second), QString());
        QCOMPARE(listed(ReminderMode::All, second), QStringLiteral("京A1/0"));
        // The stored flag is left as the call set it.
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_sfdgdh from kh_table")).toString(),
                 QStringLiteral("1"));

        // Called on the day it was due, to be called again the same day: called for that date.
        call(second, second);
        QCOMPARE(listed(ReminderMode::Called, second), QStringLiteral("京A1/1"));
        QCOMPARE(listed(ReminderMode::NotCalled, second), QString());
        QCOMPARE(SearchCustomers(QStringLiteral("a1")).Text(QStringLiteral("kh_sfdgdh")),
                 QStringLiteral("1"));

        call(second, third);
        QCOMPARE(listed(ReminderMode::NotCalled, third), QStringLiteral("京A1/0"));
        QCOMPARE(SearchCustomers(QStringLiteral("a1")).Text(QStringLiteral("kh_sfdgdh")),
                 QStringLiteral("0"));
    }

    void countsAsCalledOnlyForTheDateItAnswered_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QDate>("lastCall");
        QTest::addColumn<bool>("called");
        const QDate due(2027, 4, 10);
        QTest::newRow("called on the day") << "1" << due << true;
        QTest::newRow("called after") << "1" << due.addDays(2) << true;
        QTest::newRow("called before it was due") << "1" << due.addDays(-1) << false;
        QTest::newRow("never called") << "1" << QDate() << false;
        QTest::newRow("flag not set") << "0" << due << false;
    }
    void countsAsCalledOnlyForTheDateItAnswered() {
        QFETCH(QString, flag);
        QFETCH(QDate, lastCall);
        QFETCH(bool, called);
        QCOMPARE(CountsAsCalled(flag, lastCall, QDate(2027, 4, 10)), called);
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
