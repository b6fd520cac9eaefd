#include "bench_reports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "data/database.h"
#include "data_generator.h"
#include "measure.h"
#include "reports/excel_export.h"
#include "reports/report_painter.h"
#include "reports/report_preview.h"
#include "reports/statistics.h"
#include "reports/statistics_rows.h"
#include "reports/statistics_window.h"
#include "session/current_operator.h"
#include "ui/date_picker.h"
#include "ui/grid.h"

namespace {

// The statement with its values written in, for the shell.
QString ShellQuery(const StatisticsDescription& d, const StatisticsFilter& filter) {
    return SplicedQuery(StatisticsStatement(d, filter), StatisticsParameters(d, filter));
}

void BenchLists(const QString& dir, const QString& sqlite3) {
    OpenShop(dir);
    struct Case {
        QString what;
        StatisticsKind kind;
        QDate from;
        QDate to;
    };
    const Case cases[] = {
        {QStringLiteral("turnover, one month"), StatisticsKind::Turnover, QDate(2023, 6, 1),
         QDate(2023, 6, 30)},
        {QStringLiteral("turnover, one year"), StatisticsKind::Turnover, QDate(2023, 1, 1),
         QDate(2023, 12, 31)},
        {QStringLiteral("turnover, everything"), StatisticsKind::Turnover, QDate(2000, 1, 1),
         QDate(2030, 12, 31)},
        {QStringLiteral("item detail, one month"), StatisticsKind::ItemDetail, QDate(2023, 6, 1),
         QDate(2023, 6, 30)},
    };
    for (const Case& c : cases) {
        auto* window = new StatisticsWindow(c.kind);
        window->resize(1000, 700);
        window->show();
        QApplication::processEvents();
        const double emptyHeap = HeapMb();
        window->DTPicker1->setValue(c.from);
        window->DTPicker2->setValue(c.to);
        StatisticsFilter filter;
        filter.from = c.from;
        filter.to = c.to;
        const QString query = ShellQuery(window->description(), filter);
        SideBySide figures(sqlite3, dir + QStringLiteral("/database.db"), query);
        std::vector<double> last, walk;
        double heap = 0;
        for (int run = 0; run < 3; ++run) {
            // The first screen: rows, total and chart on screen.
            figures.run([window] {
                window->Command1_Click();
                QApplication::processEvents();
            });
            heap = std::max(heap, HeapMb() - emptyHeap);
            // The operator then drags the list to its last row.
            last.push_back(MedianSeconds(1, [window] {
                window->grid1->scrollToBottom();
                QApplication::processEvents();
            }));
            heap = std::max(heap, HeapMb() - emptyHeap);
            // Every row, as printing and export read them.
            walk.push_back(MedianSeconds(1, [window] {
                qint64 bytes = 0;
                const auto rows = window->rows();
                const DbStatus read =
                    rows->read(0, rows->count(), [&](int, const QList<QByteArrayView>& cells) {
                        for (QByteArrayView cell : cells) {
                            bytes += cell.size();
                        }
                    });
                if (!read || bytes == 0) {
                    qFatal("bench: the list's rows could not be read");
                }
            }));
        }
        PrintRow(
            QStringLiteral("(k) %1 (%2 rows): first screen").arg(c.what).arg(window->listedRows()),
            QStringLiteral("%1 s").arg(figures.ours(), 0, 'f', 3),
            figures.ratios() + QStringLiteral(" (the partners read every row); +%1 MB heap for "
                                              "the list")
                                   .arg(heap, 0, 'f', 1));
        PrintRow(QStringLiteral("(k) %1: then the last row").arg(c.what),
                 QStringLiteral("%1 s").arg(SideBySide::Median(last), 0, 'f', 3));
        const double every = SideBySide::Median(walk);
        PrintRow(QStringLiteral("(k) %1: every row read for a report").arg(c.what),
                 QStringLiteral("%1 s").arg(every, 0, 'f', 3),
                 QStringLiteral("%1x the shell, %2x in process")
                     .arg(every / figures.shell(), 0, 'f', 2)
                     .arg(every / figures.engine(), 0, 'f', 2));
        delete window;
        QApplication::processEvents();
    }
    Database::Close();
}

// What the toolkit's own preview did before: every page painted before the first is shown.
double PaintEveryPageFirst(const Report& report) {
    QElapsedTimer timer;
    timer.start();
    auto* dialog = new QPrintPreviewDialog;
    SetUpReportPrinter(*dialog->printer(), report);
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested,
                     [&report](QPrinter* printer) { PrintReport(report, *printer); });
    dialog->resize(900, 700);
    dialog->show();
    QApplication::processEvents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    delete dialog;
    QApplication::processEvents();
    return seconds;
}

