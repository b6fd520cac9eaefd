#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/main_window.h"
#include "core/clock.h"
#include "printing/default_printer_window.h"
#include "repairs/order_lines_window.h"
#include "reports/report_preview.h"
#include "reports/statistics_window.h"
#include "session/current_operator.h"
#include "support/cups_server.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/pdf_text.h"
#include "support/printing_test.h"
#include "support/text_fit.h"
#include "support/window_test.h"
#include "support/xlsx_rows.h"
#include "ui/bar_chart.h"
#include "ui/busy_indicator.h"
#include "ui/date_picker.h"
#include "ui/file_dialog.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

const QString kNoLines = QStringLiteral("没有找到明细记录！");

// Three orders on two days; the second has two lines and a total typed by hand.
void AddOrders() {
    Order first =
        TestDatabase::sampleOrder(QStringLiteral(" 20261201001"), QStringLiteral("京A10001"), 100);
    first.lines = {{QStringLiteral("更换机油"), QStringLiteral("全合成"), 1, 100, 100}};
    TestDatabase::addOrder(first);
    Order second =
        TestDatabase::sampleOrder(QStringLiteral(" 20261202001"), QStringLiteral("京B20002"), 35.5);
    second.owner = QStringLiteral("李四");
    second.technician = QStringLiteral("赵师傅");
    second.lines = {{QStringLiteral("补胎"), QStringLiteral("右后"), 2, 17.75, 35.5},
                    {QStringLiteral("打气"), QString(), 1, 0.5, 0.5}};
    TestDatabase::addOrder(second);
    TestDatabase::addOrder(TestDatabase::sampleOrder(QStringLiteral(" 20261202002"),
                                                     QStringLiteral("沪C30003"), 12.25));
}

StatisticsWindow* Open(StatisticsKind kind) {
    auto* window = new StatisticsWindow(kind);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    if (!QTest::qWaitForWindowExposed(window)) {
        qWarning("the statistics window was not shown");
    }
    window->DTPicker1->setValue(QDate(2026, 12, 1));
    window->DTPicker2->setValue(QDate(2026, 12, 2));
    return window;
}

QStringList Row(const ui::Grid& grid, int row) {
    QStringList texts;
    for (int col = 1; col < grid.cols(); ++col) {
        texts << grid.cellText(row, col);
    }
    return texts;
}

// Saves the report of the window's list as a PDF from its preview and reads it back.
PdfText SaveReportPdf(StatisticsWindow* window, const QString& path) {
    ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request&) { return path; });
    {
        ScopedModalDriver driver([&](QWidget* opened) {
            auto* preview = qobject_cast<ReportPreview*>(opened);
            QVERIFY(preview);
            MessageScript messages;
            messages.expect(QStringLiteral("PDF文件已保存：") + path);
            preview->pdfAction->trigger();
            VERIFY_MESSAGES(messages);
        });
        window->Command2->click();
    }
    return ReadPdfText(path);
}

// Orders as a shop writes them: long owner names, telephone numbers, models and item names.
void AddLongOrders() {
    const char* items[][2] = {{"空气滤清器", "更换空气滤清器并清洁进气道"},
                              {"空调滤清器（活性炭）", "更换空调滤清器，杀菌除味处理"},
                              {"全车四轮定位及动平衡", "四轮定位、动平衡、轮胎换位"}};
    for (int i = 0; i < 3; ++i) {
        Order order = TestDatabase::sampleOrder(QStringLiteral(" 2026120100%1").arg(i + 1),
                                                QStringLiteral("京AD1234%1").arg(i), 123456.78);
        order.owner = QStringLiteral("欧阳明月");
        order.telephone = QStringLiteral("0755-88886666 13800138000");
        order.model = QStringLiteral("一汽大众迈腾 2.0T 豪华型");
        order.technician = QStringLiteral("欧阳师傅（机修组长）");
        order.operatorName = QStringLiteral("前台接待员小王");
        order.lines = {{QString::fromUtf8(items[i][0]), QString::fromUtf8(items[i][1]), 1000,
                        123.45, 123456.78}};
        TestDatabase::addOrder(order);
    }
    TestDatabase::exec(QStringLiteral("insert into xm_table values ('{X1}', '空气滤清器', 20)"));
    TestDatabase::exec(
        QStringLiteral("insert into xm_table values ('{X2}', '空调滤清器（活性炭）', 20)"));
    TestDatabase::exec(
        QStringLiteral("insert into wxjs_table values ('{T1}', '欧阳师傅（机修组长）')"));
}

