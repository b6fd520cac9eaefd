#include <QAction>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/current_operator.h"
#include "app/main_window.h"
#include "core/clock.h"
#include "repairs/order_lines_window.h"
#include "reports/report_preview.h"
#include "reports/statistics_window.h"
#include "support/cups_server.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/pdf_text.h"
#include "support/printing_test.h"
#include "support/window_test.h"
#include "support/xlsx_rows.h"
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
        QCOMPARE(Column(*window, 2), QStringList({" 20261201001", " 20261202001", " 20261202002"}));
        QCOMPARE(Column(*window, 7), QStringList({"100.00", "35.50", "12.25"}));
        QCOMPARE(window->Text9->text(), QStringLiteral("147.75"));
        QCOMPARE(window->listedRows(), 3);

        window->Text1->setText(QStringLiteral("李四"));
        QTest::keyClick(window->Text1, Qt::Key_Return);
        QCOMPARE(Column(*window, 2), QStringList({" 20261202001"}));
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
        const auto series = window->chartView->chart()->series();
        QCOMPARE(series.size(), 1);
        auto* bars = qobject_cast<QBarSeries*>(series.first());
        QVERIFY(bars);
        QBarSet* set = bars->barSets().first();
        QCOMPARE(set->count(), 2);
        QCOMPARE(set->at(0), 100.0);
        QCOMPARE(set->at(1), 47.75);
        window->Text1->setText(QStringLiteral("沪C"));
        window->Command1->click();
        set = qobject_cast<QBarSeries*>(window->chartView->chart()->series().first())
                  ->barSets()
                  .first();
        QCOMPARE(set->count(), 1);
        QCOMPARE(set->at(0), 12.25);
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
        QCOMPARE(shown.rows.size(), 3);
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
        for (const char* text :
             {"蓝天营业统计报表", "20261202001", "李四", "35.50", "合计:", "147.75", "管理员"}) {
            QVERIFY2(pdf.words().contains(QString::fromUtf8(text)), text);
        }
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
        QCOMPARE(book.rows.size(), 5);
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(book.rows[row][1], QVariant(window->grid1->cellText(row, 2)));
            QCOMPARE(book.rows[row][9], QVariant(window->grid1->cellText(row, 10).toDouble()));
        }
        QCOMPARE(book.rows[4][0], QVariant(QStringLiteral("合计:")));
        QCOMPARE(book.rows[4][9], QVariant(136.0));
        QCOMPARE(window->Text9->text(), QStringLiteral("136.00"));

        // Cancelling the file choice writes nothing and says nothing.
        ui::FileDialog::setScriptHandler([](const ui::FileDialog::Request&) { return QString(); });
        window->Command3->click();
    }
};

QTEST_MAIN(TestStatisticsWindow)
#include "test_statistics_window.moc"
