#include <QTest>

#include "reports/report_layout.h"
#include "reports/statistics.h"
#include "support/report_sources.h"

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
                            KeyedListRows(ListRows(rows, 10)), QStringLiteral("123.45"),
                            QStringLiteral("管理员"), kPrinted);
}

ReportSummary Summary(int rows) {
    ReportSummary summary;
    summary.caption = QStringLiteral("维修技师汇总");
    summary.columns = {{QStringLiteral("维修技师"), 100, false, 0},
                       {QStringLiteral("单数"), 60, true, 0},
                       {QStringLiteral("营业额"), 100, true, 2}};
    for (int r = 0; r < rows; ++r) {
        summary.rows << QStringList{QStringLiteral("技师%1").arg(r + 1), QStringLiteral("1"),
                                    QStringLiteral("10.00")};
    }
    summary.total = {QStringLiteral("合计"), QString::number(rows), QStringLiteral("0.00")};
    return summary;
}

// A turnover report with its range line and a summary of `summaryRows` technicians.
Report FullReport(int rows, int summaryRows) {
    Report report = TurnoverReport(rows);
    report.range = ReportRangeText(QDate(2026, 11, 1), QDate(2026, 11, 30));
    report.summary = Summary(summaryRows);
    return report;
}

QList<ReportRowKind> Kinds(const Report& report, const QList<int>& numbers) {
    QList<ReportRowKind> kinds;
    for (int number : numbers) {
        kinds << ReportRowAt(report, number).kind;
    }
    return kinds;
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

    void worksheetNamesAWorkbookAccepts_data() {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("name");
        QTest::newRow("report") << "营业统计报表"
                                << "营业统计报表";
        QTest::newRow("refused characters") << "a[b]:c*d?e/f\\g"
                                            << "abcdefg";
        QTest::newRow("too long") << QString(40, QChar(u'表')) << QString(31, QChar(u'表'));
        QTest::newRow("quotes at the ends") << "'客户'"
                                            << "客户";
        QTest::newRow("nothing left") << "[]"
                                      << "报表";
    }
    void worksheetNamesAWorkbookAccepts() {
        QFETCH(QString, wanted);
        QFETCH(QString, name);
        QCOMPARE(WorksheetName(wanted), name);
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
                             nullptr, QStringLiteral("0.00"), QStringLiteral("管理员"), kPrinted);
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
        const Report report =
            StatisticsReport(DescribeStatistics(StatisticsKind::ItemDetail), QStringLiteral("蓝天"),
                             KeyedListRows(ListRows(1, 12)), QStringLiteral("61.00"),
                             QStringLiteral("管理员"), kPrinted);
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

    // The dates stand under the title; the summary follows the footer with columns of its own.
    void rangeLineAndSummaryRows() {
        const Report report = FullReport(2, 2);
        QCOMPARE(report.range, QStringLiteral("统计日期：2026-11-01 至 2026-11-30"));
        using K = ReportRowKind;
        QCOMPARE(ReportRowCount(report), 12);
        QList<int> all;
        for (int number = 1; number <= 12; ++number) {
            all << number;
        }
        QCOMPARE(Kinds(report, all),
                 QList<K>({K::Title, K::Range, K::Heading, K::Data, K::Data, K::Total, K::Footer,
                           K::SummaryCaption, K::SummaryHeading, K::SummaryData, K::SummaryData,
                           K::SummaryTotal}));
        const ReportRow range = ReportRowAt(report, 2);
        QVERIFY(range.merged && !range.shaded);
        QCOMPARE(range.cells[0], report.range);
        QCOMPARE(ReportRowAt(report, 4).cells[0], QStringLiteral("r1c1"));
        QCOMPARE(ReportRowAt(report, 9).cells, QStringList({"维修技师", "单数", "营业额"}));
        QCOMPARE(ReportRowAt(report, 11).cells, QStringList({"技师2", "1", "10.00"}));
        QCOMPARE(ReportRowAt(report, 12).cells, QStringList({"合计", "2", "0.00"}));
        QVERIFY(IsSummaryRow(K::SummaryCaption) && !IsSummaryRow(K::Footer));

        // With no order listed there is nothing to sum up either.
        Report empty = FullReport(0, 0);
        QCOMPARE(Kinds(empty, {1, 2, 3, 4}), QList<K>({K::Title, K::Range, K::Total, K::Footer}));
        QCOMPARE(ReportRowCount(empty), 4);
    }

    void theSummaryBreaksBetweenItsRows_data() {
        QTest::addColumn<int>("summaryRows");
        QTest::addColumn<double>("pageHeight");
        QTest::addColumn<int>("pageCount");
        // Title, range, heading, two rows, total and footer take 212.
        QTest::newRow("all on one page") << 3 << 1000.0 << 1;
        QTest::newRow("caption, heading and first row just fit") << 3 << 212.0 + 97 << 2;
        QTest::newRow("the summary starts on a page of its own") << 3 << 212.0 + 96 << 2;
        QTest::newRow("a long summary") << 60 << 500.0 << 4;
        QTest::newRow("one row goes with its total") << 1 << 212.0 + 97 << 2;
    }
    void theSummaryBreaksBetweenItsRows() {
        QFETCH(int, summaryRows);
        QFETCH(double, pageHeight);
        QFETCH(int, pageCount);
        const Report report = FullReport(2, summaryRows);
        const QList<ReportPage> pages = PaginateReport(report, pageHeight);
        QCOMPARE(pages.size(), pageCount);
        QList<int> summaryData;
        for (int p = 0; p < pages.size(); ++p) {
            const QList<ReportRowKind> kinds = Kinds(report, pages[p].rows);
            QVERIFY(Height(report, pages[p]) <= pageHeight);
            int onPage = 0;
            for (int i = 0; i < kinds.size(); ++i) {
                if (kinds[i] == ReportRowKind::SummaryData) {
                    summaryData << pages[p].rows[i];
                    ++onPage;
                }
                // The caption is followed by the heading and a row; every row has a heading
                // above it on its page.
                if (kinds[i] == ReportRowKind::SummaryCaption) {
                    QCOMPARE(kinds.value(i + 1), ReportRowKind::SummaryHeading);
                    QCOMPARE(kinds.value(i + 2), ReportRowKind::SummaryData);
                }
            }
            if (onPage > 0) {
                QVERIFY(kinds.contains(ReportRowKind::SummaryHeading));
            }
            if (p > 0) {
                QVERIFY(kinds.first() == ReportRowKind::SummaryCaption ||
                        kinds.first() == ReportRowKind::SummaryHeading);
            }
            // The total comes after the last row, on its page.
            if (kinds.contains(ReportRowKind::SummaryTotal)) {
                QCOMPARE(p, pages.size() - 1);
                QCOMPARE(kinds.last(), ReportRowKind::SummaryTotal);
                QCOMPARE(kinds[kinds.size() - 2], ReportRowKind::SummaryData);
            }
        }
        QCOMPARE(summaryData.size(), summaryRows);
        QCOMPARE(summaryData.first(), 10);
        QCOMPARE(summaryData.last(), 10 + summaryRows - 1);
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

    // A long report is paged from row heights alone: no text is read, and every data row is
    // on exactly one page, in order, whatever the list behind it.
    void pagingReadsNoRows() {
        auto rows = std::make_shared<ScriptedRows>(50000, 9);
        Report report = TurnoverReport(0);
        report.rows = rows;
        const QList<ReportPage> pages = PaginateReport(report, 1000);
        QCOMPARE(rows->reads, 0);
        int expected = 0;
        for (const ReportPage& page : pages) {
            for (int number : page.rows) {
                const int index = ReportDataIndex(report, number);
                if (index >= 0) {
                    QCOMPARE(index, expected++);
                }
            }
        }
        QCOMPARE(expected, 50000);
        // A data row's texts are those of its own row of the list.
        const ReportRow row = ReportRowAt(report, ReportRowCount(report) - 2);
        QCOMPARE(row.kind, ReportRowKind::Data);
        QCOMPARE(row.cells.first(), QStringLiteral("r50000c1"));
        QCOMPARE(row.cells.size(), report.columns.size());
    }

    // A pass over every row reads in chunks, stops when asked, and ends at a failed read.
    void readingEveryRowInChunks_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("failFrom");
        QTest::addColumn<int>("stopAfter");  // rows after which the pass is stopped; -1: never
        QTest::addColumn<int>("visited");
        QTest::addColumn<bool>("ok");
        QTest::newRow("empty") << 0 << -1 << -1 << 0 << true;
        QTest::newRow("one chunk") << kReportChunkRows << -1 << -1 << kReportChunkRows << true;
        QTest::newRow("three chunks")
            << 2 * kReportChunkRows + 1 << -1 << -1 << 2 * kReportChunkRows + 1 << true;
        QTest::newRow("stopped") << 3 * kReportChunkRows << -1 << kReportChunkRows
                                 << kReportChunkRows << true;
        QTest::newRow("failing") << 3 * kReportChunkRows << kReportChunkRows + 5 << -1
                                 << kReportChunkRows + 5 << false;
    }
    void readingEveryRowInChunks() {
        QFETCH(int, count);
        QFETCH(int, failFrom);
        QFETCH(int, stopAfter);
        QFETCH(int, visited);
        QFETCH(bool, ok);
        const ScriptedRows rows(count, 2, failFrom);
        int seen = 0;
        bool inOrder = true;
        const DbStatus read = ReadAllReportRows(
            rows,
            [&](int row, const QList<QByteArrayView>& cells) {
                inOrder = inOrder && row == seen && cells.size() == 2;
                ++seen;
            },
            [&](int done) { return stopAfter < 0 || done < stopAfter; });
        QCOMPARE(bool(read), ok);
        QCOMPARE(seen, visited);
        QVERIFY(inOrder);
        QVERIFY(rows.largestRead <= kReportChunkRows);
    }
};

QTEST_GUILESS_MAIN(TestReportLayout)
#include "test_report_layout.moc"
