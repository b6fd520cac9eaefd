#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "app/localization.h"
#include "repairs/slip_painter.h"
#include "reports/report_layout.h"
#include "reports/report_painter.h"
#include "reports/statistics.h"
#include "support/pdf_text.h"
#include "support/report_sources.h"

namespace {

const QDateTime kPrinted(QDate(2026, 12, 6), QTime(14, 5, 9));

Report MakeReport(StatisticsKind kind, int count) {
    const StatisticsDescription& d = DescribeStatistics(kind);
    QList<QStringList> rows;
    for (int r = 0; r < count; ++r) {
        QStringList cells{QStringLiteral("{KEY}")};
        for (int c = 1; c < d.columns.size(); ++c) {
            cells << (c == d.numberColumn
                          ? QStringLiteral("N%1").arg(r + 1, 4, 10, QLatin1Char('0'))
                          : QStringLiteral("x"));
        }
        rows << cells;
    }
    return StatisticsReport(d, QStringLiteral("蓝天"), KeyedListRows(rows),
                            QStringLiteral("4321.00"), QStringLiteral("管理员"), kPrinted);
}

PdfText PrintToPdf(const Report& report, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    SetUpReportPrinter(printer, report);
    if (!PrintReport(report, printer)) {
        return PdfText{false, QStringLiteral("printing failed"), {}};
    }
    return ReadPdfText(path);
}

// Item lines as a shop writes them: long names, descriptions and telephone numbers.
Report LongItemReport() {
    const StatisticsDescription& d = DescribeStatistics(StatisticsKind::ItemDetail);
    QList<QStringList> rows;
    const char* items[][3] = {
        {"空气滤清器", "更换空气滤清器并清洁进气道", "0755-88886666"},
        {"空调滤清器（活性炭）", "更换空调滤清器，杀菌除味", "13800138000"},
        {"全车四轮定位及动平衡", "四轮定位、动平衡、轮胎换位", "010-62345678"}};
    for (int r = 0; r < 3; ++r) {
        rows << QStringList{QStringLiteral("{KEY}"),
                            QStringLiteral("2026-11-2%1").arg(r),
                            QStringLiteral("20261120-%1").arg(1001 + r),
                            QStringLiteral("京AD1234%1").arg(r),
                            QStringLiteral("欧阳明月"),
                            QString::fromUtf8(items[r][2]),
                            QString::fromUtf8(items[r][0]),
                            QString::fromUtf8(items[r][1]),
                            QStringLiteral("12.50"),
                            QStringLiteral("12345.60"),
                            QStringLiteral("154320.00"),
                            QStringLiteral("管理员")};
    }
    Report report =
        StatisticsReport(d, QStringLiteral("蓝天"), KeyedListRows(rows),
                         QStringLiteral("462960.00"), QStringLiteral("管理员"), kPrinted);
    report.range = ReportRangeText(QDate(2026, 11, 1), QDate(2026, 11, 30));
    return report;
}

QString PageText(const PdfPage& page) {
    QStringList words;
    for (const PdfWord& word : page.words) {
        words << word.text;
    }
    return words.join(QLatin1Char(' '));
}

}  // namespace

