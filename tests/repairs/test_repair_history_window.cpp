#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/main_window.h"
#include "core/clock.h"
#include "repairs/order_correction_window.h"
#include "repairs/order_entry.h"
#include "repairs/order_lines_window.h"
#include "repairs/order_versions_window.h"
#include "repairs/repair_history_window.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/text_fit.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/input_box.h"
#include "ui/window_host.h"

namespace {

const QString kPlate = QStringLiteral("京A12345");

// Two orders of one vehicle: 120.00 with two lines, and 35.50 with one line.
void AddTwoOrders() {
    Order first = TestDatabase::sampleOrder(QStringLiteral(" 20261130001"), kPlate, 120);
    first.lines = {{QStringLiteral("更换机油"), QStringLiteral("全合成"), 1.5, 60, 90},
                   {QStringLiteral("洗车"), QString(), 1, 30, 30}};
    TestDatabase::addOrder(first);
    Order second = TestDatabase::sampleOrder(QStringLiteral(" 20261206002"), kPlate, 35.5);
    second.owner = QStringLiteral("李四");
    second.model = QStringLiteral("帕萨特");
    second.telephone = QStringLiteral("13900000000");
    second.operatorName = QStringLiteral("小王");
    second.technician = QStringLiteral("赵师傅");
    // The total was typed by hand: it differs from the sum of the lines.
    second.lines = {{QStringLiteral("补胎"), QStringLiteral("右后"), 2, 17.75, 35.5},
                    {QStringLiteral("打气"), QString(), 1, 0.5, 0.5}};
    TestDatabase::addOrder(second);
}

RepairHistoryWindow* OpenHistory(const QString& plate) {
    if (!ShowRepairHistory(nullptr, plate)) {
        return nullptr;
    }
    return ui::WindowHost::find<RepairHistoryWindow>();
}

QList<QStringList> Rows(const RepairHistoryWindow& window) {
    QList<QStringList> rows;
    for (int row = 1; row < window.grid1->rows(); ++row) {
        QStringList cells;
        for (int col = 0; col < window.grid1->cols(); ++col) {
            cells << window.grid1->cellText(row, col);
        }
        rows << cells;
    }
    return rows;
}

QPoint CellCentre(ui::Grid* grid, int row) {
    return grid->visualRect(grid->gridModel()->index(row, 3)).center();
}

void ClickRow(ui::Grid* grid, int row) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, row));
}

struct LinesSeen {
    int shown = 0;
    QStringList header;
    QList<QStringList> lines;
};

// A driver that reads the line-item view as the operator sees it, then closes it.
ScopedModalDriver ReadLines(LinesSeen* seen) {
    return ScopedModalDriver([seen](QWidget* window) {
        auto* view = qobject_cast<OrderLinesWindow*>(window);
        QVERIFY(view);
        ++seen->shown;
        seen->header = {view->Text4->text(), view->Text5->text(), view->Text8->text(),
                        view->Text10->text(), view->Text9->text()};
        seen->lines.clear();
        for (int i = 0; i < OrderLinesWindow::kLineCount; ++i) {
            seen->lines << QStringList{view->Combo1[i]->currentText(), view->Text[i]->text(),
                                       view->Text1[i]->text(), view->Text2[i]->text(),
                                       view->Text3[i]->text()};
        }
        view->Command2->click();
    });
}

// Answers every input box with `answer` while it lives, counting the questions.
class ScriptedInput {
public:
    explicit ScriptedInput(const QString& answer)
        : previous_(ui::InputBox::setScriptHandler([this, answer](const ui::InputBox::Request&) {
              ++asked;
              return answer;
          })) {}
    ~ScriptedInput() { ui::InputBox::setScriptHandler(std::move(previous_)); }
    ScriptedInput(const ScriptedInput&) = delete;
    ScriptedInput& operator=(const ScriptedInput&) = delete;
    int asked = 0;

private:
    ui::InputBox::Handler previous_;
};

bool StruckThrough(const RepairHistoryWindow& window, int row) {
    return window.grid1->cellFormat(row, 2).strikeOut && window.grid1->cellFormat(row, 8).strikeOut;
}

}  // namespace

class TestRepairHistoryWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    // Long names, telephone numbers and amounts show whole, and the lines still open by the
    // stored number behind the one shown.
    void longTextsAreNotCut() {
        Order order =
            TestDatabase::sampleOrder(QStringLiteral(" 202612011234"), kPlate, 1234567.89);
        order.owner = QStringLiteral("欧阳明月（东方汽车服务有限公司）");
        order.telephone = QStringLiteral("0755-88886666 13800138000");
        order.model = QStringLiteral("一汽大众迈腾 2.0T 豪华型");
        order.operatorName = QStringLiteral("前台接待员小王");
        order.lines = {
            {QStringLiteral("全车四轮定位及动平衡"), QString(), 1, 1234567.89, 1234567.89}};
        TestDatabase::addOrder(order);
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        QCOMPARE(window->grid1->cellText(1, 2), QStringLiteral("20261201-1234"));
        QCOMPARE(CutGridCells(*window->grid1), QStringList());
        LinesSeen seen;
        {
            const ScopedModalDriver driver = ReadLines(&seen);
            ClickRow(window->grid1, 1);
            window->Command1->click();
        }
        QCOMPARE(seen.shown, 1);
    }

    void listsTheOrdersWithTheirSum() {
        AddTwoOrders();
        TestDatabase::addOrder(TestDatabase::sampleOrder(QStringLiteral(" 20261201001"),
                                                         QStringLiteral("京A123456"), 1000));
        MessageScript messages;
        RepairHistoryWindow* window = OpenHistory(kPlate);
        VERIFY_MESSAGES(messages);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(!window->isModal());
        QCOMPARE(window->objectName(), QStringLiteral("Form8"));
        QCOMPARE(window->headingLabel->text(), QStringLiteral("显示历史维修记录"));

        QStringList headings;
        QList<int> widths;
        for (int col = 0; col < window->grid1->cols(); ++col) {
            headings << window->grid1->cellText(0, col);
            widths << window->grid1->columnWidth(col);
        }
        QCOMPARE(headings, QStringList({"", "", "单号", "维修日期", "车牌号", "车主姓名",
                                        "联系电话", "车型", "合计", "操作人", "备注"}));
        QCOMPARE(widths, QList<int>({0, 0, 110, 90, 100, 120, 160, 70, 64, 64, 64}));

        const QList<QStringList> expected = {
            {"", "", "20261130-001", "2026-11-30", kPlate, "张三", "13800138000", "捷达", "120.00",
             "管理员", ""},
            {"", "", "20261206-002", "2026-12-06", kPlate, "李四", "13900000000", "帕萨特", "35.50",
             "小王", ""},
        };
        QCOMPARE(Rows(*window), expected);
        QCOMPARE(window->grid1->rowHeight(1), 25);
        QCOMPARE(window->grid1->rowHeight(2), 25);
        QCOMPARE(window->Text9->text(), QStringLiteral("155.50"));
        QVERIFY(window->Text9->isReadOnly());
    }

    // With no order the open history, if any, stays as it was.
    void noOrdersNoWindow() {
        AddTwoOrders();
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(QStringLiteral(" 20261201001"), QStringLiteral("京A1"), 1));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("没有历史维修记录！"),
                        MessageScript::Icon::Stop);
        QVERIFY(!OpenHistory(QStringLiteral("京A1234")));
        VERIFY_MESSAGES(messages);
        QVERIFY(!ui::WindowHost::find<RepairHistoryWindow>());

        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        messages.expect(QStringLiteral("没有历史维修记录！"));
        QVERIFY(!OpenHistory(QStringLiteral("京a12345")));
        VERIFY_MESSAGES(messages);
        QCOMPARE(ui::WindowHost::find<RepairHistoryWindow>(), window);
        QCOMPARE(window->grid1->rows(), 3);
        QCOMPARE(window->Text9->text(), QStringLiteral("155.50"));
    }

    // A second request fills the same window; the chosen row number stays while that row exists
    // and is highlighted, so the buttons act on what the operator sees.
    void refillsTheOpenWindow() {
        AddTwoOrders();
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(QStringLiteral(" 20261201001"), QStringLiteral("京B1"), 10));
        for (int i = 1; i <= 3; ++i) {
            Order order = TestDatabase::sampleOrder(QStringLiteral(" 2026120%1001").arg(i),
                                                    QStringLiteral("京C1"), i);
            order.lines = {{QStringLiteral("项目%1").arg(i), QString(), 1, double(i), double(i)}};
            TestDatabase::addOrder(order);
        }
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        ClickRow(window->grid1, 2);
        QCOMPARE(window->SelectedRow, 2);

        QCOMPARE(OpenHistory(QStringLiteral("京C1")), window);
        QCOMPARE(window->grid1->rows(), 4);
        QCOMPARE(window->Text9->text(), QStringLiteral("6.00"));
        QCOMPARE(window->SelectedRow, 2);
        QCOMPARE(window->grid1->currentRow(), 2);
        LinesSeen seen;
        {
            auto driver = ReadLines(&seen);
            window->Command1->click();
        }
        QCOMPARE(seen.shown, 1);
        QCOMPARE(seen.lines[0][0], QStringLiteral("项目2"));
        QCOMPARE(seen.header[4], QStringLiteral("2.00"));

        // One order: row 2 no longer exists, so no row is chosen.
        QCOMPARE(OpenHistory(QStringLiteral("京B1")), window);
        QCOMPARE(window->grid1->rows(), 2);
        QCOMPARE(window->Text9->text(), QStringLiteral("10.00"));
        QCOMPARE(window->SelectedRow, 0);
        MessageScript messages;
        messages.expect(QStringLiteral("没有找到明细记录！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
    }

    // An order of the vehicle saved while its history is open shows in it at once; an order of
    // another vehicle leaves it as it is.
    void anOrderSavedMeanwhileShows() {
        AddTwoOrders();
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer(QStringLiteral("{1}"), kPlate, QStringLiteral("张三")));
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{2}"), QStringLiteral("京B1"), QStringLiteral("李四")));
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        QCOMPARE(window->grid1->rows(), 3);

        Order other =
            TestDatabase::sampleOrder(QStringLiteral(" 20261207001"), QStringLiteral("京B1"), 50);
        QCOMPARE(*SaveOrder(other), OrderSave::Saved);
        QCOMPARE(window->grid1->rows(), 3);

        Order mine = TestDatabase::sampleOrder(QStringLiteral(" 20261207002"),
                                               QStringLiteral("京a12345"), 44.5);
        QCOMPARE(*SaveOrder(mine), OrderSave::Saved);
        QCOMPARE(window->grid1->rows(), 4);
        QCOMPARE(window->Text9->text(), QStringLiteral("200.00"));
    }

    // The button, a double click and Enter on the grid all show the chosen order's lines, with
    // the total as the list shows it rather than the sum of the lines.
    void showsTheLinesOfTheChosenOrder_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << QStringLiteral("button");
        QTest::newRow("double click") << QStringLiteral("double click");
        QTest::newRow("enter") << QStringLiteral("enter");
    }
    void showsTheLinesOfTheChosenOrder() {
        QFETCH(QString, how);
        AddTwoOrders();
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        ClickRow(window->grid1, 2);
        LinesSeen seen;
        {
            auto driver = ReadLines(&seen);
            if (how == QLatin1String("button")) {
                QTest::mouseClick(window->Command1, Qt::LeftButton);
            } else if (how == QLatin1String("double click")) {
                QTest::mouseDClick(window->grid1->viewport(), Qt::LeftButton, {},
                                   CellCentre(window->grid1, 2));
            } else {
                QTest::keyClick(window->grid1, Qt::Key_Return);
            }
        }
        QCOMPARE(seen.shown, 1);
        QCOMPARE(seen.header, QStringList({"赵师傅", "李四", "帕萨特", "13900000000", "35.50"}));
        QCOMPARE(seen.lines[0], QStringList({"补胎", "右后", "2.00", "17.75", "35.50"}));
        QCOMPARE(seen.lines[1], QStringList({"打气", "", "1.00", "0.50", "0.50"}));
        for (int i = 2; i < OrderLinesWindow::kLineCount; ++i) {
            QCOMPARE(seen.lines[i], QStringList({"", "", "", "", ""}));
        }
        QVERIFY(!ui::WindowHost::find<OrderLinesWindow>());
        QVERIFY(window->isVisible());
    }

    void noLinesToShow_data() {
        QTest::addColumn<bool>("chooseRow");
        QTest::newRow("no row chosen") << false;
        QTest::newRow("order without lines") << true;
    }
    void noLinesToShow() {
        QFETCH(bool, chooseRow);
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), kPlate, 5));
        // A line whose order number is the heading text must not be found by accident.
        Order stray = TestDatabase::sampleOrder(QStringLiteral("单号"), QStringLiteral("x"), 0);
        stray.lines = {{QStringLiteral("x"), QString(), 1, 1, 1}};
        TestDatabase::addOrder(stray);
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        if (chooseRow) {
            window->grid1->setCurrentCell(1, 3);
        }
        QCOMPARE(window->SelectedRow, chooseRow ? 1 : 0);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("没有找到明细记录！"),
                        MessageScript::Icon::Stop);
        window->Command1_Click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!ui::WindowHost::find<OrderLinesWindow>());
    }

    // The whole window works from the keyboard: arrows choose, Enter shows the lines, Escape
    // leaves the view, Tab reaches the buttons and Space presses them.
    void keyboardOnly() {
        AddTwoOrders();
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::focusWidget(), window->grid1);
        QTest::keyClick(window->grid1, Qt::Key_Down);
        QTest::keyClick(window->grid1, Qt::Key_Down);
        QCOMPARE(window->SelectedRow, 2);
        QTest::keyClick(window->grid1, Qt::Key_Up);
        QCOMPARE(window->SelectedRow, 1);

        int shown = 0;
        {
            ScopedModalDriver driver([&shown](QWidget* view) {
                ++shown;
                auto* lines = qobject_cast<OrderLinesWindow*>(view);
                QVERIFY(lines);
                QCOMPARE(lines->Text9->text(), QStringLiteral("120.00"));
                QCOMPARE(lines->focusWidget(), lines->Command2);
                QTest::keyClick(view, Qt::Key_Escape);
                QVERIFY(!view->isVisible());
            });
            QTest::keyClick(window->grid1, Qt::Key_Return);
        }
        QCOMPARE(shown, 1);

        QTest::keyClick(window->grid1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->Command1);
        for (QPushButton* next : {window->Command2, window->Command3, window->Command4}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QTest::keyClick(window->Command4, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->Command5);
        QTest::keyClick(window->Command5, Qt::Key_Space);
        QVERIFY(!window->isVisible());
        QVERIFY(!ui::WindowHost::find<RepairHistoryWindow>());
    }

    // From the main window's pop-up menu, for the plate of the chosen list row.
    void mainWindowMenuOpensTheHistory() {
        TestDatabase::logInAs(QStringLiteral("小李"), Role::Administrator);
        AddTwoOrders();
        Customer customer =
            TestDatabase::sampleCustomer(QStringLiteral("{1}"), kPlate, QStringLiteral("张三"));
        TestDatabase::addCustomer(customer);
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{2}"), QStringLiteral("京A99999"), QStringLiteral("王五")));
        MainWindow main;
        main.show();
        QVERIFY(main.kh_wxjl->isEnabled());

        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("请选中相应记录！"),
                        MessageScript::Icon::Stop);
        main.kh_wxjl->trigger();
        VERIFY_MESSAGES(messages);
        QVERIFY(!ui::WindowHost::find<RepairHistoryWindow>());

        int row = 1;
        while (main.grid1->cellText(row, 3) != kPlate) {
            ++row;
        }
        main.grid1->setCurrentCell(row, 3);
        main.kh_wxjl->trigger();
        auto* window = ui::WindowHost::find<RepairHistoryWindow>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Text9->text(), QStringLiteral("155.50"));
        QCOMPARE(window->grid1->rows(), 3);

        // The other customer has no orders.
        main.grid1->setCurrentCell(row == 1 ? 2 : 1, 3);
        messages.expect(QStringLiteral("没有历史维修记录！"));
        main.kh_wxjl->trigger();
        VERIFY_MESSAGES(messages);
    }

    // A clerk sees the history but neither corrects nor voids: both buttons are unavailable and
    // say why, and the order stays as it was.
    void aClerkCannotCorrectOrVoid() {
        TestDatabase::logInAs(QStringLiteral("小王"), Role::Clerk);
        AddTwoOrders();
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        for (QPushButton* button : {window->Command2, window->Command3}) {
            QVERIFY(!button->isEnabled());
            QVERIFY2(button->toolTip().contains(QStringLiteral("店员")),
                     qPrintable(button->toolTip()));
        }
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(*) from kh_wx_table where kh_wx_zf = '1'"))
                     .toInt(),
                 0);
    }

    // 作废 asks for a reason; the voided order stays listed, struck through with its reason,
    // and leaves the sum. Cancel voids nothing, and a voided order is not voided twice.
    void voidAnOrder() {
        TestDatabase::logInAs(QStringLiteral("小李"), Role::Administrator);
        AddTwoOrders();
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        window->grid1->setCurrentCell(2, 3);
        MessageScript messages;
        {
            ScriptedInput cancel{QString()};
            window->Command3->click();
            QCOMPARE(cancel.asked, 1);
        }
        VERIFY_MESSAGES(messages);
        QCOMPARE(window->Text9->text(), QStringLiteral("155.50"));
        {
            ScriptedInput blank{QStringLiteral("   ")};
            messages.expect(QStringLiteral("作废原因不能为空！"));
            window->Command3->click();
            VERIFY_MESSAGES(messages);
        }
        {
            ScriptedInput reason{QStringLiteral("重复录入")};
            messages.expect(QStringLiteral("维修单已作废。"));
            window->Command3->click();
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(window->grid1->rows(), 3);
        QVERIFY(
            window->grid1->cellText(2, 10).startsWith(QStringLiteral("已作废：重复录入（小李 ")));
        QVERIFY(StruckThrough(*window, 2));
        QVERIFY(!StruckThrough(*window, 1));
        QCOMPARE(window->Text9->text(), QStringLiteral("120.00"));

        messages.expect(QStringLiteral("该维修单已作废！"));
        window->Command3->click();
        messages.expect(QStringLiteral("该维修单已作废，不能修改！"));
        window->Command2->click();
        VERIFY_MESSAGES(messages);
        messages.expect(QStringLiteral("请先选择一张维修单！"));
        window->grid1->setCurrentCell(0, 3);
        window->SelectedRow = 0;
        window->Command3->click();
        VERIFY_MESSAGES(messages);
    }

    // 修改维修单 opens the order window on the order, number kept and locked; the saved
    // correction shows in the history at once, and 修改记录 shows the version it replaced.
    void correctThroughTheOrderWindow() {
        TestDatabase::logInAs(QStringLiteral("小李"), Role::Administrator);
        AddTwoOrders();
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer(QStringLiteral("{1}"), kPlate, QStringLiteral("张三")));
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        window->grid1->setCurrentCell(1, 3);
        MessageScript messages;
        int shown = 0;
        {
            ScopedModalDriver driver([&](QWidget* opened) {
                ++shown;
                auto* form = qobject_cast<OrderCorrectionWindow*>(opened);
                QVERIFY(form);
                QCOMPARE(form->windowTitle(), QStringLiteral("修改维修单"));
                QCOMPARE(form->Text6->text() + form->Text7->text(), QStringLiteral(" 20261130001"));
                QVERIFY(form->Text7->isReadOnly());
                QCOMPARE(form->Text4->text(), kPlate);
                QCOMPARE(form->Combo2->currentText(), QStringLiteral("李师傅"));
                QCOMPARE(form->Combo1[1]->currentText(), QStringLiteral("洗车"));
                QCOMPARE(form->Text9->text(), QStringLiteral("120.00"));
                // The same checks as a new order.
                form->Combo2->setEditText(QString());
                messages.expect(QStringLiteral("维修技师为必填项！"));
                form->Command1->click();
                form->Combo2->setEditText(QStringLiteral("王师傅"));
                form->Text2[0]->setText(QStringLiteral("80"));
                form->Text2_LostFocus(0);
                QCOMPARE(form->Text9->text(), QStringLiteral("150.00"));
                messages.expect(QStringLiteral("修改成功！"));
                form->Command1->click();
                QVERIFY(!form->isVisible());
            });
            window->Command2->click();
        }
        VERIFY_MESSAGES(messages);
        QCOMPARE(shown, 1);
        QCOMPARE(window->grid1->cellText(1, 2), QStringLiteral("20261130-001"));
        QCOMPARE(window->grid1->cellText(1, 8), QStringLiteral("150.00"));
        QCOMPARE(window->Text9->text(), QStringLiteral("185.50"));

        shown = 0;
        {
            ScopedModalDriver driver([&](QWidget* opened) {
                ++shown;
                auto* versions = qobject_cast<OrderVersionsWindow*>(opened);
                QVERIFY(versions);
                QStringList firstColumn;
                for (int row = 1; row < versions->grid1->rows(); ++row) {
                    firstColumn << versions->grid1->cellText(row, 1);
                }
                QCOMPARE(firstColumn, QStringList({"第1版", "", "", "当前", "", ""}));
                QCOMPARE(versions->grid1->cellText(1, 6), QStringLiteral("李师傅"));
                QCOMPARE(versions->grid1->cellText(1, 10), QStringLiteral("120.00"));
                QVERIFY(versions->grid1->cellText(1, 2).startsWith(QStringLiteral("小李 ")));
                QCOMPARE(versions->grid1->cellText(4, 10), QStringLiteral("150.00"));
                QCOMPARE(versions->grid1->cellText(5, 10), QStringLiteral("120.00"));
            });
            window->Command4->click();
        }
        QCOMPARE(shown, 1);
        // The other order was never corrected.
        window->grid1->setCurrentCell(2, 3);
        messages.expect(QStringLiteral("该维修单没有修改记录。"));
        window->Command4->click();
        VERIFY_MESSAGES(messages);
    }

    // An order another station changed after the history listed it is neither voided nor
    // corrected over that change; from the line-item window too.
    void changedElsewhereIsRefused() {
        AddTwoOrders();
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer(QStringLiteral("{1}"), kPlate, QStringLiteral("张三")));
        RepairHistoryWindow* window = OpenHistory(kPlate);
        QVERIFY(window);
        window->grid1->setCurrentCell(1, 3);
        TestDatabase::exec(QStringLiteral("update kh_wx_table set kh_wx_bb = kh_wx_bb + 1"));
        const QString refused =
            QStringLiteral("该维修单已被其他工作站修改或作废，请关闭后重新打开。");
        MessageScript messages;
        {
            ScriptedInput reason{QStringLiteral("录错")};
            messages.expect(refused);
            window->Command3->click();
            VERIFY_MESSAGES(messages);
        }
        {
            ScopedModalDriver driver([&](QWidget* opened) {
                auto* form = qobject_cast<OrderCorrectionWindow*>(opened);
                QVERIFY(form);
                messages.expect(refused);
                form->Command1->click();
                QVERIFY(form->isVisible());
            });
            window->Command2->click();
        }
        VERIFY_MESSAGES(messages);
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_ls_table")).toInt(), 0);

        // The line-item window reads the order afresh: its void goes through, and it closes.
        {
            ScriptedInput reason{QStringLiteral("录错")};
            ScopedModalDriver driver([&](QWidget* opened) {
                auto* lines = qobject_cast<OrderLinesWindow*>(opened);
                QVERIFY(lines);
                QVERIFY(lines->Command3->isEnabled());
                messages.expect(QStringLiteral("维修单已作废。"));
                lines->Command4->click();
                QVERIFY(!lines->isVisible());
            });
            window->Command1->click();
        }
        VERIFY_MESSAGES(messages);
        QVERIFY(StruckThrough(*window, 1));
    }

    void databaseErrorIsShown() {
        TestDatabase::exec(QStringLiteral("alter table kh_wx_table rename to gone"));
        MessageScript messages;
        messages.expect(
            QStringLiteral("系统提示"),
            QStringLiteral("数据库操作失败：数据库语句出错（no such table: kh_wx_table）"),
            MessageScript::Icon::Stop);
        QVERIFY(!OpenHistory(kPlate));
        VERIFY_MESSAGES(messages);
        QVERIFY(!ui::WindowHost::find<RepairHistoryWindow>());
    }
};

QTEST_MAIN(TestRepairHistoryWindow)
#include "test_repair_history_window.moc"
