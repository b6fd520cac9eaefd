#include <QTest>

#include "app/customer_list_rows.h"
#include "app/reminder_list.h"
#include "data/database.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "followup/call_record.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

const QDate kDue(2027, 5, 10);

int Field(const char* name) {
    return int(ListFields().indexOf(QLatin1String(name)));
}

// `count` customers due on kDue, not called, plates 京A00001 on.
void AddCustomers(int count) {
    Transaction transaction;
    for (int i = 1; i <= count; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        TestDatabase::exec(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_czname, "
                                          "kh_tele, kh_txdate, kh_sfdgdh) values (?, ?, ?, ?, ?, "
                                          "'0')"),
                           {QStringLiteral("{K%1}").arg(number), QStringLiteral("京A") + number,
                            QStringLiteral("车主%1").arg(i), QStringLiteral("138000") + number,
                            kDue.toString(Qt::ISODate)});
    }
    QVERIFY(transaction.commit().ok());
}

std::shared_ptr<CustomerListRows> Open(const ListQuery& query) {
    const DbResult<std::shared_ptr<CustomerListRows>> rows = CustomerListRows::Open(query);
    if (!rows) {
        qWarning("%s", qPrintable(rows.error()));
        return {};
    }
    return *rows;
}

// Every row as "plate/name/called", read through the pages.
QStringList Shown(const CustomerListRows& rows) {
    QStringList shown;
    const DbStatus read = rows.read(0, rows.count(), [&](int, const QList<QByteArrayView>& cells) {
        shown << QString::fromUtf8(cells[Field("kh_cph")]) + QLatin1Char('/') +
                     QString::fromUtf8(cells[Field("kh_czname")]) + QLatin1Char('/') +
                     QString::fromUtf8(cells[Field("kh_sfdgdh")]);
    });
    if (!read) {
        shown << read.error();
    }
    return shown;
}

// The same rows as the statement itself returns them, walked at once.
QStringList Walked(const ListQuery& query) {
    QStringList walked;
    for (Recordset rs = RunSql(query.text, query.params); !rs.Eof(); rs.MoveNext()) {
        walked << rs.Text(QStringLiteral("kh_cph")) + QLatin1Char('/') +
                      rs.Text(QStringLiteral("kh_czname")) + QLatin1Char('/') +
                      rs.Text(QStringLiteral("kh_sfdgdh"));
    }
    return walked;
}

}  // namespace

