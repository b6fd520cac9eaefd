#include <QAction>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

#include "reports/report_preview.h"
#include "reports/statistics.h"
#include "support/message_script.h"
#include "support/report_sources.h"
#include "support/window_test.h"

namespace {

const QDateTime kPrinted(QDate(2026, 12, 6), QTime(14, 5, 9));

Report LongReport(const std::shared_ptr<const ReportRows>& rows) {
    return StatisticsReport(DescribeStatistics(StatisticsKind::Turnover), QStringLiteral("蓝天"),
                            rows, QStringLiteral("1.00"), QStringLiteral("管理员"), kPrinted);
}

}  // namespace

class TestReportPreviewWindow : public WindowTest {
    Q_OBJECT

    // A preview of `rows` on screen, its layout's reads forgotten.
    ReportPreview* Show(const std::shared_ptr<ScriptedRows>& rows) {
        auto* preview = new ReportPreview;
        preview->setAttribute(Qt::WA_DeleteOnClose);
        report_ = LongReport(rows);
        if (!preview->load(report_)) {
            qWarning("the report did not lay out");
        }
        rows->reads = 0;
        rows->lastRowRead = -1;
        preview->show();
        if (!QTest::qWaitForWindowExposed(preview)) {
            qWarning("the preview was not shown");
        }
        QCoreApplication::processEvents();
        return preview;
    }

    Report report_;

private Q_SLOTS:
    // The first page shows without reading the rows of the pages after it; turning to the last
    // page reads its rows then.
    void onlyThePagesInSightAreRead() {
        auto rows = std::make_shared<ScriptedRows>(3000, 9);
        ReportPreview* preview = Show(rows);
        const int pages = preview->previewWidget->pageCount();
        QVERIFY(pages > 50);
        QCOMPARE(preview->pageCountLabel->text(), QStringLiteral(" / %1 ").arg(pages));
        QVERIFY(rows->reads > 0);
        QVERIFY2(rows->lastRowRead < 3 * 3000 / pages,
                 qPrintable(QString::number(rows->lastRowRead)));
        preview->lastPageAction->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(preview->pageNumber->value(), pages);
        preview->previewWidget->viewport()->repaint();
        QCOMPARE(rows->lastRowRead, 2999);
    }

    // The page buttons and the page number move through the pages, and the number follows.
    void pagesAreTurnedByButtonsAndNumber() {
        ReportPreview* preview = Show(std::make_shared<ScriptedRows>(1000, 9));
        const int pages = preview->previewWidget->pageCount();
        QVERIFY(pages > 10);
        QCOMPARE(preview->pageNumber->value(), 1);
        preview->nextPageAction->trigger();
        QCOMPARE(preview->previewWidget->currentPage(), 2);
        QCOMPARE(preview->pageNumber->value(), 2);
        preview->lastPageAction->trigger();
        QCOMPARE(preview->previewWidget->currentPage(), pages);
        preview->previousPageAction->trigger();
        QCOMPARE(preview->pageNumber->value(), pages - 1);
        preview->firstPageAction->trigger();
        QCOMPARE(preview->previewWidget->currentPage(), 1);
        preview->pageNumber->setFocus();
        preview->pageNumber->selectAll();
        QTest::keyClicks(preview->pageNumber, QStringLiteral("5"));
        QTest::keyClick(preview->pageNumber, Qt::Key_Return);
        QCOMPARE(preview->previewWidget->currentPage(), 5);
        // Zooming keeps the page in sight.
        const double fitted = preview->previewWidget->zoomFactor();
        preview->zoomInAction->trigger();
        QVERIFY(preview->previewWidget->zoomFactor() > fitted);
        QCOMPARE(preview->previewWidget->currentPage(), 5);
        preview->fitWidthAction->trigger();
        QCOMPARE(preview->previewWidget->zoomFactor(), fitted);
    }

    // Turning the paper lays the pages out again: fewer rows a page, so more pages.
    void turningThePaperLaysOutAgain() {
        ReportPreview* preview = Show(std::make_shared<ScriptedRows>(1000, 9));
        QVERIFY(preview->portraitAction->isChecked());
        const int portrait = preview->previewWidget->pageCount();
        preview->landscapeAction->trigger();
        QCOMPARE(preview->printer()->pageLayout().orientation(), QPageLayout::Landscape);
        QVERIFY(preview->landscapeAction->isChecked());
        QVERIFY(!preview->portraitAction->isChecked());
        QVERIFY(preview->previewWidget->pageCount() > portrait);
        QCOMPARE(preview->pageCountLabel->text(),
                 QStringLiteral(" / %1 ").arg(preview->previewWidget->pageCount()));
    }

    // Rows that cannot be read are said as a database error, and no preview opens.
    void unreadableRowsOpenNoPreview() {
        const Report report = LongReport(std::make_shared<ScriptedRows>(100, 9, 50));
        MessageScript messages;
        messages.expect(QStringLiteral("数据库操作失败：disk I/O error"));
        ShowReportPreview(report);
        VERIFY_MESSAGES(messages);
        QVERIFY(!ui::WindowHost::instance<ReportPreview>()->isVisible());
    }
};

QTEST_MAIN(TestReportPreviewWindow)
#include "test_report_preview_window.moc"
