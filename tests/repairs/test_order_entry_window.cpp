#include <sqlite3.h>
#include <QAccessible>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include "app/main_window.h"
#include "core/clock.h"
#include "core/date_text.h"
#include "repairs/order_entry.h"
#include "repairs/order_entry_window.h"
#include "repairs/slip_preview_window.h"
#include "repairs/slip_view.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/text_fit.h"
#include "support/window_test.h"
#include "ui/date_picker.h"
#include "ui/key_controls.h"
#include "ui/link_label.h"
#include "ui/window_host.h"

namespace {

const QString kPlate = QStringLiteral("京A12345");

int Count(const QString& table) {
    return TestDatabase::scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

OrderEntryWindow* OpenOrderWindow() {
    auto* window = ui::WindowHost::instance<OrderEntryWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

void Enter(QWidget* widget) {
    QTest::keyClick(widget, Qt::Key_Return);
}

// Fills what a save needs: a stored plate looked up with Enter, a technician and one line.
void FillOrder(OrderEntryWindow* w) {
    w->Text4->setText(kPlate);
    Enter(w->Text4);
    w->Combo2->setEditText(QStringLiteral("李师傅"));
    w->Combo1[0]->setCurrentIndex(1);
    w->Combo1_Click(0);
    w->Text1[0]->setText(QStringLiteral("2"));
    w->Text1_LostFocus(0);
}

}  // namespace

class TestOrderEntryWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        WindowTest::init();
        SetCurrentOperator(QStringLiteral("小李"));
        Customer customer =
            TestDatabase::sampleCustomer(QStringLiteral("{1}"), kPlate, QStringLiteral("张三"));
        customer.model = QStringLiteral("卡罗拉");
        customer.telephone = QStringLiteral("13900000000");
        customer.reminderDate = QDate(2027, 1, 20);
        TestDatabase::addCustomer(customer);
        TestDatabase::exec(QStringLiteral(
            "insert into xm_table values ('{I1}', '更换机油', 120), ('{I2}', '机滤', 35.5)"));
        TestDatabase::exec(
            QStringLiteral("insert into wxjs_table values ('{T1}', '李师傅'), ('{T2}', '王师傅')"));
    }

    // Items that differ only near their end, and long names, show whole in the opened lists.
    void theListsShowWholeEntries() {
        TestDatabase::exec(QStringLiteral(
            "insert into xm_table values ('{I3}', '空气滤清器', 45), ('{I4}', '空调滤清器', 60), "
            "('{I5}', '全车四轮定位及动平衡检测（含工时）', 280)"));
        TestDatabase::exec(
            QStringLiteral("insert into wxjs_table values ('{T3}', '欧阳师傅（机修组长）')"));
        OrderEntryWindow* w = OpenOrderWindow();
        QVERIFY(w->Combo1[0]->width() < w->Combo1[0]->fontMetrics().horizontalAdvance(
                                            QStringLiteral("全车四轮定位及动平衡检测（含工时）")));
        QCOMPARE(CutComboItems(*w->Combo1[0]), QStringList());
        // Also with a style whose lists open only as wide as their box.
        const std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Windows")));
        QVERIFY(plain);
        for (ui::ComboBox* combo : {w->Combo1[6], w->Combo2}) {
            combo->setStyle(plain.get());
            QCOMPARE(CutComboItems(*combo), QStringList());
            combo->setStyle(nullptr);
        }
    }

    void opensWithTheDaysNextNumberAndTheLists() {
        const QString datePart = OrderDatePart(Today());
        TestDatabase::addOrder(TestDatabase::sampleOrder(datePart + "041", kPlate, 10));
        OrderEntryWindow* w = OpenOrderWindow();
        QCOMPARE(w->objectName(), QStringLiteral("Form4"));
        QCOMPARE(w->Label1->text(), QStringLiteral("客户维修记录添加"));
        QCOMPARE(w->Text6->text(), datePart);
        QVERIFY(w->Text6->isReadOnly() && w->Text5->isReadOnly() && w->Text8->isReadOnly() &&
                w->Text10->isReadOnly());
        QCOMPARE(w->Text7->text(), QStringLiteral("042"));
        QCOMPARE(w->DTPicker1->value(), Today());
        QCOMPARE(Items(w->Combo2),
                 QStringList({QStringLiteral("李师傅"), QStringLiteral("王师傅")}));
        QCOMPARE(w->Combo2->currentText(), QString());
        for (const ui::ComboBox* combo : w->Combo1) {
            QCOMPARE(Items(combo),
                     QStringList({QString(), QStringLiteral("更换机油"), QStringLiteral("机滤")}));
            QCOMPARE(combo->currentIndex(), -1);
        }
        QCOMPARE(w->Text9->text(), QStringLiteral("0.00"));
        // The plate box holds the shop's prefix, and typing goes on after it.
        QCOMPARE(w->Text4->text(), QStringLiteral("京A"));
        QCOMPARE(w->Text4->cursorPosition(), 2);
        QCOMPARE(FocusName(), QStringLiteral("Text7"));
    }

