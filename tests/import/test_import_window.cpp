
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "core/clock.h"
#include "core/date_text.h"
#include "import/import_window.h"
#include "import/problem_list.h"
#include "import/sheet_file.h"
#include "import/sheet_grid.h"
#include "session/current_operator.h"
#include "support/host_tool.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "support/xlsx_rows.h"
#include "ui/busy_indicator.h"
#include "ui/file_dialog.h"
#include "ui/grid.h"
#include "ui/window_host.h"

namespace {

const QString kAudited = QStringLiteral("审核成功，可以导入数据库中！");
const QString kTodayList = QStringLiteral(
    "其中 %1 位客户的提醒日期是今天（提醒日期为空的按今天），已列入今天的提醒名单。");

QString Data(const QString& name) {
    return QStringLiteral(RUVASO_TEST_DATA_DIR "/") + name;
}

ImportWindow* Open() {
    auto* window = ui::WindowHost::instance<ImportWindow>();
    window->show();
    return window;
}

// Answers the next file dialogs with these names, in order, and records what they asked.
struct FileAnswers {
    explicit FileAnswers(QStringList names) : names_(std::move(names)) {
        ui::FileDialog::setScriptHandler([this](const ui::FileDialog::Request& request) {
            asked << request;
            return names_.isEmpty() ? QString() : names_.takeFirst();
        });
    }
    QList<ui::FileDialog::Request> asked;

private:
    QStringList names_;
};

void Load(ImportWindow* window, const QString& path) {
    FileAnswers files({path});
    window->menuExceltoExport->trigger();
}

int Customers() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

QStringList RowTexts(const ui::Grid* grid, int row) {
    QStringList texts;
    for (int col = 1; col <= 8; ++col) {
        texts << grid->cellText(row, col);
    }
    return texts;
}

}  // namespace

class TestImportWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void showsTheSheetAndItsMenus() {
        ImportWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("frmDemo2"));
        QCOMPARE(window->windowTitle(), QStringLiteral("数据导入"));
        QStringList menus;
        for (QAction* action : window->menuBar->actions()) {
            menus << action->text();
        }
        QCOMPARE(menus, QStringList({"文件(&F)", "设置表格(&A)", "说明(&S)"}));
        QStringList file;
        for (QAction* action : window->mnuFile->actions()) {
            file << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(file, QStringList({"新建(&N)", "打开(&O) ...", "保存(&S) ...", "-",
                                    "从Excel导入 ...", "数据审核", "导入到数据库中 ...",
                                    "导出跳过的行 ...", "-", "退出(&X)"}));
        QVERIFY(!window->mnuExportSkipped->isEnabled());
        QCOMPARE(window->grid1->cols(), 9);
        QCOMPARE(window->grid1->rows(), 1);
        QCOMPARE(RowTexts(window->grid1, 0),
                 QStringList({"提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期",
                              "身份证号", "车型"}));
        // The font menu offers every installed font, in the list the window keeps of them.
        const QStringList families = QFontDatabase::families();
        QCOMPARE(int(window->mnuSetFontName.size()), int(families.size()));
        QCOMPARE(window->mnuSetFontName.front()->text(), families.front());
        QCOMPARE(window->lstFont->count(), int(families.size()));
        QVERIFY(!window->lstFont->isVisible());
        // The sheet fills the window below the menu bar, also after a resize.
        window->resize(700, 400);
        QApplication::processEvents();
        QCOMPARE(window->grid1->geometry().bottomRight(), window->rect().bottomRight());
        QCOMPARE(window->grid1->width(), window->width());
    }

    void helpShowsTheLayoutAWorkbookNeeds() {
        QString text;
        {
            ScopedModalDriver driver([&text](QWidget* help) {
                QCOMPARE(help->objectName(), QStringLiteral("Form21"));
                QCOMPARE(help->windowTitle(), QStringLiteral("导入格式说明"));
                text = help->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText();
                help->findChild<QAbstractButton*>(QStringLiteral("Command1"))->click();
                QVERIFY(!help->isVisible());
            });
            Open()->menudrgssm->trigger();
        }
        // The usual rules, then what reading by heading and 男/女 add.
        QVERIFY2(text.startsWith(
                     QStringLiteral("                      从EXCEL导入数据库格式说明书\n\n"
                                    "操作步骤:\n\n"
                                    "[从Excel导入...] -> [数据审核] -> [导入到数据库中]\n\n"
                                    "注意事项：\n\n"
                                    "Excel 表格中的列内容必须与此表格列相对应。\n\n"
                                    "[提醒日期] 如果EXCEL表中对应提醒日期为空时，系统默认为"
                                    "当前日期。\n\n"
                                    "[车牌号]   为必填项，如果不填写此条记录将不导入数据库中。"
                                    "\n\n"
                                    "[车主姓名] 为必填项，如果不填写此条记录将不导入数据库中。"
                                    "\n\n"
                                    "[登记日期] 如果EXCEL表中对应登记日期为空时，系统默认为"
                                    "当前日期。\n\n"
                                    "[性别]     只允许填写先生、女士。\n\n"
                                    "[联系电话] 无要求\n\n"
                                    "[身份证号] 无要求\n\n"
                                    "[车型]     无要求\n\n"
                                    "[性别]     也可填写男、女，导入为先生、女士。\n\n")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("表头中必须有车牌号、车主姓名和性别")));
    }

    void workbooksOfEveryKindLoad_data() {
        QTest::addColumn<QString>("file");
        for (const char* name : {"import_customers.xlsx", "import_customers.xls",
                                 "import_customers.ods", "import_customers_gb18030.csv"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }

    void workbooksOfEveryKindLoad() {
        QFETCH(QString, file);
        ImportWindow* window = Open();
        FileAnswers files({Data(file)});
        window->menuExceltoExport->trigger();
        QCOMPARE(files.asked.size(), 1);
        QCOMPARE(files.asked[0].caption, QStringLiteral("请选择文件"));
        QVERIFY(
            files.asked[0].filter.startsWith(QStringLiteral("所有Microsoft Office Excel 文件")));
        for (const char* pattern : {"*.xls ", "*.xlsx", "*.ods", "*.csv"}) {
            QVERIFY(files.asked[0]
                        .filter.section(QStringLiteral(";;"), 0, 0)
                        .contains(QLatin1String(pattern)));
        }
        QCOMPARE(window->grid1->rows(), 9);
        QCOMPARE(RowTexts(window->grid1, 2),
                 QStringList({"2026-03-02", "京A10002", "李娜", "女士", "010-62345678",
                              "2025-11-05", "11010119850101002X", "丰田卡罗拉, 1.6L"}));
        QCOMPARE(window->grid1->cellText(0, 2), QStringLiteral("车牌号"));
    }

    // The line under the sheet says how much was read, from which worksheet when the workbook
    // has several, and which rows above the data were left out.
    void statusLineSaysWhatWasRead_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("status");
        QTest::newRow("heading row") << "import_customers.xlsx"
                                     << "已读取 8 行，跳过了表头行。";
        QTest::newRow("no heading row") << "corpus/libreoffice/customers.expected.csv"
                                        << "已读取 8 行。";
        QTest::newRow("title lines") << "corpus/web/title_rows.csv"
                                     << "已读取 4 行，跳过了数据上方的 3 行（标题 2 行和表头行）。";
        QTest::newRow("one of several worksheets")
            << "corpus/web/spreadsheet_2003.xls"
            << "已读取 6 行，取自工作表“客户”（工作簿中共有 2 个工作表），跳过了数据上方的 2 行"
               "（标题 1 行和表头行）。";
    }
    void statusLineSaysWhatWasRead() {
        QFETCH(QString, file);
        QFETCH(QString, status);
        ImportWindow* window = Open();
        QVERIFY(!window->statusLine->isVisible());
        Load(window, Data(file));
        QVERIFY(window->statusLine->isVisible());
        QCOMPARE(window->statusLine->text(), status);
        // A new sheet has read nothing.
        window->mnuNewFile->trigger();
        QVERIFY(!window->statusLine->isVisible());
    }

    // Row 5 has no plate: the audit ends there with success, leaving row 6 on; the import leaves
    // out row 5 and row 8 (row 1's plate again) and says so.
    void auditAndImportAWorkbook() {
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_customers.xlsx")));
        window->grid1->setCellText(6, 1, QStringLiteral("2026/3/6"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), kAudited, MessageScript::Icon::Information);
        window->menusjsh->trigger();
        VERIFY_MESSAGES(messages);
        QCOMPARE(window->grid1->cellText(4, 1), DateText(Today()));
        QCOMPARE(window->grid1->cellText(3, 6), DateText(Today()));
        QCOMPARE(window->grid1->cellText(6, 1), QStringLiteral("2026/3/6"));

        const int before = Customers();
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("导入成功！\n导入 6 条客户记录，跳过 2 条：车牌号或车主姓名"
                                       "为空 1 条，与表中前面的行车牌号重复 1 条。\n") +
                            kTodayList.arg(2),
                        MessageScript::Icon::Information);
        window->mnuExportToExcel->trigger();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Customers(), before + 6);
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(*) from kh_table where kh_cph='京A10006'"))
                     .toInt(),
                 1);

        // The two rows left out can be saved, with their reasons, to be corrected.
        QVERIFY(window->mnuExportSkipped->isEnabled());
        QTemporaryDir dir;
        const QString chosen = dir.filePath(QStringLiteral("跳过"));
        ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request&) { return chosen; });
        messages.expect(QStringLiteral("跳过的行已导出到：") + chosen + QStringLiteral(".xlsx"));
        window->mnuExportSkipped->trigger();
        VERIFY_MESSAGES(messages);
        const XlsxRows read = ReadXlsxRows(chosen + QStringLiteral(".xlsx"));
        QVERIFY2(read.ok, qPrintable(read.error));
        QCOMPARE(read.rows.size(), 3);
        QCOMPARE(read.sheetName, QStringLiteral("客户"));
    }

    // The main window's list shows the customers an import stored as soon as it is done, as
    // after any other save: those with no reminder date are due today.
    void theMainListShowsImportedCustomers() {
        SetCurrentOperator(QStringLiteral("小李"));
        auto* main = new MainWindow;
        main->show();
        const int listedBefore = main->grid1->rows() - 1;
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_customers.xlsx")));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), kAudited, MessageScript::Icon::Information);
        window->menusjsh->trigger();
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("导入成功！\n导入 6 条客户记录，跳过 2 条：车牌号或车主姓名"
                                       "为空 1 条，与表中前面的行车牌号重复 1 条。\n") +
                            kTodayList.arg(2),
                        MessageScript::Icon::Information);
        window->mnuExportToExcel->trigger();
        VERIFY_MESSAGES(messages);
        const int dueToday =
            TestDatabase::scalar(
                QStringLiteral("select count(*) from kh_table where kh_txdate = ?"),
                {DateText(Today())})
                .toInt();
        QVERIFY(dueToday > 0);
        QCOMPARE(main->grid1->rows() - 1, listedBefore + dueToday);
    }

    void headingRowOnlyStoresNothing() {
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_headings.xlsx")));
        QCOMPARE(window->grid1->rows(), 1);
        const int before = Customers();
        MessageScript messages;
        messages.expect(kAudited).expect(QStringLiteral("导入成功！\n导入 0 条客户记录。"));
        window->menusjsh->trigger();
        window->mnuExportToExcel->trigger();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Customers(), before);
    }

    // A wrong sex stops the audit on its row and refuses the import; nothing is stored.
    void wrongSexStopsOnItsRow() {
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_customers.csv")));
        window->grid1->setCellText(3, 4, QStringLiteral("男士"));
        const int before = Customers();
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("性别错误！"),
                        MessageScript::Icon::Stop);
        window->menusjsh->trigger();
        QCOMPARE(window->grid1->currentRow(), 3);
        window->grid1->setCurrentCell(1, 1);
        messages.expect(QStringLiteral("性别错误！"));
        window->mnuExportToExcel->trigger();
        VERIFY_MESSAGES(messages);
        QCOMPARE(window->grid1->currentRow(), 3);
        QCOMPARE(Customers(), before);
    }

    // Beside the message on the first problem, the list under the sheet shows every problem,
    // below the empty row too; a double-click finds its cell. An audit that passes says how
    // many customers go on today's list.
    void problemListShowsEveryProblem() {
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_customers.csv")));
        window->grid1->setCellText(3, 4, QStringLiteral("男士"));
        window->grid1->setCellText(7, 4, QStringLiteral("?"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("性别错误！"),
                        MessageScript::Icon::Stop);
        window->menusjsh->trigger();
        VERIFY_MESSAGES(messages);
        QListWidget* list = window->problems->lstProblems;
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), 2);
        QCOMPARE(
            list->item(0)->text(),
            QStringLiteral("第 3 行，“性别”列的“男士”：性别错误！（可填：先生、女士、男、女）"));
        QCOMPARE(list->item(1)->text(),
                 QStringLiteral("第 7 行，“性别”列的“?”：性别错误！（可填：先生、女士、男、女）"));
        QVERIFY2(
            window->problems->lblProblems->text().startsWith(QStringLiteral("共发现 2 个问题")),
            qPrintable(window->problems->lblProblems->text()));
        list->setFocus();
        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(window->grid1->currentRow(), 7);
        QCOMPARE(window->grid1->currentCol(), 4);

        // The import refuses on the first and lists them all again.
        list->clear();
        messages.expect(QStringLiteral("性别错误！"));
        window->mnuExportToExcel->trigger();
        VERIFY_MESSAGES(messages);
        QCOMPARE(list->count(), 2);

        // Put right, the audit passes; the list names no problem, only today's reminders.
        window->grid1->setCellText(3, 4, QStringLiteral("男"));
        window->grid1->setCellText(7, 4, QStringLiteral("女"));
        messages.expect(kAudited);
        window->menusjsh->trigger();
        VERIFY_MESSAGES(messages);
        QVERIFY(!list->isVisible());
        QCOMPARE(window->problems->lblProblems->text(),
                 QStringLiteral("其中 2 "
                                "位客户的提醒日期是今天（提醒日期为空或不是日期的按今天），导入后列"
                                "入今天的提醒名单。"));
    }

    // A shop's own list, its columns in its own order and 男/女 for the sex, imports as it is.
    void shopListImportsByItsHeadings() {
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_shop_headings.xlsx")));
        QCOMPARE(window->statusLine->text(),
                 QStringLiteral("已读取 3 行，跳过了表头行，按表头中的列名读取，忽略了不认识的列："
                                "序号、地址。"));
        QCOMPARE(RowTexts(window->grid1, 1),
                 QStringList({"2026-03-01", "京A20001", "张伟", "男", "13912345678", "2025-12-31",
                              "110101199003071234", "大众帕萨特"}));
        MessageScript messages;
        messages.expect(kAudited);
        window->menusjsh->trigger();
        messages.expect(QStringLiteral("导入成功！\n导入 3 条客户记录。\n") + kTodayList.arg(1));
        window->mnuExportToExcel->trigger();
        VERIFY_MESSAGES(messages);
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select kh_xb from kh_table where kh_cph='京A20001'"))
                     .toString(),
                 QStringLiteral("先生"));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select kh_xb || kh_cx from kh_table where kh_cph='京A20002'"))
                     .toString(),
                 QStringLiteral("女士丰田卡罗拉, 1.6L"));
    }

    void escapeCancelsTheImport() {
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_customers.xlsx")));
        const int before = Customers();
        QCoreApplication::postEvent(
            window->grid1, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        MessageScript messages;
        messages.expect(QStringLiteral("导入已取消，没有导入任何数据。"));
        window->mnuExportToExcel->trigger();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Customers(), before);
        QVERIFY(!window->picLOAD->isVisible());
    }

    // A damaged workbook, or a pipe picked in the file dialog (refused before it is opened, as
    // opening it would wait for a writer), leaves the sheet as it was.
    void unreadableWorkbookLeavesTheSheet_data() {
        QTest::addColumn<bool>("pipe");
        QTest::addColumn<QString>("reason");
        QTest::newRow("damaged") << false
                                 << QStringLiteral("文件已损坏，或不是它的扩展名所说的表格文件");
        QTest::newRow("pipe") << true << QStringLiteral("这不是普通文件，而是文件夹、管道或设备");
    }
    void unreadableWorkbookLeavesTheSheet() {
        QFETCH(bool, pipe);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.xlsx"));
        if (pipe) {
            if (!HostHasPipes()) {
                QSKIP("no named pipes in this system's file system");
            }
            QVERIFY(MakePipe(path));
        } else {
            QFile broken(path);
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write(QByteArray("PK\x03\x04") + QByteArray(300, '\x7f'));
        }
        ImportWindow* window = Open();
        Load(window, Data(QStringLiteral("import_customers.csv")));
        MessageScript messages;
        messages.expect(QStringLiteral("无法读取文件：") + reason);
        Load(window, path);
        VERIFY_MESSAGES(messages);
        QCOMPARE(window->grid1->rows(), 9);
        QCOMPARE(window->grid1->cellText(1, 3), QStringLiteral("张伟"));
    }

    // The active cell decides: bold there takes bold off the whole selection, else puts it on.
    void boldFollowsTheActiveCell() {
        ImportWindow* window = Open();
        ui::Grid* grid = window->grid1;
        grid->setRows(5);
        grid->setSelection({2, 2, 2, 2});
        window->mnuSetFont_B->trigger();
        grid->setSelection({2, 2, 3, 3});
        QCOMPARE(grid->currentRow(), 2);
        window->mnuSetFont_B->trigger();
        for (int row = 2; row <= 3; ++row) {
            for (int col = 2; col <= 3; ++col) {
                QVERIFY(!grid->cellFormat(row, col).bold);
            }
        }
        window->mnuSetFont_B->trigger();
        QVERIFY(grid->cellFormat(3, 3).bold && grid->cellFormat(2, 2).bold);
        QVERIFY(!grid->cellFormat(4, 2).bold && !grid->cellFormat(2, 4).bold);
    }

    void rowCountAnswers_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("rows");
        QTest::newRow("zero") << "0" << 7;
        QTest::newRow("not a number") << "abc" << 7;
        QTest::newRow("beyond ten million") << "10000001" << 7;
        QTest::newRow("beyond 32 bits") << "99999999999" << 7;
        QTest::newRow("cancel") << "" << 7;
        QTest::newRow("two and a half") << "2.5" << 2;
        QTest::newRow("three and a half") << "3.5" << 4;
        QTest::newRow("ten million") << "10000000" << 10000000;
    }

    void rowCountAnswers() {
        QFETCH(QString, answer);
        QFETCH(int, rows);
        ImportWindow* window = Open();
        window->grid1->setRows(7);
        ui::InputBox::Request asked;
        ui::InputBox::setScriptHandler([&](const ui::InputBox::Request& request) {
            asked = request;
            return answer;
        });
        window->mnuSetRows->trigger();
        QCOMPARE(asked.prompt, QStringLiteral("请输入行数（范围1~10,000,000）："));
        QCOMPARE(asked.defaultText, QStringLiteral("7"));
        QCOMPARE(window->grid1->rows(), rows);
        window->mnuSetCols->trigger();
        QCOMPARE(asked.prompt, QStringLiteral("请输入列数（范围1~10,000,000）："));
        QCOMPARE(asked.defaultText, QStringLiteral("9"));
    }

    void structureCommandsMoveTheTexts() {
        ImportWindow* window = Open();
        ui::Grid* grid = window->grid1;
        Load(window, Data(QStringLiteral("import_customers.csv")));
        grid->setSelection({2, 2, 3, 2});
        window->mnuInsertRows->trigger();
        QCOMPARE(grid->rows(), 11);
        QCOMPARE(grid->cellText(4, 3), QStringLiteral("李娜"));
        // The selection moves with the rows it held; the new rows are selected again.
        grid->setSelection({2, 2, 3, 2});
        window->mnuDeleteByRow->trigger();
        QCOMPARE(grid->cellText(2, 3), QStringLiteral("李娜"));
        window->mnuInsertCols->trigger();
        QCOMPARE(grid->cellText(2, 3), QStringLiteral("京A10002"));
        QCOMPARE(grid->cellText(2, 4), QStringLiteral("李娜"));
        grid->setSelection({2, 2, 2, 2});
        window->mnuDeleteByCol->trigger();
        QCOMPARE(grid->cellText(2, 3), QStringLiteral("李娜"));
        grid->setSelection({1, 2, 2, 3});
        window->mnuSetBackColor_Grey->trigger();
        window->mnuClearText->trigger();
        QCOMPARE(grid->cellText(1, 3), QString());
        QCOMPARE(grid->cellFormat(1, 3).backColor, QColor(224, 224, 224));
        QCOMPARE(grid->cellText(3, 3), QStringLiteral("王强"));
        window->mnuLockCell->trigger();
        QVERIFY(!(grid->model()->flags(grid->model()->index(2, 2)) & Qt::ItemIsEditable));
        window->mnuClearFormat->trigger();
        QCOMPARE(grid->cellFormat(1, 3), ui::CellFormat{});
    }

    // Every format a command sets comes back from the file; a refused file leaves the sheet.
    void savedSheetReopens() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("客户"));
        ImportWindow* window = Open();
        ui::Grid* grid = window->grid1;
        Load(window, Data(QStringLiteral("import_customers.csv")));
        grid->setSelection({1, 1, 3, 4});
        for (QAction* command :
             {window->mnuSetFont_B, window->mnuSetFont_I, window->mnuSetFont_U,
              window->mnuSetFontName.back(), window->mnuSetFontSize[7], window->mnuSetTextColor_Red,
              window->mnuSetBackColor_Blue, window->mnuSetAlignment_RightBottom,
              window->mnuSetBorder[8], window->mnuSetBorder[6], window->mnuSetWrapText,
              window->mnuLockCell}) {
            command->trigger();
        }
        grid->setRowHeight(2, 40);
        grid->setColumnWidth(5, 150);
        grid->setRows(500);
        grid->setCellText(499, 8, QStringLiteral("最后"));
        const SheetDocument saved = SheetFromGrid(*grid);
        QVERIFY(saved.formats.size() > 3);

        MessageScript messages;
        messages.expect(QStringLiteral("提示"), QStringLiteral("保存成功。"),
                        MessageScript::Icon::Exclamation);
        {
            FileAnswers files({path});
            window->mnuSave->trigger();
        }
        VERIFY_MESSAGES(messages);
        window->mnuNewFile->trigger();
        QCOMPARE(grid->rows(), 1);
        QCOMPARE(grid->cellFormat(1, 1), ui::CellFormat{});
        {
            FileAnswers files({path + QStringLiteral(".rvs")});
            window->mnuOpen->trigger();
        }
        QVERIFY(SheetFromGrid(*grid) == saved);
        QCOMPARE(grid->rowHeight(2), 40);

        // A newer program's file and a damaged one are refused; the sheet stays.
        QFile file(path + QStringLiteral(".rvs"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        QByteArray newer = bytes;
        newer[8] = 2;
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
        messages
            .expect(QStringLiteral("无法打开表格文件：文件由较新版本的程序保存，请升级后再打开。"))
            .expect(QStringLiteral("无法打开表格文件：文件已损坏。"));
        for (const QByteArray& refused : {newer, bytes}) {
            file.seek(0);
            file.write(refused);
            file.flush();
            FileAnswers files({file.fileName()});
            window->mnuOpen->trigger();
            QVERIFY(SheetFromGrid(*grid) == saved);
        }
        VERIFY_MESSAGES(messages);
    }
};

QTEST_MAIN(TestImportWindow)
#include "test_import_window.moc"