class TestReportPainter : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    void initTestCase() { ApplyChineseLocale(*qApp); }

    // A long report breaks between rows: every page repeats the headings and tells its
    // number, each row is printed once, and the total and footer close the last page.
    void aLongReportPaginates() {
        const Report report = MakeReport(StatisticsKind::Turnover, 200);
        const PdfText pdf = PrintToPdf(report, dir_.filePath(QStringLiteral("long.pdf")));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        const int pages = int(pdf.pages.size());
        QVERIFY2(pages >= 4 && pages <= 8, qPrintable(QString::number(pages)));
        QStringList numbers;
        for (int p = 0; p < pages; ++p) {
            const PdfPage& page = pdf.pages[p];
            QVERIFY(page.size.height() > page.size.width());
            const QString text = PageText(page);
            QVERIFY2(text.contains(QStringLiteral("第 %1 页 / 共 %2 页").arg(p + 1).arg(pages)),
                     qPrintable(text.right(80)));
            QVERIFY(text.contains(QStringLiteral("单号")));
            QCOMPARE(text.contains(QStringLiteral("蓝天营业统计报表")), p == 0);
            QCOMPARE(text.contains(QStringLiteral("合计:")), p == pages - 1);
            QCOMPARE(text.contains(QStringLiteral("制表人:[")), p == pages - 1);
            for (const PdfWord& word : page.words) {
                if (word.text.startsWith(QLatin1Char('N'))) {
                    numbers << word.text;
                }
            }
        }
        QCOMPARE(numbers.size(), 200);
        QCOMPARE(numbers.first(), QStringLiteral("N0001"));
        QCOMPARE(numbers.last(), QStringLiteral("N0200"));
        QCOMPARE(numbers.removeDuplicates(), 0);
        QVERIFY(PageText(pdf.pages.last()).contains(QStringLiteral("4321.00")));
        QVERIFY(PageText(pdf.pages.last()).contains(QStringLiteral("2026-12-06 14:05:09]")));
    }

    void theItemReportPrintsLandscape() {
        const Report report = MakeReport(StatisticsKind::ItemDetail, 3);
        const PdfText pdf = PrintToPdf(report, dir_.filePath(QStringLiteral("items.pdf")));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);
        QVERIFY(pdf.pages[0].size.width() > pdf.pages[0].size.height());
        const QString text = PageText(pdf.pages[0]);
        QVERIFY(text.contains(QStringLiteral("蓝天营业明细统计报表")));
        QVERIFY(text.contains(QStringLiteral("项目说明")));
        QVERIFY(text.contains(QStringLiteral("第 1 页 / 共 1 页")));
    }

    // Every text of the item report prints whole, at the size of its row, on a landscape page:
    // no word is missing or shrunk, and no two of a row overlap.
    void theItemReportFitsItsColumnsOnLandscape() {
        const Report report = LongItemReport();
        const PdfText pdf = PrintToPdf(report, dir_.filePath(QStringLiteral("long-items.pdf")));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);
        const PdfPage& page = pdf.pages[0];
        QVERIFY(page.size.width() > page.size.height());
        QVERIFY(PageText(page).contains(QStringLiteral("统计日期：2026-11-01 至 2026-11-30")));
        auto find = [&](const QString& text, double y) {
            return std::find_if(page.words.begin(), page.words.end(), [&](const PdfWord& w) {
                return w.text == text && (y < 0 || qAbs(w.box.center().y() - y) < 2);
            });
        };
        for (int r = 0; r < report.rows->count(); ++r) {
            const QStringList cells = ReportRowTexts(*report.rows, r);
            // The order number is the row's own; its line is the row's line.
            const auto number = find(cells[1], -1);
            QVERIFY2(number != page.words.end(), qPrintable(cells[1]));
            const double y = number->box.center().y();
            QList<QRectF> boxes;
            for (const QString& cell : cells) {
                const auto word = find(cell, y);
                QVERIFY2(word != page.words.end(), qPrintable(cell));
                QVERIFY(word->box.left() >= 0 && word->box.right() <= page.size.width());
                // The heights of a row's words are those of its font; a shrunk text is lower.
                if (!boxes.isEmpty()) {
                    QVERIFY2(qAbs(word->box.height() - boxes.first().height()) < 0.5,
                             qPrintable(cell));
                    QVERIFY2(word->box.left() >= boxes.last().right(), qPrintable(cell));
                }
                boxes << word->box;
            }
        }
    }

    // Headings stand centred over their columns, amounts against the right of theirs and texts
    // against the left, whatever way each is drawn.
    void cellsKeepTheirAlignment() {
        const PdfText pdf =
            PrintToPdf(LongItemReport(), dir_.filePath(QStringLiteral("aligned.pdf")));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        const QList<PdfWord>& words = pdf.pages[0].words;
        auto box = [&](const QString& text) {
            for (const PdfWord& word : words) {
                if (word.text == text) {
                    return word.box;
                }
            }
            return QRectF();
        };
        const QRectF heading = box(QStringLiteral("单号"));
        const QRectF number = box(QStringLiteral("20261120-1001"));
        const QRectF plate = box(QStringLiteral("京AD12340"));
        const QRectF amount = box(QStringLiteral("154320.00"));
        const QRectF operatorName = box(QStringLiteral("管理员"));
        for (const QRectF& found : {heading, number, plate, amount, operatorName}) {
            QVERIFY(!found.isNull());
        }
        // Data texts start a padding inside their column; a centred heading has as much room
        // on either side of it, less the padding on the left and plus the one on the right.
        const double leftGap = heading.left() - number.left();
        const double rightGap = plate.left() - heading.right();
        QVERIFY2(leftGap > 1, qPrintable(QString::number(leftGap)));
        QVERIFY2(rightGap > leftGap && rightGap - leftGap < 8,
                 qPrintable(QStringLiteral("%1 %2").arg(leftGap).arg(rightGap)));
        const double amountGap = operatorName.left() - amount.right();
        QVERIFY2(amountGap > 0 && amountGap < 8, qPrintable(QString::number(amountGap)));
    }

    void longTextsTurnAPortraitReport() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const StatisticsDescription& d = DescribeStatistics(StatisticsKind::Turnover);
        Report report = MakeReport(StatisticsKind::Turnover, 3);
        QVERIFY(!ReportNeedsLandscape(report, printer));
        QList<QStringList> rows;
        for (int r = 0; r < report.rows->count(); ++r) {
            rows << ReportRowTexts(*report.rows, r);
        }
        rows[0][4] = QStringLiteral("一汽大众迈腾 2.0T 豪华型（进口发动机）四驱版本");
        report.rows = ListReportRows(rows);
        QVERIFY(ReportNeedsLandscape(report, printer));
        QCOMPARE(d.landscape, false);
    }

    void anEmptyReportIsOnePage() {
        const Report report = MakeReport(StatisticsKind::Technician, 0);
        const PdfText pdf = PrintToPdf(report, dir_.filePath(QStringLiteral("empty.pdf")));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QCOMPARE(pdf.pages.size(), 1);
        const QString text = PageText(pdf.pages[0]);
        QVERIFY(text.contains(QStringLiteral("蓝天维修技师统计报表")));
        QVERIFY(text.contains(QStringLiteral("合计:")));
        QVERIFY(!text.contains(QStringLiteral("单号")));
    }

    // Columns are sized from the shapes of their texts, each measured once; no text of any
    // shape may come out wider than its column, whichever digits or characters it holds.
    void noDataTextIsWiderThanItsColumn_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("narrow digits, then wide ones of the same shape") << QStringList{
            QStringLiteral("1111.11"), QStringLiteral("8888.88"), QStringLiteral("4444.44")};
        QTest::newRow("Chinese of one length") << QStringList{
            QStringLiteral("一一一一"), QStringLiteral("躞鬱鑿齉"), QStringLiteral("欧阳明月")};
        QTest::newRow("mixed and full-width punctuation")
            << QStringList{QStringLiteral("京AD12340"), QStringLiteral("空调滤清器（活性炭）"),
                           QStringLiteral("WWWW"), QStringLiteral("0755-88886666")};
    }
    void noDataTextIsWiderThanItsColumn() {
        QFETCH(QStringList, texts);
        const StatisticsDescription& d = DescribeStatistics(StatisticsKind::Turnover);
        QList<QStringList> rows;
        for (const QString& text : texts) {
            rows << QStringList(d.columns.size() - 1, text);
        }
        Report report = MakeReport(StatisticsKind::Turnover, 0);
        report.rows = ListReportRows(rows);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const DbResult<QList<double>> widths = ReportColumnWidths(report, printer);
        QVERIFY(widths);
        QFont font(SlipFontFamily());
        font.setPointSizeF(report.dataFontSize);
        const QFontMetricsF metrics(font, &printer);
        const double perPixel = printer.logicalDpiX() / 96.0;
        for (int c = 0; c < widths->size(); ++c) {
            for (const QString& text : texts) {
                QVERIFY2(metrics.horizontalAdvance(text) / perPixel < widths->at(c),
                         qPrintable(text));
            }
        }
    }

    // A report longer than a chunk prints every row, reading a chunk at most at a time; a
    // read that fails stops the print and says why instead of leaving half a report.
    void aLongReportPrintsFromItsRows() {
        auto rows = std::make_shared<ScriptedRows>(kReportChunkRows + 40, 9);
        Report report = MakeReport(StatisticsKind::Turnover, 0);
        report.rows = rows;
        const PdfText pdf = PrintToPdf(report, dir_.filePath(QStringLiteral("long.pdf")));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QVERIFY(rows->largestRead <= kReportChunkRows);
        QVERIFY(PageText(pdf.pages.first()).contains(QStringLiteral("r1c1")));
        QVERIFY(PageText(pdf.pages.last()).contains(QStringLiteral("r%1c9").arg(rows->count())));

        report.rows = std::make_shared<ScriptedRows>(kReportChunkRows + 40, 9, kReportChunkRows);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir_.filePath(QStringLiteral("failed.pdf")));
        QString readError;
        QVERIFY(!PrintReport(report, printer, &readError));
        QCOMPARE(readError, QStringLiteral("disk I/O error"));
    }
};

QTEST_MAIN(TestReportPainter)
#include "test_report_painter.moc"