QStringList Column(const StatisticsWindow& window, int col) {
    QStringList texts;
    for (int row = 1; row < window.grid1->rows(); ++row) {
        texts << window.grid1->cellText(row, col);
    }
    return texts;
}

QPoint CellCentre(ui::Grid* grid, int row) {
    return grid->visualRect(grid->gridModel()->index(row, 3)).center();
}

// A double click as the operator makes it: the first click chooses the row.
void DoubleClickRow(ui::Grid* grid, int row) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, row));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, row));
}

}  // namespace

class TestStatisticsWindow : public PrintingTest {
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    void init() {
        PrintingTest::init();
        SetCurrentOperator(QStringLiteral("管理员"));
    }

    void theMenuOpensTheThreeWindows_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("form");
        QTest::addColumn<bool>("modal");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("print");
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("turnover") << "zmtj"
                                  << "Form19" << true << "账目统计管理"
                                  << "打印预览"
                                  << QStringList{"",     "日期", "单号", "车牌号",   "车主姓名",
                                                 "电话", "车型", "金额", "维修技师", "操作人"}
                                  << QList<int>{0, 85, 110, 100, 70, 120, 80, 80, 80};
        QTest::newRow("item detail")
            << "mxtj"
            << "Form20" << true << "明细统计管理"
            << "打印" << QStringList{"",         "日期",     "单号", "车牌号", "车主姓名", "电话",
                                     "维修项目", "项目说明", "数量", "单价",   "金额",     "操作人"}
            << QList<int>{0, 72, 75, 60, 74, 115, 80, 119, 38, 62, 61};
        QTest::newRow("technician")
            << "wxjstj"
            << "Form25" << false << "维修技师统计管理"
            << "打印预览" << QStringList{"",     "日期", "单号", "车牌号",   "车主姓名",
                                         "电话", "车型", "金额", "维修技师", "操作人"}
            << QList<int>{0, 85, 110, 100, 70, 120, 80, 80, 80};
    }
    void theMenuOpensTheThreeWindows() {
        QFETCH(QString, action);
        QFETCH(QString, form);
        QFETCH(bool, modal);
        QFETCH(QString, heading);
        QFETCH(QString, print);
        QFETCH(QStringList, headings);
        QFETCH(QList<int>, widths);
        TestDatabase::exec(QStringLiteral("insert into wxjs_table values ('{T1}', '赵师傅')"));
        TestDatabase::exec(QStringLiteral("insert into xm_table values ('{X1}', '补胎', 20)"));
        MainWindow main;
        QAction* item = main.findChild<QAction*>(action);
        QVERIFY(item);
        QVERIFY(item->isEnabled());
        StatisticsWindow* seen = nullptr;
        bool wasModal = false;
        auto check = [&](QWidget* shown) {
            seen = qobject_cast<StatisticsWindow*>(shown);
            QVERIFY(seen);
            wasModal = shown->isModal();
            QCOMPARE(seen->objectName(), form);
            QCOMPARE(seen->Label6->text(), heading);
            QCOMPARE(seen->Command1->text(), QStringLiteral("统计"));
            QCOMPARE(seen->Command2->text(), print);
            QCOMPARE(seen->Command3->text(), QStringLiteral("导出Excel"));
            QCOMPARE(seen->Command5->text(), QStringLiteral("关闭"));
            QCOMPARE(seen->DTPicker1->value(), Today());
            QCOMPARE(seen->DTPicker2->value(), Today());
            QCOMPARE(seen->grid1->rows(), 21);
            QCOMPARE(seen->Text9->text(), QStringLiteral("0.00"));
            QStringList shownHeadings;
            QList<int> shownWidths;
            for (int col = 0; col < seen->grid1->cols(); ++col) {
                shownHeadings << seen->grid1->cellText(0, col);
                if (col + 1 < seen->grid1->cols()) {
                    shownWidths << seen->grid1->columnWidth(col);
                }
            }
            QCOMPARE(shownHeadings, headings);
            QCOMPARE(shownWidths, widths);
            QVERIFY(seen->picLOAD->isHidden());
            if (form == QLatin1String("Form19")) {
                QCOMPARE(seen->Text1->toolTip(),
                         QStringLiteral("查找内容：车牌、车主姓名、手机号  填写完后按回车查找"));
                QVERIFY(seen->chartView);
            } else if (form == QLatin1String("Form20")) {
                QCOMPARE(seen->Combo1->count(), 1);
                QCOMPARE(seen->Combo1->currentText(), QString());
                QVERIFY(seen->Text1->toolTip().isEmpty());
            } else {
                QCOMPARE(seen->Combo2->itemText(0), QStringLiteral("赵师傅"));
                QCOMPARE(seen->Combo2->currentText(), QString());
                QVERIFY(!seen->Text1);
            }
        };
        if (modal) {
            ScopedModalDriver driver(check);
            item->trigger();
        } else {
            item->trigger();
            check(ui::WindowHost::findNamed(form));
        }
        QVERIFY(seen);
        QCOMPARE(wasModal, modal);
    }

    // Enter in the search box runs the query, as its tip promises; the total is the sum of
    // the listed amounts.
    void enterSearchesAndTheTotalAddsUp() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        QTest::keyClick(window->Text1, Qt::Key_Return);
        // Order numbers read as the date and the day's sequence.
        QCOMPARE(Column(*window, 2), QStringList({"20261201-001", "20261202-001", "20261202-002"}));
        QCOMPARE(Column(*window, 7), QStringList({"100.00", "35.50", "12.25"}));
        QCOMPARE(window->Text9->text(), QStringLiteral("147.75"));
        QCOMPARE(window->listedRows(), 3);

        window->Text1->setText(QStringLiteral("李四"));
        QTest::keyClick(window->Text1, Qt::Key_Return);
        QCOMPARE(Column(*window, 2), QStringList({"20261202-001"}));
        QCOMPARE(window->Text9->text(), QStringLiteral("35.50"));

        // Nothing found: the heading row only and a zero total.
        window->Text1->setText(QStringLiteral("'%_"));
        window->Command1->click();
        QCOMPARE(window->grid1->rows(), 1);
        QCOMPARE(window->Text9->text(), QStringLiteral("0.00"));
    }

    void theChartFollowsEachQuery() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        window->Command1->click();
        auto values = [window] {
            QList<double> shown;
            for (const ui::BarChart::Bar& bar : window->chartView->bars()) {
                shown << bar.value;
            }
            return shown;
        };
        QCOMPARE(values(), QList<double>({100.0, 47.75}));
        QCOMPARE(window->chartView->title(), QStringLiteral("每日营业额"));
        // The axis reaches past the tallest bar, in round steps from zero.
        const auto ticks = window->chartView->ticks();
        QVERIFY(ticks.size() >= 2);
        QCOMPARE(ticks.first().value, 0.0);
        QVERIFY(ticks.last().value >= 100.0);
        QVERIFY(!window->chartView->grab().isNull());
        window->Text1->setText(QStringLiteral("沪C"));
        window->Command1->click();
        QCOMPARE(values(), QList<double>({12.25}));
        // Nothing found: no bars, and the title says so.
        window->Text1->setText(QStringLiteral("没有这个人"));
        window->Command1->click();
        QCOMPARE(values(), QList<double>());
        QCOMPARE(window->chartView->title(), QStringLiteral("所选日期内没有数据"));
    }

    void aRowOpensTheOrderLines_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("turnover") << int(StatisticsKind::Turnover);
        QTest::newRow("technician") << int(StatisticsKind::Technician);
    }
    void aRowOpensTheOrderLines() {
        QFETCH(int, kind);
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind(kind));
        window->Command1->click();
        QStringList header;
        QStringList line;
        {
            ScopedModalDriver driver([&](QWidget* shown) {
                auto* view = qobject_cast<OrderLinesWindow*>(shown);
                QVERIFY(view);
                header = {view->Text4->text(), view->Text5->text(), view->Text9->text()};
                line = {view->Combo1[1]->currentText(), view->Text1[1]->text(),
                        view->Text3[1]->text()};
            });
            DoubleClickRow(window->grid1, 2);
        }
        QCOMPARE(window->SelectedRow, 2);
        QCOMPARE(header, QStringList({"赵师傅", "李四", "35.50"}));
        QCOMPARE(line, QStringList({"打气", "1.00", "0.50"}));

        // An order without lines says so.
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), kNoLines, MessageScript::Icon::Stop);
        DoubleClickRow(window->grid1, 3);
        VERIFY_MESSAGES(messages);
    }

    // Before any row is chosen the heading row is the selected one, which names no order.
    void aDoubleClickWithoutARowFindsNoLines() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), kNoLines, MessageScript::Icon::Stop)
            .expect(QStringLiteral("系统提示"), kNoLines, MessageScript::Icon::Stop);
        QCOMPARE(window->SelectedRow, 0);
        window->grid1_DblClick();
        // One of the empty rows shown before the first query.
        window->grid1->setCurrentCell(5, 2);
        window->grid1_DblClick();
        VERIFY_MESSAGES(messages);
    }

    // A result past 32,767 rows still opens the row chosen.
    void rowsPastSixteenBitsWork() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        window->Command1->click();
        window->grid1->setRows(40001);
        window->grid1->setCellText(40000, 2, QStringLiteral(" 20261202001"));
        window->grid1->setCurrentCell(40000, 2);
        QCOMPARE(window->SelectedRow, 40000);
    }

    // A list of thousands of orders reads its rows as they come into view: its end, a row far
    // down and the total are those of the whole list, and the model stays sound throughout.
    void aLongListShowsItsEnd() {
        TestDatabase::exec(QStringLiteral("begin"));
        for (int i = 0; i < 3000; ++i) {
            TestDatabase::exec(
                QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_hj,"
                               " kh_wx_date) values (?, ?, ?, ?, '2026-12-01')"),
                {QStringLiteral("{L%1}").arg(i),
                 QStringLiteral(" 20261201%1").arg(i, 4, 10, QLatin1Char('0')),
                 QStringLiteral("京A%1").arg(i), 0.25});
        }
        TestDatabase::exec(QStringLiteral("commit"));
        Order last = TestDatabase::sampleOrder(QStringLiteral(" 20261202001"),
                                               QStringLiteral("沪C30003"), 12.25);
        last.lines = {{QStringLiteral("补胎"), QStringLiteral("右后"), 1, 12.25, 12.25}};
        TestDatabase::addOrder(last);

        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        QAbstractItemModelTester tester(window->grid1->gridModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        window->Command1->click();
        QCOMPARE(window->listedRows(), 3001);
        QCOMPARE(window->grid1->rows(), 3002);
        QCOMPARE(window->Text9->text(), QStringLiteral("762.25"));
        QCOMPARE(Row(*window->grid1, 1).mid(0, 3),
                 QStringList({"2026-12-01", "20261201-0000", "京A0"}));

        window->grid1->setFocus();
        QTest::keyClick(window->grid1, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(window->SelectedRow, 3001);
        QCOMPARE(Row(*window->grid1, 3001).mid(0, 3),
                 QStringList({"2026-12-02", "20261202-001", "沪C30003"}));
        QCOMPARE(window->grid1->cellText(2000, 2), QStringLiteral("20261201-1999"));
        QStringList header;
        {
            ScopedModalDriver driver([&](QWidget* shown) {
                auto* view = qobject_cast<OrderLinesWindow*>(shown);
                QVERIFY(view);
                header = {view->Text9->text(), view->Combo1[0]->currentText()};
            });
            DoubleClickRow(window->grid1, 3001);
        }
        QCOMPARE(header, QStringList({"12.25", "补胎"}));

        // A narrower query drops the long list at once.
        window->DTPicker1->setValue(QDate(2026, 12, 2));
        window->Command1->click();
        QCOMPARE(window->grid1->rows(), 2);
        QCOMPARE(window->Text9->text(), QStringLiteral("12.25"));
    }

    void theItemListHasNoRowAction() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::ItemDetail);
        window->Combo1->setEditText(QStringLiteral("补"));
        QTest::keyClick(window->Combo1, Qt::Key_Return);
        QCOMPARE(Column(*window, 6), QStringList({"补胎"}));
        QCOMPARE(Column(*window, 8), QStringList({"2.00"}));
        QCOMPARE(window->Text9->text(), QStringLiteral("35.50"));
        // No message and no window: the item list opens nothing.
        DoubleClickRow(window->grid1, 1);
        QCOMPARE(window->SelectedRow, 0);
    }

    // The preview shows the report built from the list, and prints it on the default printer.
    void thePreviewPrintsOnTheDefaultPrinter() {
        AddOrders();
        QVERIFY2(cups_->addQueue(QStringLiteral("office")), qPrintable(cups_->message()));
        QVERIFY2(cups_->setServerDefault(QStringLiteral("office")), qPrintable(cups_->message()));
        TestDatabase::exec(QStringLiteral("update regedit_table set re_name = '蓝天'"));
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        window->Command1->click();
        Report shown;
        int pages = 0;
        {
            ScopedModalDriver driver([&](QWidget* opened) {
                auto* preview = qobject_cast<ReportPreview*>(opened);
                QVERIFY(preview);
                shown = preview->report();
                pages = preview->previewWidget->pageCount();
                preview->printAction->trigger();
                QVERIFY(!preview->isVisible());
            });
            window->Command2->click();
        }
        QCOMPARE(pages, 1);
        QCOMPARE(shown.title, QStringLiteral("蓝天营业统计报表"));
        QCOMPARE(shown.rows->count(), 3);
        QCOMPARE(shown.totalText, QStringLiteral("147.75"));
        QVERIFY(shown.footer.startsWith(QStringLiteral("制表人:[ 管理员 ]         打印时间:[")));

        QVERIFY2(cups_->waitForOutput(QStringLiteral("office")), qPrintable(cups_->message()));
        const QString printed = dir_.filePath(QStringLiteral("printed.pdf"));
        QFile file(printed);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(cups_->output(QStringLiteral("office")));
        file.close();
        const PdfText pdf = ReadPdfText(printed);
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        for (const char* text : {"蓝天营业统计报表", "统计日期：2026-12-01", "2026-12-02",
                                 "20261202-001", "李四", "35.50", "合计:", "147.75", "管理员"}) {
            QVERIFY2(pdf.words().contains(QString::fromUtf8(text)), text);
        }
    }

    // The technician list ends with each technician's orders and turnover: on screen, in the
    // printed report after the table and in the workbook after the total.
    void theTechnicianSummaryShowsEverywhere() {
        AddOrders();
        TestDatabase::exec(QStringLiteral("update regedit_table set re_name = '蓝天'"));
        StatisticsWindow* window = Open(StatisticsKind::Technician);
        QVERIFY(window->summaryGrid);
        QCOMPARE(window->summaryLabel->text(), QStringLiteral("维修技师汇总"));
        QCOMPARE(window->summaryGrid->rows(), 2);
        QCOMPARE(Row(*window->summaryGrid, 1), QStringList({"合计", "0", "0.00"}));
        window->Command1->click();
        QCOMPARE(window->summaryGrid->rows(), 4);
        QCOMPARE(Row(*window->summaryGrid, 0), QStringList({"维修技师", "单数", "营业额"}));
        QCOMPARE(Row(*window->summaryGrid, 1), QStringList({"李师傅", "2", "112.25"}));
        QCOMPARE(Row(*window->summaryGrid, 2), QStringList({"赵师傅", "1", "35.50"}));
        QCOMPARE(Row(*window->summaryGrid, 3), QStringList({"合计", "3", "147.75"}));
        // Only the total row is bold.
        QVERIFY(!window->summaryGrid->cellFormat(1, 1).bold);
        QVERIFY(window->summaryGrid->cellFormat(3, 1).bold);
        QCOMPARE(window->Text9->text(), QStringLiteral("147.75"));

        const PdfText pdf = SaveReportPdf(window, dir_.filePath(QStringLiteral("技师.pdf")));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QStringList words = pdf.words();
        const QString text = words.join(QLatin1Char(' '));
        QVERIFY(text.contains(QStringLiteral("统计日期：2026-12-01 至 2026-12-02")));
        const qsizetype caption = text.indexOf(QStringLiteral("维修技师汇总"));
        QVERIFY(caption > text.indexOf(QStringLiteral("制表人:[")));
        QVERIFY(text.indexOf(QStringLiteral("李师傅 2 112.25"), caption) > caption);
        QVERIFY(text.indexOf(QStringLiteral("赵师傅 1 35.50"), caption) > caption);
        QVERIFY(text.indexOf(QStringLiteral("合计 3 147.75"), caption) > caption);

        const QString chosen = dir_.filePath(QStringLiteral("技师.xlsx"));
        ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request&) { return chosen; });
        MessageScript messages;
        messages.expect(QStringLiteral("Excel文件已保存：") + chosen);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        const XlsxRows book = ReadXlsxRows(chosen);
        QVERIFY2(book.ok, qPrintable(book.error));
        // Title, dates, headings, three orders, total, an empty row, then the summary.
        QCOMPARE(book.rows.size(), 13);
        QCOMPARE(book.rows[8][0], QVariant(QStringLiteral("维修技师汇总")));
        QCOMPARE(book.rows[10], QList<QVariant>({QStringLiteral("李师傅"), 2.0, 112.25}));
        QCOMPARE(book.rows[11], QList<QVariant>({QStringLiteral("赵师傅"), 1.0, 35.5}));
        QCOMPARE(book.rows[12], QList<QVariant>({QStringLiteral("合计"), 3.0, 147.75}));
    }

    // The report states the dates of the rows it lists, even when the pickers moved since.
    void theReportNamesTheListedDates() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        QCOMPARE(window->currentReport(QString()).range,
                 QStringLiteral("统计日期：2026-12-01 至 2026-12-02"));
        window->DTPicker1->setValue(QDate(2026, 11, 1));
        window->DTPicker2->setValue(QDate(2026, 11, 30));
        window->Command1->click();
        window->DTPicker2->setValue(QDate(2026, 12, 31));
        QCOMPARE(window->currentReport(QString()).range,
                 QStringLiteral("统计日期：2026-11-01 至 2026-11-30"));
    }

    // Long names, numbers and items show whole in every list and every drop-down list.
    void longTextsAreNotCut_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("turnover") << int(StatisticsKind::Turnover);
        QTest::newRow("item detail") << int(StatisticsKind::ItemDetail);
        QTest::newRow("technician") << int(StatisticsKind::Technician);
    }
    void longTextsAreNotCut() {
        QFETCH(int, kind);
        AddLongOrders();
        StatisticsWindow* window = Open(StatisticsKind(kind));
        window->Command1->click();
        QCOMPARE(window->listedRows(), 3);
        QCOMPARE(window->grid1->cellText(1, 2), QStringLiteral("20261201-001"));
        QCOMPARE(CutGridCells(*window->grid1), QStringList());
        if (window->summaryGrid) {
            QCOMPARE(CutGridCells(*window->summaryGrid), QStringList());
        }
        for (QComboBox* combo : {window->Combo1, window->Combo2}) {
            if (combo) {
                QVERIFY(combo->count() > 0);
                QCOMPARE(CutComboItems(*combo), QStringList());
            }
        }
    }

    // The printer choice is at hand in the preview; printing then goes to the printer chosen.
    void thePreviewChoosesThePrinter() {
        AddOrders();
        for (const QString& name : {QStringLiteral("front"), QStringLiteral("back")}) {
            QVERIFY2(cups_->addQueue(name), qPrintable(cups_->message()));
        }
        QVERIFY2(cups_->setServerDefault(QStringLiteral("front")), qPrintable(cups_->message()));
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        window->Command1->click();
        QString chosenOn;
        {
            ScopedModalDriver driver([&](QWidget* opened) {
                if (auto* printers = qobject_cast<DefaultPrinterWindow*>(opened)) {
                    QTreeWidget* list = printers->lvwPrinter;
                    for (int i = 0; i < list->topLevelItemCount(); ++i) {
                        if (list->topLevelItem(i)->text(0).startsWith(QStringLiteral("back,"))) {
                            list->setCurrentItem(list->topLevelItem(i));
                        }
                    }
                    QTest::mouseClick(printers->cmdSet, Qt::LeftButton);
                    return;
                }
                auto* preview = qobject_cast<ReportPreview*>(opened);
                QVERIFY(preview);
                QCOMPARE(preview->printerAction->text(), QStringLiteral("打印机选择"));
                preview->printerAction->trigger();
                chosenOn = preview->printer()->printerName();
                preview->printAction->trigger();
                QVERIFY(!preview->isVisible());
            });
            window->Command2->click();
        }
        QCOMPARE(chosenOn, QStringLiteral("back"));
        QVERIFY2(cups_->waitForOutput(QStringLiteral("back")), qPrintable(cups_->message()));
        QVERIFY(cups_->output(QStringLiteral("front")).isEmpty());
    }

    void thePreviewSavesAPdf() {
        StatisticsWindow* window = Open(StatisticsKind::Technician);
        window->Command1->click();
        const QString chosen = dir_.filePath(QStringLiteral("技师"));
        ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request&) { return chosen; });
        {
            ScopedModalDriver driver([&](QWidget* opened) {
                auto* preview = qobject_cast<ReportPreview*>(opened);
                QVERIFY(preview);
                MessageScript messages;
                messages.expect(QStringLiteral("PDF文件已保存：") + chosen +
                                QStringLiteral(".pdf"));
                preview->pdfAction->trigger();
                VERIFY_MESSAGES(messages);
            });
            window->Command2->click();
        }
        const PdfText pdf = ReadPdfText(chosen + QStringLiteral(".pdf"));
        QVERIFY2(pdf.ok, qPrintable(pdf.error));
        QVERIFY(pdf.words().contains(QStringLiteral("合计:")));
        QVERIFY(pdf.words().contains(QStringLiteral("0.00")));
    }

    void exportWritesTheListedRows() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::ItemDetail);
        window->Command1->click();
        QCOMPARE(window->listedRows(), 3);
        const QString chosen = dir_.filePath(QStringLiteral("明细"));
        QString suggested;
        ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request& request) {
            suggested = request.suggested;
            return chosen;
        });
        MessageScript messages;
        messages.expect(QStringLiteral("Excel文件已保存：") + chosen + QStringLiteral(".xlsx"));
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(suggested, QStringLiteral("明细统计.xlsx"));
        const XlsxRows book = ReadXlsxRows(chosen + QStringLiteral(".xlsx"));
        QVERIFY2(book.ok, qPrintable(book.error));
        QCOMPARE(book.rows.size(), 7);
        QCOMPARE(book.rows[1][0], QVariant(QStringLiteral("统计日期：2026-12-01 至 2026-12-02")));
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(book.rows[row + 2][1], QVariant(window->grid1->cellText(row, 2)));
            QCOMPARE(book.rows[row + 2][9], QVariant(window->grid1->cellText(row, 10).toDouble()));
        }
        QCOMPARE(book.rows[3][1], QVariant(QStringLiteral("20261201-001")));
        QCOMPARE(book.rows[6][0], QVariant(QStringLiteral("合计:")));
        QCOMPARE(book.rows[6][9], QVariant(136.0));
        QCOMPARE(window->Text9->text(), QStringLiteral("136.00"));

        // Cancelling the file choice writes nothing and says nothing.
        ui::FileDialog::setScriptHandler([](const ui::FileDialog::Request&) { return QString(); });
        window->Command3->click();
    }

    // Escape during the export stops it: nothing is saved, the operator is told so, and the
    // list and its window stay as they were.
    void escapeCancelsTheExport() {
        AddOrders();
        StatisticsWindow* window = Open(StatisticsKind::Turnover);
        window->Command1->click();
        const QString chosen = dir_.filePath(QStringLiteral("营业.xlsx"));
        // The key comes once the file is chosen, as the export starts.
        QTimer escape;
        escape.setSingleShot(true);
        connect(&escape, &QTimer::timeout, window,
                [window] { QTest::keyClick(window->grid1, Qt::Key_Escape); });
        ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request&) {
            escape.start(0);
            return chosen;
        });
        MessageScript messages;
        messages.expect(QStringLiteral("导出已取消，没有保存文件。"));
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!QFile::exists(chosen));
        QVERIFY(window->isVisible());
        QCOMPARE(window->listedRows(), 3);
        QVERIFY(!window->picLOAD->isVisible());
    }
};

QTEST_MAIN(TestStatisticsWindow)
#include "test_statistics_window.moc"
