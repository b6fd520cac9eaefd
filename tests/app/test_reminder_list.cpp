#include <QTest>

#include "app/reminder_list.h"
#include "core/date_text.h"
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

    // Plates and telephones are found however either side was typed: the stored plates include
    // some stored before separators were left out, and telephones are stored as people wrote them.
    void searchFindsPlatesAndTelephonesHoweverTyped_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("plates");
        QTest::newRow("plate as printed") << "浙AD12345" << QStringList{"浙A·D12345", "浙AD12345x"};
        QTest::newRow("plate with a dot")
            << "浙A·D12345" << QStringList{"浙A·D12345", "浙AD12345x"};
        QTest::newRow("plate with a space") << "A D123" << QStringList{"浙A·D12345", "浙AD12345x"};
        QTest::newRow("lower case") << "5b678" << QStringList{"苏E5B678"};
        QTest::newRow("upper case") << "5B678" << QStringList{"苏E5B678"};
        QTest::newRow("full width") << "ｅ５" << QStringList{"苏E5B678"};
        QTest::newRow("digits of a phone")
            << "13800001111" << QStringList{"浙AD12345x", "苏E5B678"};
        QTest::newRow("phone spaced") << "138 0000 1111" << QStringList{"浙AD12345x", "苏E5B678"};
        QTest::newRow("phone with +86")
            << "+86 138-0000-1111" << QStringList{"浙AD12345x", "苏E5B678"};
        QTest::newRow("phone part") << "0000-11" << QStringList{"浙AD12345x", "苏E5B678"};
        QTest::newRow("landline") << "057188881234" << QStringList{"浙A·D12345"};
        QTest::newRow("name as typed") << "王 五" << QStringList{"粤B1"};
        QTest::newRow("name not spaced") << "王五" << QStringList{};
    }
    void searchFindsPlatesAndTelephonesHoweverTyped() {
        QFETCH(QString, text);
        QFETCH(QStringList, plates);
        // Written as an older version stored them, past today's normalising.
        auto addStored = [](const QString& key, const QString& plate, const QString& owner,
                            const QString& phone) {
            TestDatabase::exec(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_czname, "
                                              "kh_tele, kh_txdate) values (?, ?, ?, ?, "
                                              "'2026-01-01')"),
                               {key, plate, owner, phone});
        };
        addStored("{1}", "浙A·D12345", "张三", "(0571) 8888-1234");
        addStored("{2}", "浙AD12345x", "李四", "+86 138 0000 1111");
        addStored("{3}", "苏E5B678", "赵六", "13800001111");
        addStored("{4}", "粤B1", "王 五", "010");
        plates.sort();
        QCOMPARE(Plates(SearchCustomers(text)), plates);
    }

    // Customers due before a day who were not called since: the clock moves on day by day, and
    // a call takes a customer off until the next reminder date it set has passed.
    void overdueCustomersOverSeveralDays() {
        const QDate monday(2027, 3, 1);
        Add("{1}", "京A1", monday.addDays(-30), "0");
        Add("{2}", "京A2", monday, "0");
        Add("{3}", "京A3", monday.addDays(1), "0");
        Add("{4}", "京A4", monday.addDays(-3), "1");
        TestDatabase::exec(QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, "
                                          "kh_tele_date) values ('{T4}', '京A4', ?)"),
                           {DateText(monday.addDays(-3))});
        Add("{5}", "京A5", QDate(), "0");
        auto overdue = [](const QDate& day) {
            QStringList plates;
            for (Recordset rs = OpenOverdueList(day); !rs.Eof(); rs.MoveNext()) {
                plates << rs.Text(QStringLiteral("kh_cph"));
            }
            const DbResult<qint64> count = CountOverdue(day);
            [&] { QVERIFY(count && *count == plates.size()); }();
            return plates;
        };
        QCOMPARE(overdue(monday), QStringList{"京A1"});
        QCOMPARE(overdue(monday.addDays(1)), (QStringList{"京A1", "京A2"}));
        // Oldest first.
        QCOMPARE(overdue(monday.addDays(2)), (QStringList{"京A1", "京A2", "京A3"}));

        CallRecord record;
        record.customerKey = QStringLiteral("{2}");
        record.plate = QStringLiteral("京A2");
        record.callDate = monday.addDays(2);
        record.nextReminder = monday.addDays(9);
        QCOMPARE(*SaveCall(record), CallSave::Saved);
        QCOMPARE(overdue(monday.addDays(2)), (QStringList{"京A1", "京A3"}));
        QCOMPARE(overdue(monday.addDays(10)), (QStringList{"京A1", "京A3", "京A2"}));
    }
};

QTEST_GUILESS_MAIN(TestReminderList)
#include "test_reminder_list.moc"
