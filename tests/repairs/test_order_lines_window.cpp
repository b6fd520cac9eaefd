#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "repairs/order_lines_window.h"
#include "repairs/slip_preview_window.h"
#include "repairs/slip_view.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

QStringList LineTexts(const OrderLinesWindow& window, int i) {
    return {window.Combo1[i]->currentText(), window.Text[i]->text(), window.Text1[i]->text(),
            window.Text2[i]->text(), window.Text3[i]->text()};
}

Order OrderWithLines(int count) {
    Order order =
        TestDatabase::sampleOrder(QStringLiteral(" 20261206001"), QStringLiteral("京A1"), 0);
    for (int i = 0; i < count; ++i) {
        order.lines.append({QStringLiteral("项目%1").arg(i + 1),
                            QStringLiteral("说明%1").arg(i + 1), double(i + 1), 10,
                            10.0 * (i + 1)});
    }
    return order;
}

}  // namespace

class TestOrderLinesWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    // Quantities, prices and amounts show two decimals, rounded half away from zero, without
    // thousands separators, whatever was stored.
    void numbersShowTwoDecimals_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole") << 2.0 << QStringLiteral("2.00");
        QTest::newRow("one decimal") << 35.5 << QStringLiteral("35.50");
        QTest::newRow("rounded up") << 0.125 << QStringLiteral("0.13");
        QTest::newRow("rounded down") << 1.004 << QStringLiteral("1.00");
        QTest::newRow("large") << 1234567.891 << QStringLiteral("1234567.89");
        QTest::newRow("zero") << 0.0 << QStringLiteral("0.00");
    }
    void numbersShowTwoDecimals() {
        QFETCH(double, value);
        QFETCH(QString, shown);
        Order order = OrderWithLines(0);
        order.lines = {{QStringLiteral("洗车"), QString(), value, value, value}};
        OrderLinesWindow window;
        window.load(order, QStringLiteral("1.00"));
        QCOMPARE(LineTexts(window, 0), QStringList({"洗车", "", shown, shown, shown}));
    }

    // The view shows what it is given; a second order in the same window leaves nothing of the
    // first behind.
    void showsTheOrderItIsGiven() {
        OrderLinesWindow window;
        QCOMPARE(window.objectName(), QStringLiteral("Form17"));
        QCOMPARE(window.headingLabel->text(), QStringLiteral("维修保养项目明细查看"));
        QCOMPARE(window.Text9->text(), QStringLiteral("0.00"));
        QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("Combo1(6)")), window.Combo1[6]);
        QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("Text3(0)")), window.Text3[0]);

        Order big = OrderWithLines(5);
        window.load(big, QStringLiteral("999.00"));
        QCOMPARE(window.Text4->text(), QStringLiteral("李师傅"));
        QCOMPARE(window.Text5->text(), QStringLiteral("张三"));
        QCOMPARE(window.Text8->text(), QStringLiteral("捷达"));
        QCOMPARE(window.Text10->text(), QStringLiteral("13800138000"));
        QCOMPARE(window.Text9->text(), QStringLiteral("999.00"));
        QCOMPARE(LineTexts(window, 4), QStringList({"项目5", "说明5", "5.00", "10.00", "50.00"}));

        Order small = OrderWithLines(1);
        small.owner = QStringLiteral("李四");
        small.technician.clear();
        window.load(small, QStringLiteral("10.00"));
        QCOMPARE(window.Text4->text(), QString());
        QCOMPARE(window.Text5->text(), QStringLiteral("李四"));
        QCOMPARE(LineTexts(window, 0), QStringList({"项目1", "说明1", "1.00", "10.00", "10.00"}));
        for (int i = 1; i < OrderLinesWindow::kLineCount; ++i) {
            QCOMPARE(LineTexts(window, i), QStringList({"", "", "", "", ""}));
            QCOMPARE(window.Combo1[i]->count(), 0);
        }
        // Nothing typed here would be saved, so nothing can be typed.
        QVERIFY(window.Text5->isReadOnly());
        QVERIFY(window.Text2[0]->isReadOnly());
    }

    // Only seven lines have a place; an order stored with more by another tool shows its first
    // seven instead of failing.
    void moreThanSevenLinesShowsTheFirstSeven() {
        OrderLinesWindow window;
        window.load(OrderWithLines(9), QStringLiteral("450.00"));
        QCOMPARE(LineTexts(window, 6), QStringList({"项目7", "说明7", "7.00", "10.00", "70.00"}));
        QCOMPARE(window.Text9->text(), QStringLiteral("450.00"));
    }

    // Read from the database and shown modally, closed by its button or by Escape.
    void showOrderLinesReadsAndCloses_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("close button") << false;
        QTest::newRow("escape") << true;
    }
    void showOrderLinesReadsAndCloses() {
        QFETCH(bool, escape);
        TestDatabase::addOrder(OrderWithLines(3));
        int shown = 0;
        ScopedModalDriver driver([&](QWidget* window) {
            auto* view = qobject_cast<OrderLinesWindow*>(window);
            QVERIFY(view);
            ++shown;
            QVERIFY(view->isModal());
            QCOMPARE(view->Text9->text(), QStringLiteral("60.00"));
            QCOMPARE(LineTexts(*view, 2),
                     QStringList({"项目3", "说明3", "3.00", "10.00", "30.00"}));
            QCOMPARE(view->Combo1[3]->currentText(), QString());
            if (escape) {
                QTest::keyClick(view->Command2, Qt::Key_Escape);
            } else {
                QTest::mouseClick(view->Command2, Qt::LeftButton);
            }
            QVERIFY(!view->isVisible());
        });
        QVERIFY(ShowOrderLines(nullptr, QStringLiteral(" 20261206001"), QStringLiteral("60.00")));
        QCOMPARE(shown, 1);
        QVERIFY(!ui::WindowHost::find<OrderLinesWindow>());
    }

    void noLinesNoWindow_data() {
        QTest::addColumn<QString>("number");
        QTest::newRow("unknown number") << QStringLiteral(" 20261206002");
        QTest::newRow("empty number") << QString();
    }
    void noLinesNoWindow() {
        QFETCH(QString, number);
        TestDatabase::addOrder(OrderWithLines(1));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("没有找到明细记录！"),
                        MessageScript::Icon::Stop);
        QVERIFY(!ShowOrderLines(nullptr, number, QStringLiteral("1.00")));
        VERIFY_MESSAGES(messages);
        QVERIFY(!ui::WindowHost::find<OrderLinesWindow>());
    }

    // "打印" prints the past order again through the slip preview, with what was saved.
    void printsThePastOrdersSlipAgain() {
        TestDatabase::exec(QStringLiteral("update regedit_table set re_name = '蓝天'"));
        OrderLinesWindow window;
        Order order = OrderWithLines(2);
        order.operatorName = QStringLiteral("小李");
        order.technician = QStringLiteral("李师傅");
        window.load(order, QStringLiteral("50.00"));
        QCOMPARE(window.Command1->text(), QStringLiteral("打印"));
        Slip shown;
        ScopedModalDriver driver([&](QWidget* preview) {
            QCOMPARE(preview->objectName(), QStringLiteral("Form22"));
            shown = static_cast<SlipPreviewWindow*>(preview)->slipView->slip();
        });
        window.Command1->click();
        QCOMPARE(shown.title, QStringLiteral("蓝天汽车维修保养单"));
        QCOMPARE(shown.orderNumber, QStringLiteral("20261206-001"));
        QCOMPARE(shown.orderDate, QStringLiteral("2026-12-06"));
        QCOMPARE(shown.plate, order.plate);
        QCOMPARE(shown.model, order.model);
        QCOMPARE(shown.telephone, order.telephone);
        QCOMPARE(shown.dateTime, QStringLiteral("2026-12-06"));
        QCOMPARE(shown.operatorName, QStringLiteral("小李"));
        QCOMPARE(shown.technician, QStringLiteral("李师傅"));
        QCOMPARE(shown.total, QStringLiteral("50.00"));
        QCOMPARE(shown.lines[1].item, QStringLiteral("项目2"));
        QCOMPARE(shown.lines[1].quantity, QStringLiteral("2.00"));
        QCOMPARE(shown.lines[1].amount, QStringLiteral("20.00"));
        QCOMPARE(shown.lines[2].item, QString());
    }

    void databaseErrorIsShown() {
        TestDatabase::exec(QStringLiteral("alter table kh_wx_mx_table rename to gone"));
        MessageScript messages;
        messages.expect(
            QStringLiteral("系统提示"),
            QStringLiteral("数据库操作失败：数据库语句出错（no such table: kh_wx_mx_table）"),
            MessageScript::Icon::Stop);
        QVERIFY(!ShowOrderLines(nullptr, QStringLiteral(" 20261206001"), QStringLiteral("1.00")));
        VERIFY_MESSAGES(messages);
    }
};

QTEST_MAIN(TestOrderLinesWindow)
#include "test_order_lines_window.moc"