class TestCustomerListRows : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    // Page by page, near and far, the list shows what the statement returns, in its order.
    void pagesShowTheStatementsRows_data() {
        QTest::addColumn<int>("customers");
        QTest::addColumn<QString>("search");
        QTest::newRow("empty") << 0 << QString();
        QTest::newRow("one page, last row alone") << CustomerListRows::kPageRows + 1 << QString();
        QTest::newRow("more pages than are kept")
            << CustomerListRows::kPageRows * (CustomerListRows::kKeptPages + 3) << QString();
        QTest::newRow("a search") << 1000 << QStringLiteral("A001");
    }
    void pagesShowTheStatementsRows() {
        QFETCH(int, customers);
        QFETCH(QString, search);
        AddCustomers(customers);
        const ListQuery query = search.isEmpty()
                                    ? ReminderListQuery(ReminderMode::NotCalled, kDue, kDue)
                                    : SearchQuery(search);
        const QStringList walked = Walked(query);
        const auto rows = Open(query);
        QVERIFY(rows);
        QCOMPARE(rows->count(), walked.size());
        const QStringList shown = Shown(*rows);
        // The statement has no order: the server may walk its rows otherwise each time.
        if (Database::Engine() == sql::Engine::Sqlite) {
            QCOMPARE(shown, walked);
        } else {
            QStringList a = shown, b = walked;
            a.sort();
            b.sort();
            QCOMPARE(a, b);
        }
        // From the bottom up, one cell at a time, after the pages near the top were dropped.
        for (int row = rows->count() - 1; row >= 0; row -= 97) {
            QCOMPARE(QString::fromUtf8(rows->cell(row, Field("kh_cph"))),
                     shown[row].section(QLatin1Char('/'), 0, 0));
        }
        QCOMPARE(rows->cell(rows->count(), Field("kh_cph")), QByteArray());
        QCOMPARE(rows->cell(-1, Field("kh_cph")), QByteArray());
        QCOMPARE(rows->cell(0, int(ListFields().size())), QByteArray());
        int visited = 0;
        QVERIFY(
            rows->read(rows->count() - 2, 10, [&](int, const QList<QByteArrayView>&) { ++visited; })
                .ok());
        QCOMPARE(visited, std::min(2, rows->count()));
    }

    // The database changes under an open list: a customer saved since is left out, a changed
    // one shows as it is now (its called mark by the rule), one deleted elsewhere shows empty.
    void aListOpenWhileTheDatabaseChanges() {
        AddCustomers(CustomerListRows::kPageRows * 3);
        const auto rows = Open(ReminderListQuery(ReminderMode::NotCalled, kDue, kDue));
        QVERIFY(rows);
        const int count = rows->count();
        QCOMPARE(count, CustomerListRows::kPageRows * 3);
        const int last = count - 1;
        // Read the first and last pages before the changes, so they are kept.
        QCOMPARE(QString::fromUtf8(rows->cell(0, Field("kh_cph"))), QStringLiteral("京A00001"));
        QCOMPARE(QString::fromUtf8(rows->cell(last, Field("kh_cph"))),
                 QStringLiteral("京A%1").arg(count, 5, 10, QLatin1Char('0')));

        TestDatabase::exec(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_txdate, "
                                          "kh_sfdgdh) values ('{NEW}', '京N00001', ?, '0')"),
                           {kDue.toString(Qt::ISODate)});
        TestDatabase::exec(
            QStringLiteral("update kh_table set kh_czname = '改名' where kh_code = '{K00001}'"));
        TestDatabase::exec(QStringLiteral("delete from kh_table where kh_code = '{K00200}'"));
        // A call on the due date: by the rule it counts, though the list showed it not called.
        CallRecord call;
        call.customerKey = QStringLiteral("{K%1}").arg(count, 5, 10, QLatin1Char('0'));
        call.plate = QStringLiteral("京A%1").arg(count, 5, 10, QLatin1Char('0'));
        call.callDate = kDue;
        call.nextReminder = kDue;
        QCOMPARE(*SaveCall(call), CallSave::Saved);
        // A flag set without a call for this date does not count.
        TestDatabase::exec(
            QStringLiteral("update kh_table set kh_sfdgdh = '1' where kh_code = '{K00002}'"));

        QCOMPARE(rows->count(), count);
        const QStringList shown = Shown(*rows);
        QVERIFY(!shown.join(QLatin1Char(',')).contains(QStringLiteral("京N00001")));
        QCOMPARE(shown[0], QStringLiteral("京A00001/改名/0"));
        QCOMPARE(shown[1], QStringLiteral("京A00002/车主2/0"));
        QCOMPARE(shown[199], QStringLiteral("//"));
        QCOMPARE(shown[last],
                 QStringLiteral("京A%1/车主%2/1").arg(count, 5, 10, QLatin1Char('0')).arg(count));
    }

    // The operator deletes a listed customer: the rows below move up, keys and all.
    void removingARowMovesTheRestUp() {
        AddCustomers(CustomerListRows::kPageRows + 5);
        const auto rows = Open(ReminderListQuery(ReminderMode::All, kDue, kDue));
        QVERIFY(rows);
        const QStringList before = Shown(*rows);
        const qint64 third = rows->key(2);
        QCOMPARE(rows->find(third), 2);
        rows->remove(1);
        QCOMPARE(rows->count(), before.size() - 1);
        QCOMPARE(rows->find(third), 1);
        QStringList expected = before;
        expected.removeAt(1);
        QCOMPARE(Shown(*rows), expected);
        rows->remove(rows->count() - 1);
        rows->remove(rows->count());
        expected.removeLast();
        QCOMPARE(Shown(*rows), expected);
        QCOMPARE(rows->key(rows->count()), qint64(-1));
        QCOMPARE(rows->find(-5), -1);
    }

    void aStatementThatFailsSaysWhy() {
        const DbResult<std::shared_ptr<CustomerListRows>> rows =
            CustomerListRows::Open({QStringLiteral("select list_key from no_such_table"), {}});
        QVERIFY(!rows.ok());
        QVERIFY(!rows.error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCustomerListRows)
#include "test_customer_list_rows.moc"
