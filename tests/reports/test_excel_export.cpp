#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "reports/excel_export.h"
#include "reports/report_layout.h"
#include "reports/statistics.h"
#include "support/report_sources.h"
#include "support/xlsx_rows.h"

namespace {

const QDateTime kPrinted(QDate(2026, 12, 6), QTime(14, 5, 9));

QStringList Order(const char* number, const char* owner, const char* amount) {
    return {QStringLiteral("{KEY}"),     QStringLiteral("2026-12-01"),
            QString::fromLatin1(number), QStringLiteral("京A1'%_"),
            QString::fromUtf8(owner),    QStringLiteral("013800138000"),
            QStringLiteral("捷达"),      QString::fromLatin1(amount),
            QStringLiteral("李师傅"),    QString()};
}

}  // namespace

class TestExcelExport : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    // The workbook read back by another reader holds the title, the headings, every row with
    // its texts as texts and its amounts as numbers, and the total row.
    void readsBackTheRowsAndTheTotal() {
        const QList<QStringList> rows = {Order(" 20261201001", "张三", "100.00"),
                                         Order(" 20261201002", "O'Neil \"老王\"", "0.13")};
        const Report report = StatisticsReport(
            DescribeStatistics(StatisticsKind::Turnover), QStringLiteral("蓝天"),
            KeyedListRows(rows), QStringLiteral("100.13"), QStringLiteral("管理员"), kPrinted);
        const QString path = dir_.filePath(QStringLiteral("营业.xlsx"));
        QCOMPARE(ExportWorkbook(report, path, SheetHead::TitleAndDates), QString());

        const XlsxRows book = ReadXlsxRows(path);
        QVERIFY2(book.ok, qPrintable(book.error));
        QCOMPARE(book.rows.size(), 5);
        // The sheet is named by the report, not "Sheet1".
        QCOMPARE(book.sheetName, QStringLiteral("营业统计报表"));
        QCOMPARE(book.rows[0][0], QVariant(QStringLiteral("蓝天营业统计报表")));
        QCOMPARE(book.rows[1].size(), 9);
        QCOMPARE(book.rows[1][0], QVariant(QStringLiteral("日期")));
        QCOMPARE(book.rows[1][6], QVariant(QStringLiteral("金额")));
        for (int r = 0; r < rows.size(); ++r) {
            const QList<QVariant>& cells = book.rows[r + 2];
            for (int c = 1; c < rows[r].size(); ++c) {
                const QString& shown = rows[r][c];
                const QVariant read = cells.value(c - 1);
                if (c == 7) {
                    QCOMPARE(read.typeId(), QMetaType::Double);
                    QCOMPARE(read.toDouble(), shown.toDouble());
                } else if (shown.isEmpty()) {
                    QVERIFY(!read.isValid());
                } else {
                    // Texts stay texts, a telephone's leading zero and a number's blank too.
                    QCOMPARE(read, QVariant(shown));
                }
            }
        }
        QCOMPARE(book.rows[4][0], QVariant(QStringLiteral("合计:")));
        QCOMPARE(book.rows[4][6], QVariant(100.13));
    }

    // The dates stand under the title; a summary follows the total after an empty row, its
    // counts and amounts as numbers.
    void theRangeAndTheSummaryAreExported() {
        Report report =
            StatisticsReport(DescribeStatistics(StatisticsKind::Technician), QStringLiteral("蓝天"),
                             KeyedListRows({Order(" 20261201001", "张三", "100.00")}),
                             QStringLiteral("100.00"), QStringLiteral("管理员"), kPrinted);
        report.range = ReportRangeText(QDate(2026, 11, 1), QDate(2026, 11, 30));
        report.summary.caption = QStringLiteral("维修技师汇总");
        report.summary.columns = {{QStringLiteral("维修技师"), 100, false, 0},
                                  {QStringLiteral("单数"), 60, true, 0},
                                  {QStringLiteral("营业额"), 100, true, 2}};
        report.summary.rows = {
            {QStringLiteral("李师傅"), QStringLiteral("1"), QStringLiteral("100.00")}};
        report.summary.total = {QStringLiteral("合计"), QStringLiteral("1"),
                                QStringLiteral("100.00")};
        const QString path = dir_.filePath(QStringLiteral("技师.xlsx"));
        QCOMPARE(ExportWorkbook(report, path, SheetHead::TitleAndDates), QString());
        const XlsxRows book = ReadXlsxRows(path);
        QVERIFY2(book.ok, qPrintable(book.error));
        QCOMPARE(book.rows.size(), 10);
        QCOMPARE(book.rows[0][0], QVariant(QStringLiteral("蓝天维修技师统计报表")));
        QCOMPARE(book.rows[1][0], QVariant(QStringLiteral("统计日期：2026-11-01 至 2026-11-30")));
        QCOMPARE(book.rows[2][1], QVariant(QStringLiteral("单号")));
        QCOMPARE(book.rows[3][1], QVariant(QStringLiteral(" 20261201001")));
        QCOMPARE(book.rows[4][0], QVariant(QStringLiteral("合计:")));
        QVERIFY(book.rows[5].isEmpty() || !book.rows[5][0].isValid());
        QCOMPARE(book.rows[6][0], QVariant(QStringLiteral("维修技师汇总")));
        QCOMPARE(book.rows[7], QList<QVariant>({QStringLiteral("维修技师"), QStringLiteral("单数"),
                                                QStringLiteral("营业额")}));
        QCOMPARE(book.rows[8], QList<QVariant>({QStringLiteral("李师傅"), 1.0, 100.0}));
        QCOMPARE(book.rows[9], QList<QVariant>({QStringLiteral("合计"), 1.0, 100.0}));
    }

    void anEmptyListExportsHeadingsAndTotal() {
        const Report report =
            StatisticsReport(DescribeStatistics(StatisticsKind::ItemDetail), QStringLiteral("蓝天"),
                             nullptr, QStringLiteral("0.00"), QStringLiteral("管理员"), kPrinted);
        const QString path = dir_.filePath(QStringLiteral("empty.xlsx"));
        // A table alone starts with its headings.
        QCOMPARE(ExportWorkbook(report, path), QString());
        const XlsxRows book = ReadXlsxRows(path);
        QVERIFY2(book.ok, qPrintable(book.error));
        QCOMPARE(book.rows.size(), 2);
        QCOMPARE(book.rows[0].size(), 11);
        QCOMPARE(book.rows[0][0], QVariant(QStringLiteral("日期")));
        QCOMPARE(book.rows[1][9], QVariant(0.0));
    }

    void aFileThatCannotBeWrittenIsReported() {
        const Report report =
            StatisticsReport(DescribeStatistics(StatisticsKind::Turnover), QString(), nullptr,
                             QStringLiteral("0.00"), QString(), kPrinted);
        const QString path = dir_.filePath(QStringLiteral("no/such/folder/x.xlsx"));
        QVERIFY(!ExportWorkbook(report, path).isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    // A list longer than a chunk is written whole and in order, with its total after it, read
    // a chunk at a time; progress climbs to the whole.
    void aLongListStreamsInOrder() {
        const int count = 2 * kReportChunkRows + 7;
        auto rows = std::make_shared<ScriptedRows>(count, 9);
        Report report =
            StatisticsReport(DescribeStatistics(StatisticsKind::Turnover), QStringLiteral("蓝天"),
                             rows, QStringLiteral("1.00"), QStringLiteral("管理员"), kPrinted);
        const QString path = dir_.filePath(QStringLiteral("long.xlsx"));
        QList<qsizetype> done;
        const ExportOutcome outcome =
            StreamWorkbook(report, path, SheetHead::TableOnly, [&](qsizetype d, qsizetype total) {
                done << d;
                return total == count;
            });
        QCOMPARE(int(outcome.end), int(ExportOutcome::End::Written));
        QVERIFY(rows->largestRead <= kReportChunkRows);
        QCOMPARE(done.last(), qsizetype(count));
        QVERIFY(std::is_sorted(done.begin(), done.end()));
        const XlsxRows book = ReadXlsxRows(path);
        QVERIFY2(book.ok, qPrintable(book.error));
        QCOMPARE(book.rows.size(), count + 2);
        QCOMPARE(book.rows[1][0], QVariant(QStringLiteral("r1c1")));
        QCOMPARE(book.rows[count][8], QVariant(QStringLiteral("r%1c9").arg(count)));
        QCOMPARE(book.rows[count + 1][0], QVariant(QStringLiteral("合计:")));
    }

    // An export stopped by the operator or cut short by the database writes nothing: a file
    // that stood there before stays as it was. The outcome says which of the two it was.
    void aStoppedOrFailedExportLeavesNoFile_data() {
        QTest::addColumn<int>("failFrom");
        QTest::addColumn<int>("end");
        QTest::newRow("stopped") << -1 << int(ExportOutcome::End::Cancelled);
        QTest::newRow("read failed") << kReportChunkRows + 1 << int(ExportOutcome::End::ReadFailed);
    }
    void aStoppedOrFailedExportLeavesNoFile() {
        QFETCH(int, failFrom);
        QFETCH(int, end);
        Report report =
            StatisticsReport(DescribeStatistics(StatisticsKind::Turnover), QStringLiteral("蓝天"),
                             std::make_shared<ScriptedRows>(3 * kReportChunkRows, 9, failFrom),
                             QStringLiteral("1.00"), QStringLiteral("管理员"), kPrinted);
        const QString path = dir_.filePath(QStringLiteral("stopped.xlsx"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier export");
        old.close();
        const ExportOutcome outcome =
            StreamWorkbook(report, path, SheetHead::TitleAndDates,
                           [&](qsizetype done, qsizetype) { return failFrom >= 0 || done < 2; });
        QCOMPARE(int(outcome.end), end);
        QCOMPARE(outcome.reason.isEmpty(), failFrom < 0);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("an earlier export"));
        old.close();
        // Without progress the reason is the one thing a caller gets.
        if (failFrom >= 0) {
            const QString never = dir_.filePath(QStringLiteral("never.xlsx"));
            QCOMPARE(ExportWorkbook(report, never), outcome.reason);
            QVERIFY(!QFile::exists(never));
        }
    }
};

QTEST_GUILESS_MAIN(TestExcelExport)
#include "test_excel_export.moc"