    // Enter walks the whole order; the amounts and the total follow the typing, and saving
    // stores it, moves the reminder date and starts the next order in a fresh window.
    void aWholeOrderFromTheKeyboard() {
        OrderEntryWindow* w = OpenOrderWindow();
        QTest::keyClick(w->Text7, Qt::Key_Backspace);
        TypeText(w->Text7, QStringLiteral("7"));
        Enter(w->Text7);
        QCOMPARE(w->Text7->text(), QStringLiteral("007"));
        QCOMPARE(FocusName(), QStringLiteral("Text4"));
        TypeText(w->Text4, QStringLiteral("12345"));
        Enter(w->Text4);
        QCOMPARE(w->Text5->text(), QStringLiteral("张三"));
        QCOMPARE(w->Text8->text(), QStringLiteral("卡罗拉"));
        QCOMPARE(w->Text10->text(), QStringLiteral("13900000000"));
        QCOMPARE(w->DTPicker1->value(), QDate(2027, 1, 20));
        QCOMPARE(FocusName(), QStringLiteral("DTPicker1"));
        Enter(w->DTPicker1);
        QCOMPARE(FocusName(), QStringLiteral("Combo2"));
        TypeText(QApplication::focusWidget(), QStringLiteral("赵师傅"));
        Enter(QApplication::focusWidget());
        QCOMPARE(FocusName(), QStringLiteral("Combo1(0)"));
        QTest::keyClick(w->Combo1[0], Qt::Key_Down);
        QTest::keyClick(w->Combo1[0], Qt::Key_Down);
        QCOMPARE(w->Combo1[0]->currentText(), QStringLiteral("更换机油"));
        QCOMPARE(w->Text2[0]->text(), QStringLiteral("120.00"));
        Enter(w->Combo1[0]);
        QCOMPARE(FocusName(), QStringLiteral("Text(0)"));
        TypeText(w->Text[0], QStringLiteral("全合成"));
        Enter(w->Text[0]);
        TypeText(w->Text1[0], QStringLiteral("2"));
        Enter(w->Text1[0]);
        QCOMPARE(w->Text1[0]->text(), QStringLiteral("2.00"));
        QCOMPARE(w->Text3[0]->text(), QStringLiteral("240.00"));
        QCOMPARE(w->Text9->text(), QStringLiteral("240.00"));
        QCOMPARE(FocusName(), QStringLiteral("Text2(0)"));
        Enter(w->Text2[0]);
        Enter(w->Text3[0]);
        QCOMPARE(FocusName(), QStringLiteral("Combo1(1)"));
        QTest::keyClick(w->Combo1[1], Qt::Key_End);
        Enter(w->Combo1[1]);
        Enter(w->Text[1]);
        TypeText(w->Text1[1], QStringLiteral("1"));
        Enter(w->Text1[1]);
        QCOMPARE(w->Text9->text(), QStringLiteral("275.50"));

        MessageScript messages;
        messages.expect(QStringLiteral("是否打印？"), MessageScript::Answer::Cancel)
            .expect(QStringLiteral("系统提示"), QStringLiteral("添加成功！"),
                    MessageScript::Icon::Information);
        w->Command1->setFocus();
        QTest::keyClick(w->Command1, Qt::Key_Space);
        VERIFY_MESSAGES(messages);

        const QString number = OrderDatePart(Today()) + QStringLiteral("007");
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select kh_wx_cph||'|'||kh_wx_czname||'|'||kh_wx_cx||'|'||"
                                    "kh_wx_tele||'|'||kh_wx_hj||'|'||kh_wx_czr||'|'||kh_wx_txdate"
                                    "||'|'||kh_wx_date||'|'||kh_wx_wxjs from kh_wx_table "
                                    "where kh_wx_dh=?"),
                     {number})
                     .toString(),
                 QStringLiteral("京A12345|张三|卡罗拉|13900000000|275.5|小李|2027-01-20|") +
                     DateText(Today()) + QStringLiteral("|赵师傅"));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select group_concat(kh_wx_mx_xm||'/'||kh_wx_mx_xmsm||'/'||"
                                    "kh_wx_mx_sl||'/'||kh_wx_mx_dj||'/'||kh_wx_mx_hj, ',') from "
                                    "(select * from kh_wx_mx_table where kh_wx_mx_dh=? "
                                    "order by rowid)"),
                     {number})
                     .toString(),
                 QStringLiteral("更换机油/全合成/2.0/120.0/240.0,机滤//1.0/35.5/35.5"));

        // The next order starts fresh, one number on.
        auto* next = ui::WindowHost::find<OrderEntryWindow>();
        QVERIFY(next && next != w);
        QVERIFY(next->isVisible());
        QCOMPARE(next->Text7->text(), QStringLiteral("008"));
        QCOMPARE(next->Text5->text(), QString());
    }

    // Two stations opened the window at once and were offered the same number; the other one
    // saved first. This order takes the next free number, and the operator is told which.
    void anOfferedNumberTakenMeanwhileGivesWay() {
        OrderEntryWindow* w = OpenOrderWindow();
        QCOMPARE(w->Text7->text(), QStringLiteral("001"));
        const QString day = OrderDatePart(Today());
        TestDatabase::addOrder(
            TestDatabase::sampleOrder(day + QStringLiteral("001"), QStringLiteral("京C1"), 1));
        FillOrder(w);

        const QString shownDay = Today().toString(QStringLiteral("yyyyMMdd"));
        MessageScript messages;
        messages
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("单号 %1-001 已被其他工作站使用，本维修单已保存为单号 %1-002。")
                        .arg(shownDay),
                    MessageScript::Icon::Information)
            .expect(QStringLiteral("是否打印？"), MessageScript::Answer::Cancel)
            .expect(QStringLiteral("系统提示"), QStringLiteral("添加成功！"),
                    MessageScript::Icon::Information);
        w->Command1->setFocus();
        QTest::keyClick(w->Command1, Qt::Key_Space);
        VERIFY_MESSAGES(messages);
        QCOMPARE(
            TestDatabase::scalar(
                QStringLiteral("select kh_wx_dh from kh_wx_table where kh_wx_cph = ?"), {kPlate})
                .toString(),
            day + QStringLiteral("002"));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(*) from kh_wx_mx_table where kh_wx_mx_dh = ?"),
                     {day + QStringLiteral("002")})
                     .toInt(),
                 1);
        auto* next = ui::WindowHost::find<OrderEntryWindow>();
        QVERIFY(next && next != w);
        QCOMPARE(next->Text7->text(), QStringLiteral("003"));
    }

    void saveChecksInOrder_data() {
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<QString>("plate");
        QTest::addColumn<QString>("technician");
        QTest::addColumn<bool>("numberTaken");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("no sequence") << "" << kPlate << "李师傅" << false << "维修单号为必填项！"
                                     << "Text7";
        QTest::newRow("no plate") << "001"
                                  << "  "
                                  << "李师傅" << false << "车牌号为必填项！"
                                  << "Text4";
        QTest::newRow("no technician") << "001" << kPlate << "" << false << "维修技师为必填项！"
                                       << "Combo2";
        QTest::newRow("unknown plate") << "001"
                                       << "京B99999"
                                       << "李师傅" << true << "没有找到车牌号！"
                                       << "Text4";
        QTest::newRow("number taken") << "001" << kPlate << "李师傅" << true << "维修单号重复！"
                                      << "Text7";
    }
    void saveChecksInOrder() {
        QFETCH(QString, sequence);
        QFETCH(QString, plate);
        QFETCH(QString, technician);
        QFETCH(bool, numberTaken);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        if (numberTaken) {
            TestDatabase::addOrder(TestDatabase::sampleOrder(
                OrderDatePart(Today()) + QStringLiteral("001"), QStringLiteral("京C1"), 1));
        }
        OrderEntryWindow* w = OpenOrderWindow();
        FillOrder(w);
        w->Text7->setText(sequence);
        w->Text4->setText(plate);
        w->Combo2->setEditText(technician);
        w->DTPicker1->setValue(QDate(2030, 1, 1));
        const int orders = Count(QStringLiteral("kh_wx_table"));
        const int lines = Count(QStringLiteral("kh_wx_mx_table"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
        w->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(FocusName(), focus);
        // Refused means untouched: no order, and the customer keeps the reminder date.
        QCOMPARE(Count(QStringLiteral("kh_wx_table")), orders);
        QCOMPARE(Count(QStringLiteral("kh_wx_mx_table")), lines);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_txdate from kh_table")).toString(),
                 QStringLiteral("2027-01-20"));
        QVERIFY(w->isVisible());
        QCOMPARE(w->Text1[0]->text(), QStringLiteral("2.00"));
    }

    // Another program holds the write lock all through the wait: the save says the database is
    // busy, writes nothing and keeps the form, and goes through once the other one is done.
    void busyDatabaseKeepsTheForm() {
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(db_->filePath()).constData(), &other,
                                 SQLITE_OPEN_READWRITE, nullptr),
                 SQLITE_OK);
        auto closeOther = qScopeGuard([other] { sqlite3_close_v2(other); });
        QCOMPARE(sqlite3_exec(other, "begin immediate", nullptr, nullptr, nullptr), SQLITE_OK);

        OrderEntryWindow* w = OpenOrderWindow();
        FillOrder(w);
        {
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"),
                            QStringLiteral("数据库操作失败：数据库正忙，请稍后再试。（database is "
                                           "locked）"),
                            MessageScript::Icon::Stop);
            w->Command1->click();
            VERIFY_MESSAGES(messages);
        }
        QVERIFY(w->isVisible());
        QCOMPARE(w->Text4->text(), kPlate);
        QCOMPARE(w->Text1[0]->text(), QStringLiteral("2.00"));
        QCOMPARE(Count(QStringLiteral("kh_wx_table")), 0);

        QCOMPARE(sqlite3_exec(other, "commit", nullptr, nullptr, nullptr), SQLITE_OK);
        MessageScript messages;
        messages.expect(QStringLiteral("是否打印？"), MessageScript::Answer::Cancel)
            .expect(QStringLiteral("添加成功！"));
        w->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Count(QStringLiteral("kh_wx_table")), 1);
        QCOMPARE(Count(QStringLiteral("kh_wx_mx_table")), 1);
    }

    // The plate is looked up however it is typed, and shown as the customer's record holds it.
    void plateTypedInLowerCaseFindsTheCustomer_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("full-width lower case") << QStringLiteral(" 京ａ12345");
        QTest::newRow("dotted") << QStringLiteral("京A·12345");
        QTest::newRow("spaced") << QStringLiteral("京A 12 345");
        QTest::newRow("dashed") << QStringLiteral("京a-12345");
    }
    void plateTypedInLowerCaseFindsTheCustomer() {
        QFETCH(QString, typed);
        OrderEntryWindow* w = OpenOrderWindow();
        w->Text4->setText(typed);
        Enter(w->Text4);
        QCOMPARE(w->Text4->text(), kPlate);
        QCOMPARE(w->Text5->text(), QStringLiteral("张三"));
    }

    // A screen reader reads each item list's chosen item as its name, and the list's column and
    // line as its description; the text boxes are named by theirs. An item stored without a name
    // (added to the price list but never named) is not offered.
    void itemListsSayTheirChosenItem() {
        TestDatabase::exec(QStringLiteral("insert into xm_table values ('{I0}', '', 0)"));
        OrderEntryWindow* w = OpenOrderWindow();
        QCOMPARE(Items(w->Combo1[2]),
                 QStringList({QString(), QStringLiteral("更换机油"), QStringLiteral("机滤")}));
        w->Combo1[2]->setCurrentIndex(2);
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(w->Combo1[2]);
        QVERIFY(list);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("机滤"));
        QCOMPARE(list->text(QAccessible::Description), QStringLiteral("项目名称 03"));
        QAccessibleInterface* quantity = QAccessible::queryAccessibleInterface(w->Text1[2]);
        QVERIFY(quantity);
        QCOMPARE(quantity->text(QAccessible::Name), QStringLiteral("数量 03"));
    }

    // Escape cancels the order; with lines typed it asks first, and No keeps everything.
    void escapeAsksBeforeLinesAreLost() {
        OrderEntryWindow* w = OpenOrderWindow();
        QTest::keyClick(w->Text4, Qt::Key_Escape);
        QVERIFY(!w->isVisible());

        w = OpenOrderWindow();
        FillOrder(w);
        {
            MessageScript messages;
            messages.expect(QStringLiteral("是否放弃当前维修单？"), MessageScript::Answer::Cancel);
            QTest::keyClick(w->Text1[0], Qt::Key_Escape);
            VERIFY_MESSAGES(messages);
        }
        QVERIFY(w->isVisible());
        QCOMPARE(w->Text1[0]->text(), QStringLiteral("2.00"));
        MessageScript messages;
        messages.expect(QStringLiteral("是否放弃当前维修单？"), MessageScript::Answer::Ok);
        QTest::keyClick(w->Text4, Qt::Key_Escape);
        VERIFY_MESSAGES(messages);
        QVERIFY(!w->isVisible());
        QCOMPARE(Count(QStringLiteral("kh_wx_table")), 0);
    }

    void keyFiltersAndLeavingFields() {
        OrderEntryWindow* w = OpenOrderWindow();
        w->Text1[3]->setFocus();
        TypeText(w->Text1[3], QStringLiteral("a1-.5.x"));
        QCOMPARE(w->Text1[3]->text(), QStringLiteral("1.5."));
        TypeText(w->Text1[3], QStringLiteral("."));
        QCOMPARE(w->Text1[3]->text(), QStringLiteral("1.5."));
        w->Text2[3]->setFocus();
        QCOMPARE(w->Text1[3]->text(), QStringLiteral("1.5."));  // not a number: stays
        QCOMPARE(w->Text3[3]->text(), QStringLiteral("0.00"));
        TypeText(w->Text2[3], QStringLiteral("10"));
        w->Text3[3]->setFocus();
        QCOMPARE(w->Text2[3]->text(), QStringLiteral("10.00"));
        QCOMPARE(w->Text3[3]->text(), QStringLiteral("15.00"));
        // An amount typed by hand counts in the total as typed.
        w->Text3[3]->setText(QStringLiteral("14"));
        w->Text[4]->setFocus();
        QCOMPARE(w->Text3[3]->text(), QStringLiteral("14"));
        QCOMPARE(w->Text9->text(), QStringLiteral("14.00"));
        // The sequence takes digits only, up to four.
        w->Text7->setFocus();
        w->Text7->clear();
        TypeText(w->Text7, QStringLiteral("x12345"));
        QCOMPARE(w->Text7->text(), QStringLiteral("1234"));
    }

    // Choosing an item starts its line over at the list's price; the total waits for a field to
    // be left.
    void choosingAnItemPricesItsLine() {
        OrderEntryWindow* w = OpenOrderWindow();
        w->Text1[2]->setText(QStringLiteral("3"));
        w->Text3[2]->setText(QStringLiteral("9.00"));
        w->Text3_LostFocus(2);
        QCOMPARE(w->Text9->text(), QStringLiteral("9.00"));
        w->Combo1[2]->setCurrentIndex(2);
        w->Combo1_Click(2);
        QCOMPARE(w->Text1[2]->text(), QStringLiteral("0.00"));
        QCOMPARE(w->Text2[2]->text(), QStringLiteral("35.50"));
        QCOMPARE(w->Text3[2]->text(), QStringLiteral("0.00"));
        QCOMPARE(w->Text9->text(), QStringLiteral("9.00"));
        // The empty entry takes the line out of the order and changes nothing else.
        w->Combo1[2]->setCurrentIndex(0);
        w->Combo1_Click(2);
        QCOMPARE(w->Text2[2]->text(), QStringLiteral("35.50"));
        QVERIFY(w->order().lines.isEmpty());
    }

    // OK to "是否打印？" shows the slip of what the window holds, unsaved lines included.
    void printingShowsTheSlip() {
        TestDatabase::exec(QStringLiteral("update regedit_table set re_name = '蓝天'"));
        OrderEntryWindow* w = OpenOrderWindow();
        FillOrder(w);
        w->Text[5]->setText(QStringLiteral("只有说明"));
        Slip shown;
        ScopedModalDriver driver([&](QWidget* window) {
            auto* preview = qobject_cast<SlipPreviewWindow*>(window);
            QVERIFY(preview);
            shown = preview->slipView->slip();
        });
        MessageScript messages;
        messages.expect(QStringLiteral("是否打印？"), MessageScript::Answer::Ok)
            .expect(QStringLiteral("添加成功！"));
        w->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(shown.title, QStringLiteral("蓝天汽车维修保养单"));
        QCOMPARE(shown.orderNumber, OrderDatePart(Today()).trimmed() + QStringLiteral("-001"));
        QCOMPARE(shown.orderDate, DateText(Today()));
        QCOMPARE(shown.owner, QStringLiteral("张三"));
        QCOMPARE(shown.plate, w->Text4->text());
        QCOMPARE(shown.model, w->Text8->text());
        QCOMPARE(shown.telephone, w->Text10->text());
        QVERIFY(!shown.plate.isEmpty() && !shown.model.isEmpty() && !shown.telephone.isEmpty());
        QCOMPARE(shown.operatorName, QStringLiteral("小李"));
        QCOMPARE(shown.technician, QStringLiteral("李师傅"));
        QCOMPARE(shown.total, QStringLiteral("240.00"));
        QCOMPARE(shown.lines[0].item, QStringLiteral("更换机油"));
        QCOMPARE(shown.lines[0].quantity, QStringLiteral("2.00"));
        QCOMPARE(shown.lines[5].description, QStringLiteral("只有说明"));
        QVERIFY(shown.dateTime.startsWith(DateText(Today())));
        QCOMPARE(Count(QStringLiteral("kh_wx_mx_table")), 1);
    }

    // A window opened before midnight and saved after keeps its number of the day before; the
    // order is dated the day it was saved, and the next window numbers the new day from 001.
    void anOrderOpenedBeforeMidnight() {
        const QDateTime pinned = Now();
        const QDate day(2026, 12, 6);
        SetClock(QDateTime(day, QTime(23, 59, 30)));
        TestDatabase::addOrder(TestDatabase::sampleOrder(" 20261206004", kPlate, 1));
        OrderEntryWindow* w = OpenOrderWindow();
        QCOMPARE(w->Text7->text(), QStringLiteral("005"));
        SetClock(QDateTime(day.addDays(1), QTime(0, 0, 30)));
        FillOrder(w);
        MessageScript messages;
        messages.expect(QStringLiteral("是否打印？"), MessageScript::Answer::Cancel)
            .expect(QStringLiteral("添加成功！"));
        w->Command1->click();
        VERIFY_MESSAGES(messages);
        const QString stored =
            TestDatabase::scalar(QStringLiteral("select kh_wx_date from kh_wx_table where "
                                                "kh_wx_dh = ' 20261206005'"))
                .toString();
        auto* next = ui::WindowHost::find<OrderEntryWindow>();
        const QString nextNumber = next ? next->Text6->text() + next->Text7->text() : QString();
        SetClock(pinned);
        QCOMPARE(stored, QStringLiteral("2026-12-07"));
        QCOMPARE(nextNumber, QStringLiteral(" 20261207001"));
    }

    // A plate typed but never looked up still needs a stored customer; the order then carries
    // no owner details. A line without an item counts in the total but is not stored.
    void unlookedPlateAndALineWithoutItem() {
        OrderEntryWindow* w = OpenOrderWindow();
        w->Text4->setText(kPlate);
        w->Combo2->setEditText(QStringLiteral("李师傅"));
        w->Combo1[0]->setCurrentIndex(2);
        w->Combo1_Click(0);
        w->Text1[0]->setText(QStringLiteral("2"));
        w->Text1_LostFocus(0);
        QCOMPARE(w->Text3[0]->text(), QStringLiteral("71.00"));
        w->Text[1]->setText(QStringLiteral("外加工"));
        w->Text1[1]->setText(QStringLiteral("1"));
        w->Text2[1]->setText(QStringLiteral("10"));
        w->Text2_LostFocus(1);
        QCOMPARE(w->Text9->text(), QStringLiteral("81.00"));
        MessageScript messages;
        messages.expect(QStringLiteral("是否打印？"), MessageScript::Answer::Cancel)
            .expect(QStringLiteral("添加成功！"));
        w->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select kh_wx_czname||'|'||kh_wx_cx||'|'||kh_wx_tele||'|'||"
                                    "kh_wx_hj from kh_wx_table"))
                     .toString(),
                 QStringLiteral("|||81.0"));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select group_concat(kh_wx_mx_xm) from "
                                                     "kh_wx_mx_table"))
                     .toString(),
                 QStringLiteral("机滤"));
    }

    void theMainWindowOpensOneOrderWindow() {
        MainWindow main;
        QVERIFY(main.Label3->isEnabled());
        main.Label3_Click();
        auto* first = ui::WindowHost::find<OrderEntryWindow>();
        QVERIFY(first && first->isVisible());
        first->Text[0]->setText(QStringLiteral("还在"));
        main.Label3_Click();
        QCOMPARE(ui::WindowHost::find<OrderEntryWindow>(), first);
        QCOMPARE(first->Text[0]->text(), QStringLiteral("还在"));
    }
};

QTEST_MAIN(TestOrderEntryWindow)
#include "test_order_entry_window.moc"
