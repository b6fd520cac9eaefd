#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include "core/number_text.h"
#include "core/order_number_text.h"
#include "reports/statistics.h"
#include "reports/statistics_rows.h"
#include "support/database_fixture.h"

namespace {

using Rows = QList<QStringList>;

const StatisticsDescription& Turnover() {
    return DescribeStatistics(StatisticsKind::Turnover);
}

StatisticsFilter Range(const QDate& from, const QDate& to, const QString& search = {}) {
    StatisticsFilter filter;
    filter.from = from;
    filter.to = to;
    filter.search = search;
    return filter;
}

// `count` orders over 40 days from 2026-11-01, saved out of date order, with day sequences
// past 999 on some days, amounts with half cents and a few amounts stored as text.
void AddOrders(int count) {
    TestDatabase::exec(QStringLiteral("begin"));
    QRandomGenerator random(7);
    QSet<QString> numbers;
    for (int i = 0; i < count; ++i) {
        const QDate day = QDate(2026, 11, 1).addDays(random.bounded(40));
        int sequence = random.bounded(1, 1200);
        QString number;
        // The number is unique in the schema: a drawn number already used moves on by one.
        do {
            number =
                QLatin1Char(' ') + day.toString(QStringLiteral("yyyyMMdd")) +
                QString::number(sequence).rightJustified(sequence > 999 ? 4 : 3, QLatin1Char('0'));
            sequence = sequence % 1199 + 1;
        } while (numbers.contains(number));
        numbers.insert(number);
        QVariant amount = random.bounded(100000) / 100.0 + (i % 7 == 0 ? 0.005 : 0);
        // A SQLite file may hold text in an amount column; the server refuses it.
        if (i % 97 == 0 && !TestDatabase::onServer()) {
            amount = QStringLiteral("12.5元");
        }
        TestDatabase::exec(
            QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname,"
                           " kh_wx_hj, kh_wx_date) values (?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("{O%1}").arg(i), number, QStringLiteral("京A%1").arg(i % 50),
             i % 3 == 0 ? QStringLiteral("张三") : QStringLiteral("李四"), amount,
             day.toString(Qt::ISODate)});
    }
    TestDatabase::exec(QStringLiteral("commit"));
}

Rows AsStrings(const StatisticsRows& rows, int first, int count) {
    Rows read;
    const DbStatus status =
        rows.read(first, count, [&](int row, const QList<QByteArrayView>& cells) {
            if (row != first + int(read.size())) {
                qWarning("row %d out of order", row);
            }
            QStringList texts;
            for (QByteArrayView cell : cells) {
                texts << QString::fromUtf8(cell);
            }
            read << texts;
        });
    if (!status) {
        qWarning("%s", qPrintable(status.error()));
    }
    return read;
}

// The whole list as the grid once held it: every row of the query, order numbers as read.
Rows Expected(const StatisticsFilter& filter, StatisticsSummary* summary) {
    const DbResult<StatisticsResult> result = RunStatistics(Turnover(), filter);
    if (!result) {
        qWarning("%s", qPrintable(result.error()));
        return {};
    }
    *summary = result->summary;
    Rows rows = result->rows;
    for (QStringList& row : rows) {
        row[Turnover().numberColumn] = OrderNumberText(row[Turnover().numberColumn]);
    }
    return rows;
}

}  // namespace

class TestStatisticsRows : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db_;

