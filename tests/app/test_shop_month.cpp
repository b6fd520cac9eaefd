#include <QRandomGenerator>
#include <QTest>
#include <map>
#include <set>

#include "app/reminder_list.h"
#include "core/clock.h"
#include "customers/customer_store.h"
#include "followup/call_record.h"
#include "repairs/order_entry.h"
#include "support/rule_test.h"

// A month of a shop's daily work, day by day with the clock moved: new customers, repair orders
// that move the reminder date, follow-up calls that move it again. Every morning the reminder
// list must show exactly the customers due that day who have not been called for it, as a plain
// record of what happened says, so no reminder is ever lost.
namespace {

struct Expected {
    QString plate;
    QDate reminder;
    std::set<QDate> calls;

    bool calledForReminder() const { return calls.lower_bound(reminder) != calls.end(); }
};

QStringList Plates(Recordset rs) {
    QStringList plates;
    for (; !rs.Eof(); rs.MoveNext())
        plates << rs.Text(QStringLiteral("kh_cph"));
    plates.sort();
    return plates;
}

}  // namespace

class TestShopMonth : public RuleTest {
    Q_OBJECT

    std::map<QString, Expected> customers_;
    QRandomGenerator random_{20261101};

    int between(int low, int high) { return int(random_.bounded(low, high + 1)); }

    QStringList expectedPlates(const QDate& day, ReminderMode mode) const {
        QStringList plates;
        for (const auto& [key, c] : customers_) {
            if (c.reminder != day)
                continue;
            const bool called = c.calledForReminder();
            if (mode == ReminderMode::All || (mode == ReminderMode::Called) == called)
                plates << c.plate;
        }
        plates.sort();
        return plates;
    }

    void addCustomer(const QDate& day) {
        Customer c;
        c.plate = QStringLiteral("苏E%1").arg(customers_.size() + 10000);
        c.owner = QStringLiteral("车主%1").arg(customers_.size());
        c.telephone = QStringLiteral("1380000%1").arg(customers_.size(), 4, 10, QLatin1Char('0'));
        c.entryDate = day;
        c.reminderDate = day.addDays(between(0, 6));
        const DbResult<CustomerAdd> added = AddCustomer(c);
        QVERIFY2(added.ok(), qPrintable(added.error()));
        const DbResult<std::optional<Customer>> stored = FindCustomerByPlate(c.plate);
        QVERIFY(stored.ok() && stored.value().has_value());
        customers_[stored.value()->key] = {c.plate, c.reminderDate, {}};
    }

    void call(const QString& key, Expected& c, const QDate& day) {
        CallRecord record;
        record.customerKey = key;
        record.plate = c.plate;
        record.owner = QStringLiteral("车主");
        record.content = QStringLiteral("保养提醒");
        record.response = QStringLiteral("下周来");
        record.callDate = day;
        record.nextReminder = day.addDays(between(2, 9));
        record.operatorName = QStringLiteral("admin");
        const DbResult<CallSave> saved = SaveCall(record);
        QVERIFY2(saved.ok() && saved.value() == CallSave::Saved, qPrintable(saved.error()));
        c.calls.insert(day);
        c.reminder = record.nextReminder;
    }

    void order(Expected& c, const QDate& day) {
        const DbResult<QString> sequence = ProposeOrderSequence(day);
        QVERIFY2(sequence.ok(), qPrintable(sequence.error()));
        Order o;
        o.number = OrderDatePart(day) + sequence.value();
        o.plate = c.plate;
        o.owner = QStringLiteral("车主");
        o.date = day;
        o.nextReminder = day.addDays(between(1, 12));
        o.operatorName = QStringLiteral("admin");
        o.technician = QStringLiteral("张师傅");
        o.lines = {{QStringLiteral("机油"), QString(), 1, 180, 180}};
        o.total = 180;
        const DbResult<OrderSave> saved = SaveOrder(o);
        QVERIFY2(saved.ok() && saved.value() == OrderSave::Saved, qPrintable(saved.error()));
        c.reminder = o.nextReminder;
    }

private Q_SLOTS:
    void cleanup() {
        SetClock(QDateTime());
        RuleTest::cleanup();
    }

    void aMonthLosesNoReminder() {
        customers_.clear();
        const QDate first(2026, 11, 1);
        int shownDue = 0;
        int comeRoundAgain = 0;
        for (QDate day = first; day < first.addMonths(1); day = day.addDays(1)) {
            SetClock(QDateTime(day, QTime(8, 30)));
            for (ReminderMode mode :
                 {ReminderMode::NotCalled, ReminderMode::Called, ReminderMode::All}) {
                const QStringList shown = Plates(OpenReminderList(mode, day, day));
                QCOMPARE(shown, expectedPlates(day, mode));
            }
            const QStringList due = expectedPlates(day, ReminderMode::NotCalled);
            shownDue += int(due.size());

            for (int i = between(1, 3); i > 0; --i) {
                addCustomer(day);
                if (QTest::currentTestFailed())
                    return;
            }
            for (auto& [key, c] : customers_) {
                const bool dueToday = c.reminder == day && !c.calledForReminder();
                comeRoundAgain += dueToday && !c.calls.empty() ? 1 : 0;
                // Most customers due are rung; some come in for a repair instead, some neither.
                const int choice = between(0, 9);
                if (dueToday && choice < 6)
                    call(key, c, day);
                else if (choice == 9 || (dueToday && choice < 8))
                    order(c, day);
                if (QTest::currentTestFailed())
                    return;
            }
            // The list read again after the day's saves agrees too.
            QCOMPARE(Plates(OpenReminderList(ReminderMode::NotCalled, day, day)),
                     expectedPlates(day, ReminderMode::NotCalled));
        }
        // The month really exercised the cycle: customers were due, and some came round again
        // after a call.
        QVERIFY2(shownDue > 30, qPrintable(QString::number(shownDue)));
        QVERIFY2(comeRoundAgain > 5, qPrintable(QString::number(comeRoundAgain)));
    }
};

QTEST_GUILESS_MAIN(TestShopMonth)
#include "test_shop_month.moc"