void BenchReport(const QString& dir, const QString& root) {
    OpenShop(dir);
    StatisticsFilter filter;
    filter.from = QDate(2023, 1, 1);
    filter.to = QDate(2023, 1, 31);
    const StatisticsDescription& d = DescribeStatistics(StatisticsKind::Turnover);
    DbResult<StatisticsResult> result = RunStatistics(d, filter);
    if (!result || result->rows.size() < 10000) {
        qFatal("bench: not enough rows for the report");
    }
    result->rows.resize(10000);
    QList<QStringList> rows;
    for (const QStringList& row : result->rows) {
        rows << row.mid(1);
    }
    const Report report = StatisticsReport(d, QStringLiteral("蓝天汽修"), ListReportRows(rows),
                                           QStringLiteral("0.00"), QStringLiteral("管理员"),
                                           QDateTime::currentDateTime());
    std::vector<double> preview, everyPage, pdf;
    int pages = 0;
    for (int run = 0; run < 3; ++run) {
        everyPage.push_back(PaintEveryPageFirst(report));
        QElapsedTimer timer;
        timer.start();
        auto* dialog = new ReportPreview;
        if (!dialog->load(report)) {
            qFatal("bench: the report did not lay out");
        }
        dialog->show();
        QApplication::processEvents();
        preview.push_back(timer.nsecsElapsed() / 1e9);
        pages = dialog->previewWidget->pageCount();
        delete dialog;
        QApplication::processEvents();
        pdf.push_back(MedianSeconds(1, [&] {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(root + QStringLiteral("/report.pdf"));
            SetUpReportPrinter(printer, report);
            if (!PrintReport(report, printer)) {
                qFatal("bench: the report did not print");
            }
        }));
    }
    std::sort(preview.begin(), preview.end());
    std::sort(everyPage.begin(), everyPage.end());
    std::sort(pdf.begin(), pdf.end());
    PrintRow(
        QStringLiteral("(l) report preview of 10,000 rows, first page shown (%1 pages)").arg(pages),
        QStringLiteral("%1 s").arg(preview[1], 0, 'f', 3),
        QStringLiteral("every page painted first, as the toolkit's preview does: %1 s, %2x")
            .arg(everyPage[1], 0, 'f', 3)
            .arg(everyPage[1] / preview[1], 0, 'f', 1));
    PrintRow(QStringLiteral("(l) report of 10,000 rows to PDF"),
             QStringLiteral("%1 s").arg(pdf[1], 0, 'f', 3));
    Database::Close();
}

struct ExportCost {
    double seconds = 0;
    double heapMb = 0;  // the most heap held during the export beyond what was held before
};

ExportCost ExportWithPeak(const std::function<Report()>& makeReport, const QString& path) {
    const double before = HeapMb();
    double peak = before;
    QElapsedTimer timer;
    timer.start();
    const Report report = makeReport();
    peak = std::max(peak, HeapMb());
    const ExportOutcome outcome =
        StreamWorkbook(report, path, SheetHead::TitleAndDates, [&peak](qsizetype, qsizetype) {
            peak = std::max(peak, HeapMb());
            return true;
        });
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (outcome.end != ExportOutcome::End::Written) {
        qFatal("bench: the export failed: %s", qPrintable(outcome.reason));
    }
    QFile::remove(path);
    return {seconds, peak - before};
}