private Q_SLOTS:
    void init() {
        db_ = std::make_unique<TestDatabase>();
        QVERIFY2(db_->ok(), qPrintable(db_->message()));
    }
    void cleanup() { db_.reset(); }

    // Read in one pass, page by page from the far end, or cell by cell in any order: the rows,
    // their order, the total and the days are those of the whole query.
    void everyWayOfReadingGivesTheWholeList_data() {
        QTest::addColumn<QString>("search");
        QTest::newRow("every order") << QString();
        QTest::newRow("one owner") << QStringLiteral("张三");
    }
    void everyWayOfReadingGivesTheWholeList() {
        QFETCH(QString, search);
        AddOrders(3000);
        const StatisticsFilter filter = Range(QDate(2026, 11, 3), QDate(2026, 12, 5), search);
        StatisticsSummary summary;
        const Rows expected = Expected(filter, &summary);
        QVERIFY(expected.size() > 3 * StatisticsRows::kPlacedPages);

        auto opened = StatisticsRows::Open(Turnover(), filter);
        QVERIFY2(opened, qPrintable(opened.error()));
        const StatisticsRows& rows = **opened;
        QCOMPARE(rows.count(), int(expected.size()));
        QCOMPARE(rows.summary().totalCents, summary.totalCents);
        QCOMPARE(rows.summary().rows, summary.rows);
        QCOMPARE(rows.summary().days.size(), summary.days.size());
        for (qsizetype i = 0; i < summary.days.size(); ++i) {
            QCOMPARE(rows.summary().days[i].day, summary.days[i].day);
            QCOMPARE(rows.summary().days[i].cents, summary.days[i].cents);
        }

        // Near the top, before the keys are walked: by place in the query.
        QCOMPARE(AsStrings(rows, 5, 300), expected.mid(5, 300));
        // The last page, then pages back to the first.
        const int pages =
            (rows.count() + StatisticsRows::kPageRows - 1) / StatisticsRows::kPageRows;
        for (int page = pages - 1; page >= 0; page -= 3) {
            const int first = page * StatisticsRows::kPageRows;
            QCOMPARE(AsStrings(rows, first, StatisticsRows::kPageRows),
                     expected.mid(first, StatisticsRows::kPageRows));
        }
        // Single cells, as the grid asks for them.
        for (int row : {rows.count() - 1, 0, rows.count() / 2, 1}) {
            for (int col = 0; col < int(Turnover().columns.size()); ++col) {
                QCOMPARE(QString::fromUtf8(rows.cell(row, col)), expected[row][col]);
            }
            QCOMPARE(OrderNumberText(rows.storedNumber(row)),
                     expected[row][Turnover().numberColumn]);
        }
        // Everything in one pass, as a report reads it, and a stretch from the middle.
        QCOMPARE(AsStrings(rows, 0, rows.count()), expected);
        QCOMPARE(AsStrings(rows, 1000, 1500), expected.mid(1000, 1500));
        // In consecutive chunks, as a long report reads them, each going on from the last.
        Rows chunked;
        for (int first = 0; first < rows.count(); first += 600) {
            chunked += AsStrings(rows, first, 600);
        }
        QCOMPARE(chunked, expected);
        // As a report sees them: without the key column.
        const auto reported = StatisticsReportRows(*opened);
        QCOMPARE(reported->count(), rows.count());
        QCOMPARE(ReportRowTexts(*reported, rows.count() - 1), expected.last().mid(1));
        // Past the end nothing is read.
        QCOMPARE(AsStrings(rows, rows.count() - 2, 10), expected.mid(rows.count() - 2));
        QVERIFY(rows.cell(rows.count(), 1).isEmpty());
    }

    // Orders saved, changed and deleted while the list is open: it keeps its count and total,
    // leaves the new order out, shows a changed row as it is now and a deleted one as an empty
    // row at its end; a report reads the same rows as the grid.
    void aListKeepsItsRowsWhileTheDatabaseChanges() {
        AddOrders(1500);
        const StatisticsFilter filter = Range(QDate(2026, 11, 1), QDate(2026, 12, 31));
        StatisticsSummary summary;
        const Rows before = Expected(filter, &summary);
        auto opened = StatisticsRows::Open(Turnover(), filter);
        QVERIFY2(opened, qPrintable(opened.error()));
        const StatisticsRows& rows = **opened;

        const QString gone = before[700][0];
        const QString changed = before[1200][0];
        TestDatabase::exec(QStringLiteral("delete from kh_wx_table where kh_wx_code = ?"), {gone});
        TestDatabase::exec(QStringLiteral("update kh_wx_table set kh_wx_czname = '王五' where "
                                          "kh_wx_code = ?"),
                           {changed});
        TestDatabase::exec(
            QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh, kh_wx_hj, kh_wx_date)"
                           " values ('{NEW}', ' 20261101000', 5, '2026-11-01')"));

        Rows expected = before;
        expected[1200][4] = QStringLiteral("王五");
        expected.removeAt(700);
        expected << QStringList(before[700].size(), QString());
        QCOMPARE(rows.count(), int(before.size()));
        QCOMPARE(rows.summary().totalCents, summary.totalCents);
        QCOMPARE(AsStrings(rows, 0, rows.count()), expected);
        QCOMPARE(AsStrings(rows, 640, 128), expected.mid(640, 128));
        QVERIFY(rows.storedNumber(rows.count() - 1).isEmpty());

        // Once the keys are walked, a row deleted later shows empty in its place.
        const QString later = expected[300][0];
        TestDatabase::exec(QStringLiteral("delete from kh_wx_table where kh_wx_code = ?"), {later});
        expected[300] = QStringList(before[0].size(), QString());
        QCOMPARE(AsStrings(rows, 0, rows.count()), expected);
        QCOMPARE(AsStrings(rows, 256, 128), expected.mid(256, 128));
    }

    // Read from a database that has gone, a list says so rather than showing nothing.
    void aFailedReadIsReported() {
        AddOrders(400);
        auto opened =
            StatisticsRows::Open(Turnover(), Range(QDate(2026, 11, 1), QDate(2026, 12, 31)));
        QVERIFY2(opened, qPrintable(opened.error()));
        TestDatabase::exec(QStringLiteral("alter table kh_wx_table rename to kh_wx_gone"));
        const DbStatus read = (*opened)->read(200, 10, [](int, const QList<QByteArrayView>&) {});
        QVERIFY(!read);
        QVERIFY(read.error().contains(QStringLiteral("kh_wx_table")));
        QVERIFY(!StatisticsRows::Open(Turnover(), Range(QDate(2026, 11, 1), QDate(2026, 12, 31))));
    }

    // The quick ways of showing amounts and order numbers give what the slow ways give.
    void quickTextsMatchTheRules() {
        QRandomGenerator random(11);
        QList<double> values{0,      0.005,   -0.005, 1.005, 2.675,        1.115,
                             -1.115, 0.125,   1e-9,   -1e-9, 99999999.995, 123456789.125,
                             1e15,   -2.5e-3, 0.045,  -0.0};
        for (int i = 0; i < 40000; ++i) {
            const double cents = double(random.bounded(2000000000)) - 1e9;
            values << cents / 100 << (cents + 0.5) / 100 << random.generateDouble() * 1e6;
        }
        for (double value : values) {
            const QString slow = FormatAmount(value, QStringLiteral("########0.00"));
            QByteArray quick;
            AppendCentsText(ValueCents(value), quick);
            QCOMPARE(QString::fromLatin1(quick), slow);
            QCOMPARE(ValueCents(value), AmountCents(AmountText(value)));
        }
        for (const char* stored :
             {" 202612070001", " 2026120712345", "202612070001", " 2026120", "  20261207000A",
              " 20261207 0001", "A-1", "", " ", "\t202612070001", " 202612070001 "}) {
            QByteArray quick;
            AppendOrderNumberText(QByteArrayView(stored), quick);
            QCOMPARE(QString::fromUtf8(quick), OrderNumberText(QString::fromUtf8(stored)));
        }
    }
};

QTEST_GUILESS_MAIN(TestStatisticsRows)
#include "test_statistics_rows.moc"
