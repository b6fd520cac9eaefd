#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include "app/localization.h"
#include "reports/report_layout.h"
#include "reports/report_painter.h"
#include "reports/statistics.h"
#include "support/pdf_text.h"

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
    return StatisticsReport(d, QStringLiteral("蓝天"), rows, QStringLiteral("4321.00"),
                            QStringLiteral("管理员"), kPrinted);
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
};

QTEST_MAIN(TestReportPainter)
#include "test_report_painter.moc"
