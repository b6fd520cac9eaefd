#include <QTest>

#include "reports/report_layout.h"
#include "reports/statistics.h"

namespace {

const QDateTime kPrinted(QDate(2026, 12, 6), QTime(14, 5, 9));

QList<QStringList> ListRows(int count, int columns) {
    QList<QStringList> rows;
    for (int r = 0; r < count; ++r) {
        QStringList cells{QStringLiteral("{KEY}")};
        for (int c = 1; c < columns; ++c) {
            cells << QStringLiteral("r%1c%2").arg(r + 1).arg(c);
        }
        rows << cells;
    }
    return rows;
}

Report TurnoverReport(int rows) {
    return StatisticsReport(DescribeStatistics(StatisticsKind::Turnover), QStringLiteral("蓝天"),
                            ListRows(rows, 10), QStringLiteral("123.45"), QStringLiteral("管理员"),
                            kPrinted);
}

int Height(const Report& report, const ReportPage& page) {
    int height = 0;
    for (int number : page.rows) {
        height += ReportRowAt(report, number).height;
    }
    return height;
}

}  // namespace

class TestReportLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void titleAndFooterTexts() {
        const Report report = TurnoverReport(1);
        QCOMPARE(report.title, QStringLiteral("蓝天营业统计报表"));
        QCOMPARE(ReportTitle(QString(), QStringLiteral("维修技师统计报表")),
                 QStringLiteral("维修技师统计报表"));
        QCOMPARE(report.footer,
                 QStringLiteral("制表人:[ 管理员 ]         打印时间:[2026-12-06 14:05:09]"));
        QCOMPARE(ReportFooter(QString(), kPrinted),
                 QStringLiteral("制表人:[  ]         打印时间:[2026-12-06 14:05:09]"));
    }

    void rowsOfAReport() {
        const Report report = TurnoverReport(2);
        // The hidden key column is left out; the others keep the list's widths.
        QCOMPARE(report.columns.size(), 9);
        QCOMPARE(report.columns[0].heading, QStringLiteral("日期"));
        QCOMPARE(report.columns[0].width, 85);
        QCOMPARE(report.columns[8].width, kDefaultColumnWidth);
        QVERIFY(report.columns[6].numeric);
        QVERIFY(!report.columns[1].numeric);
        QCOMPARE(ReportRowCount(report), 6);

        const ReportRow title = ReportRowAt(report, 1);
        QCOMPARE(title.kind, ReportRowKind::Title);
        QCOMPARE(title.cells[0], QStringLiteral("蓝天营业统计报表"));
        QVERIFY(title.merged && title.bold && title.songFace);
        QCOMPARE(title.fontSize, 18.0);
        QCOMPARE(title.height, 50);

        const ReportRow heading = ReportRowAt(report, 2);
        QCOMPARE(heading.kind, ReportRowKind::Heading);
        QCOMPARE(heading.cells[1], QStringLiteral("单号"));
        QVERIFY(heading.shaded && heading.bold);
        QCOMPARE(heading.fontSize, 11.0);
        QCOMPARE(heading.height, 30);

        const ReportRow data = ReportRowAt(report, 4);
        QCOMPARE(data.kind, ReportRowKind::Data);
        QCOMPARE(data.cells[0], QStringLiteral("r2c1"));
        QCOMPARE(data.cells[8], QStringLiteral("r2c9"));
        QVERIFY(!data.bold && !data.shaded);
        QCOMPARE(data.fontSize, 11.0);
        QCOMPARE(data.height, 23);

        const ReportRow total = ReportRowAt(report, 5);
        QCOMPARE(total.kind, ReportRowKind::Total);
        QCOMPARE(total.cells[0], QStringLiteral("合计:"));
        // Column 7 of the list, the sixth of the report.
        QCOMPARE(total.cells[6], QStringLiteral("123.45"));
        QVERIFY(total.shaded && total.bold);
        QCOMPARE(total.fontSize, 12.0);

        const ReportRow footer = ReportRowAt(report, 6);
        QCOMPARE(footer.kind, ReportRowKind::Footer);
        QCOMPARE(footer.cells[0], report.footer);
        QVERIFY(footer.merged && !footer.bold);
        QCOMPARE(footer.fontSize, 10.0);
    }

    // With no row the report has no heading row: the total follows the title in row 2.
    void anEmptyReportPutsTheTotalInRowTwo() {
        const Report report =
            StatisticsReport(DescribeStatistics(StatisticsKind::Turnover), QStringLiteral("蓝天"),
                             {}, QStringLiteral("0.00"), QStringLiteral("管理员"), kPrinted);
        QCOMPARE(ReportRowCount(report), 3);
        const ReportRow total = ReportRowAt(report, 2);
        QCOMPARE(total.kind, ReportRowKind::Total);
        QCOMPARE(total.cells[0], QStringLiteral("合计:"));
        QCOMPARE(total.cells[6], QStringLiteral("0.00"));
        QCOMPARE(ReportRowAt(report, 3).kind, ReportRowKind::Footer);
        const QList<ReportPage> pages = PaginateReport(report, 1000);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].rows, QList<int>({1, 2, 3}));
    }

    void theItemReportIsLandscapeWithSmallRows() {
        const Report report = StatisticsReport(
            DescribeStatistics(StatisticsKind::ItemDetail), QStringLiteral("蓝天"), ListRows(1, 12),
            QStringLiteral("61.00"), QStringLiteral("管理员"), kPrinted);
        QVERIFY(report.landscape);
        QCOMPARE(report.title, QStringLiteral("蓝天营业明细统计报表"));
        QCOMPARE(ReportRowAt(report, 3).fontSize, 9.0);
        const ReportRow total = ReportRowAt(report, 4);
        // Column 10 of the list.
        QCOMPARE(total.cells[9], QStringLiteral("61.00"));
        QCOMPARE(report.columns[9].heading, QStringLiteral("金额"));
        QVERIFY(!TurnoverReport(1).landscape);
    }

    void pagesBreakBetweenRows_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<double>("pageHeight");
        QTest::newRow("one page") << 5 << 1000.0;
        QTest::newRow("exactly full") << 10 << double(50 + 30 + 10 * 23 + 60);
        QTest::newRow("total does not fit") << 10 << double(50 + 30 + 10 * 23 + 59);
        QTest::newRow("two hundred rows") << 200 << 1000.0;
        QTest::newRow("a page too small for one row") << 4 << 10.0;
    }
    void pagesBreakBetweenRows() {
        QFETCH(int, rows);
        QFETCH(double, pageHeight);
        const Report report = TurnoverReport(rows);
        const QList<ReportPage> pages = PaginateReport(report, pageHeight);
        QVERIFY(!pages.isEmpty());
        QList<int> dataRows;
        for (int p = 0; p < pages.size(); ++p) {
            const QList<int>& numbers = pages[p].rows;
            // Every page starts with the title or the repeated heading, and shows data.
            QCOMPARE(numbers.first(), p == 0 ? 1 : 2);
            if (p == 0) {
                QCOMPARE(numbers[1], 2);
            }
            int onPage = 0;
            for (int number : numbers) {
                if (ReportRowAt(report, number).kind == ReportRowKind::Data) {
                    dataRows << number;
                    ++onPage;
                }
            }
            QVERIFY(onPage > 0);
            const bool last = p == pages.size() - 1;
            QCOMPARE(numbers.contains(ReportRowCount(report) - 1), last);
            if (last) {
                QCOMPARE(numbers.last(), ReportRowCount(report));
            }
            // A page holds more than fits only when it holds a single data row.
            if (Height(report, pages[p]) > pageHeight) {
                QCOMPARE(onPage, 1);
            }
        }
        // Every data row is printed once, in order.
        QList<int> expected;
        for (int number = 3; number < 3 + rows; ++number) {
            expected << number;
        }
        QCOMPARE(dataRows, expected);
    }

    void exactlyFullAndOneShort() {
        const Report report = TurnoverReport(10);
        QCOMPARE(PaginateReport(report, 50 + 30 + 10 * 23 + 60).size(), 1);
        // The last row moves over with the total and the footer.
        const QList<ReportPage> pages = PaginateReport(report, 50 + 30 + 10 * 23 + 59);
        QCOMPARE(pages.size(), 2);
        QCOMPARE(pages[1].rows, QList<int>({2, 12, 13, 14}));
        QCOMPARE(PageNumberText(2, 5), QStringLiteral("第 2 页 / 共 5 页"));
    }
};

QTEST_GUILESS_MAIN(TestReportLayout)
#include "test_report_layout.moc"