// A million listed orders to a workbook: read from the list as the window now hands them over,
// beside copying every cell into a list of texts first, as the window did before.
void BenchExport(const QString& dir, const QString& root) {
    OpenShop(dir);
    auto* window = new StatisticsWindow(StatisticsKind::Turnover);
    window->DTPicker1->setValue(QDate(2000, 1, 1));
    window->DTPicker2->setValue(QDate(2030, 12, 31));
    window->Command1_Click();
    const QString shop = QStringLiteral("蓝天汽修");
    const QString path = root + QStringLiteral("/export.xlsx");
    const ExportCost copied = ExportWithPeak(
        [&] {
            Report report = window->currentReport(shop);
            QList<QStringList> rows;
            rows.reserve(report.rows->count());
            (void)ReadAllReportRows(*report.rows, [&rows](int, const QList<QByteArrayView>& cells) {
                QStringList texts;
                for (QByteArrayView cell : cells) {
                    texts << QString::fromUtf8(cell);
                }
                rows << texts;
            });
            report.rows = ListReportRows(std::move(rows));
            return report;
        },
        path);
    const ExportCost streamed = ExportWithPeak([&] { return window->currentReport(shop); }, path);
    PrintRow(QStringLiteral("(m) %1 listed orders to Excel, streamed").arg(window->listedRows()),
             QStringLiteral("%1 s, +%2 MB heap")
                 .arg(streamed.seconds, 0, 'f', 3)
                 .arg(streamed.heapMb, 0, 'f', 1),
             QStringLiteral("every cell copied first: %1 s, +%2 MB heap")
                 .arg(copied.seconds, 0, 'f', 3)
                 .arg(copied.heapMb, 0, 'f', 1));
    delete window;
    QApplication::processEvents();
    Database::Close();
}

}  // namespace

namespace {

// A shop in `dir` with orders of up to five lines over the dates given; seconds it took.
double GenerateOrders(const QString& dir, int customers, int orders, const QDate& from,
                      const QDate& to) {
    OpenShop(dir);
    ShopSize size;
    size.customers = customers;
    size.orders = orders;
    size.ordersFrom = from;
    size.ordersTo = to;
    size.maxLines = 5;
    QElapsedTimer generating;
    generating.start();
    if (!GenerateShop(size)) {
        qFatal("bench: cannot generate the shop");
    }
    Database::Close();
    return generating.elapsed() / 1000.0;
}

}  // namespace

void BenchReports(const QString& root, const QString& sqlite3) {
    SetCurrentOperator(QStringLiteral("管理员"));
    // A shop generated by an earlier run may be named to save generating it again.
    QString dir = qEnvironmentVariable("RUVASO_BENCH_REPORTS_SHOP");
    if (dir.isEmpty()) {
        dir = root + QStringLiteral("/reports");
        const double seconds =
            GenerateOrders(dir, 100000, 1000000, QDate(2021, 1, 1), QDate(2025, 12, 31));
        PrintRow(QStringLiteral("(k) generating 1,000,000 orders over five years"),
                 QStringLiteral("%1 s").arg(seconds, 0, 'f', 1));
    } else {
        PrintRow(QStringLiteral("(k) the shop of an earlier run"), dir);
    }
    BenchLists(dir, sqlite3);
    BenchReport(dir, root);
    BenchExport(dir, root);
}

void BenchReportPages(const QString& root) {
    SetCurrentOperator(QStringLiteral("管理员"));
    const QString dir = root + QStringLiteral("/report-pages");
    GenerateOrders(dir, 2000, 12000, QDate(2023, 1, 1), QDate(2023, 1, 31));
    BenchReport(dir, root);
}
