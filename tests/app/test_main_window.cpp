#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/main_window.h"
#include "core/clock.h"
#include "core/data_changes.h"
#include "core/date_text.h"
#include "customers/customer_edit_window.h"
#include "customers/customer_entry_window.h"
#include "followup/call_history_window.h"
#include "followup/call_record_window.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/text_fit.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/date_picker.h"
#include "ui/grid.h"
#include "ui/link_label.h"
#include "ui/window_host.h"

namespace {

void AddCustomer(const QString& key, const QString& plate, const QString& name,
                 const QString& phone, const QDate& reminder,
                 const QString& called = QStringLiteral("0")) {
    Customer customer = TestDatabase::sampleCustomer(key, plate, name);
    customer.telephone = phone;
    customer.entryDate = QDate(2026, 1, 5);
    customer.reminderDate = reminder;
    customer.identity = QStringLiteral("110105");
    customer.calledFlag = called;
    TestDatabase::addCustomer(customer);
    // A called customer was called on the day they were due.
    if (called == QLatin1String("1")) {
        TestDatabase::exec(QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, "
                                          "kh_tele_date) values (?, ?, ?)"),
                           {QStringLiteral("{DUE-%1}").arg(key), plate, DateText(reminder)});
    }
}

void AddCall(const QString& plate, const QString& content) {
    TestDatabase::exec(QStringLiteral("insert into kh_tele_table values (?, ?, '旧车主', ?, '好', "
                                      "'2026-01-01', '2025-12-01', '管理员')"),
                       {QStringLiteral("{CALL-%1}").arg(content), plate, content});
}

QStringList ListedPlates(const MainWindow& main) {
    QStringList plates;
    for (int row = 1; row < main.grid1->rows(); ++row) {
        plates << main.grid1->cellText(row, 3);
    }
    return plates;
}

int RowOf(const MainWindow& main, const QString& plate) {
    for (int row = 1; row < main.grid1->rows(); ++row) {
        if (main.grid1->cellText(row, 3) == plate) {
            return row;
        }
    }
    return 0;
}

}  // namespace

class TestMainWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        WindowTest::init();
        SetCurrentOperator(QStringLiteral("小李"));
    }

    void opensOnTodaysUncalledCustomers() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A00001"), QStringLiteral("张三"),
                    QStringLiteral("13800000001"), Today());
        AddCustomer(QStringLiteral("{B}"), QStringLiteral("京A00002"), QStringLiteral("李四"),
                    QStringLiteral("13800000002"), Today(), QStringLiteral("1"));
        AddCustomer(QStringLiteral("{C}"), QStringLiteral("京A00003"), QStringLiteral("王五"),
                    QStringLiteral("13800000003"), Today().addDays(1));
        MainWindow main;
        QCOMPARE(main.Label5->text(), TodayLine(Today()));
        QCOMPARE(main.DTPicker1->value(), Today());
        QCOMPARE(main.DTPicker2->value(), Today());
        QCOMPARE(main.Combo1->count(), 3);
        QCOMPARE(main.Combo1->currentIndex(), 2);
        QCOMPARE(main.Combo1->currentText(), QStringLiteral("显示未打过电话"));
        QCOMPARE(main.Text1->toolTip(),
                 QStringLiteral("查找内容：车牌、车主姓名、手机号  填写完后按回车查找"));
        QCOMPARE(main.grid1->cols(), 10);
        const QStringList headings = {QString(),
                                      QStringLiteral("是否打过电话"),
                                      QStringLiteral("提醒日期"),
                                      QStringLiteral("车牌号"),
                                      QStringLiteral("车主姓名"),
                                      QStringLiteral("性别"),
                                      QStringLiteral("联系电话"),
                                      QStringLiteral("登记日期"),
                                      QStringLiteral("身份证号"),
                                      QStringLiteral("车型")};
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(main.grid1->cellText(0, c), headings[c]);
        }
        QCOMPARE(main.grid1->columnWidth(0), 0);
        QCOMPARE(main.grid1->columnWidth(6), 140);
        QVERIFY(main.grid1->isColumnLocked(3));

        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A00001")});
        const QStringList row = {
            QStringLiteral("{A}"),         QStringLiteral("0"),          DateText(Today()),
            QStringLiteral("京A00001"),    QStringLiteral("张三"),       QStringLiteral("先生"),
            QStringLiteral("13800000001"), QStringLiteral("2026-01-05"), QStringLiteral("110105"),
            QStringLiteral("捷达")};
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(main.grid1->cellText(1, c), row[c]);
        }
    }

    void rangeAndModeFilter_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("plates");
        const QDate d1(2026, 3, 1), d2(2026, 3, 10);
        QTest::newRow("not called, both ends") << 2 << d1 << d2 << QStringList{"from", "to"};
        QTest::newRow("called") << 1 << d1 << d2 << QStringList{"called"};
        QTest::newRow("all") << 0 << d1 << d2 << QStringList{"from", "called", "to"};
        QTest::newRow("from after to") << 0 << d2 << d1 << QStringList{};
        QTest::newRow("one day") << 0 << d2 << d2 << QStringList{"to"};
    }
    void rangeAndModeFilter() {
        QFETCH(int, mode);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, plates);
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("before"), {}, {}, QDate(2026, 2, 28));
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("from"), {}, {}, QDate(2026, 3, 1));
        AddCustomer(QStringLiteral("{3}"), QStringLiteral("called"), {}, {}, QDate(2026, 3, 5),
                    QStringLiteral("1"));
        AddCustomer(QStringLiteral("{4}"), QStringLiteral("to"), {}, {}, QDate(2026, 3, 10));
        AddCustomer(QStringLiteral("{5}"), QStringLiteral("after"), {}, {}, QDate(2026, 3, 11));
        MainWindow main;
        main.DTPicker1->setValue(from);
        main.DTPicker2->setValue(to);
        main.Combo1->setCurrentIndex(mode);
        main.Combo1_Click();
        QStringList listed = ListedPlates(main);
        listed.sort();
        plates.sort();
        QCOMPARE(listed, plates);
    }

    void changingADateShowsUncalledCustomers() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("called"), {}, {}, Today().addDays(3),
                    QStringLiteral("1"));
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("waiting"), {}, {}, Today().addDays(3));
        MainWindow main;
        main.Combo1->setCurrentIndex(0);
        main.Combo1_Click();
        QCOMPARE(ListedPlates(main), QStringList{});
        main.DTPicker2->setDate(Today().addDays(5));  // as the operator would
        QCOMPARE(main.Combo1->currentText(), QStringLiteral("显示未打过电话"));
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("waiting")});

        // A customer added while the window is open shows at the next reload only.
        AddCustomer(QStringLiteral("{3}"), QStringLiteral("new"), {}, {}, Today().addDays(4));
        QCOMPARE(ListedPlates(main).size(), 1);
        main.DTPicker1->setDate(Today().addDays(-1));
        QCOMPARE(ListedPlates(main).size(), 2);
    }

    void searchLooksAtPlateNameAndPhoneIgnoringTheRange() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A13000"), QStringLiteral("甲"),
                    QStringLiteral("010"), QDate(2020, 1, 1));
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("京A00000"), QStringLiteral("乙13"),
                    QStringLiteral("010"), QDate(2030, 1, 1), QStringLiteral("1"));
        AddCustomer(QStringLiteral("{3}"), QStringLiteral("京A99999"), QStringLiteral("丙"),
                    QStringLiteral("13900000000"), Today());
        AddCustomer(QStringLiteral("{4}"), QStringLiteral("京A1-3"), QStringLiteral("丁"),
                    QStringLiteral("010"), Today());
        AddCustomer(QStringLiteral("{5}"), QStringLiteral("京A'5%"), QStringLiteral("O'Neil"),
                    QStringLiteral("010"), Today());
        MainWindow main;
        const QDate from = main.DTPicker1->value();
        QTest::keyClicks(main.Text1, QStringLiteral("13"));
        QTest::keyClick(main.Text1, Qt::Key_Return);
        QStringList listed = ListedPlates(main);
        listed.sort();
        // "京A1-3" is the plate "京A13" with a dash typed in it.
        QCOMPARE(listed, (QStringList{QStringLiteral("京A00000"), QStringLiteral("京A1-3"),
                                      QStringLiteral("京A13000"), QStringLiteral("京A99999")}));
        QCOMPARE(main.DTPicker1->value(), from);
        QCOMPARE(main.Combo1->currentIndex(), 2);

        main.Text1->setText(QStringLiteral("'5%"));
        main.Text1_KeyDown(Qt::Key_Return);
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A'5%")});
        main.Text1->setText(QStringLiteral("O'N"));
        main.Text1_KeyDown(Qt::Key_Return);
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A'5%")});
        main.Text1->setText(QStringLiteral("%"));
        main.Text1_KeyDown(Qt::Key_Return);
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A'5%")});

        // An empty search says so and leaves the list as it was.
        const QStringList before = ListedPlates(main);
        for (const QString& empty : {QString(), QStringLiteral("   ")}) {
            main.Text1->setText(empty);
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"), QStringLiteral("请填写查找内容！"),
                            MessageScript::Icon::Stop);
            QTest::keyClick(main.Text1, Qt::Key_Return);
            VERIFY_MESSAGES(messages);
            QCOMPARE(ListedPlates(main), before);
        }
    }

    // Plates and telephones are found in the list however they are typed.
    void searchFindsPlatesAndPhonesHoweverTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("as printed") << QStringLiteral("浙AD12345");
        QTest::newRow("dotted") << QStringLiteral("浙A·D12345");
        QTest::newRow("spaced, lower case") << QStringLiteral("浙a d12345");
        QTest::newRow("full width") << QStringLiteral("ｄ１２３４５");
        QTest::newRow("phone spaced") << QStringLiteral("138 0013 8000");
        QTest::newRow("phone with +86") << QStringLiteral("+86-13800138000");
    }
    void searchFindsPlatesAndPhonesHoweverTyped() {
        QFETCH(QString, typed);
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("浙AD12345"), QStringLiteral("甲"),
                    QStringLiteral("+86 138-0013-8000"), QDate(2020, 1, 1));
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("浙AD54321"), QStringLiteral("乙"),
                    QStringLiteral("13900000000"), QDate(2020, 1, 1));
        MainWindow main;
        TypeText(main.Text1, typed);
        QTest::keyClick(main.Text1, Qt::Key_Return);
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("浙AD12345")});
    }

    // Customers whose reminder date has passed and who were not called since are never out of
    // sight: the window counts them beside the list, and one click lists them, longest overdue
    // first, with the same actions. The count follows the clock from day to day.
    void overdueCustomersAreCountedAndListed() {
        const QDate monday(2027, 3, 1);
        SetClock(QDateTime(monday, QTime(9, 0)));
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲"), {},
                    monday.addDays(-10));
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("京A2"), QStringLiteral("乙"), {},
                    monday.addDays(-2));
        AddCustomer(QStringLiteral("{3}"), QStringLiteral("京A3"), QStringLiteral("丙"), {},
                    monday.addDays(-1), QStringLiteral("1"));
        AddCustomer(QStringLiteral("{4}"), QStringLiteral("京A4"), QStringLiteral("丁"), {},
                    monday);
        MainWindow main;
        main.show();
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A4")});
        QVERIFY(main.overdueLink->isVisible());
        QCOMPARE(main.overdueLink->text(), QStringLiteral("另有 2 位客户逾期未回访"));

        // A range that starts earlier lists some of them already: "另有" counts the others.
        main.DTPicker1->setDate(monday.addDays(-2));
        QCOMPARE(main.overdueLink->text(), QStringLiteral("另有 1 位客户逾期未回访"));
        main.DTPicker1->setDate(monday);

        // The next morning Monday's customer, not called, is overdue too.
        SetClock(QDateTime(monday.addDays(1), QTime(8, 0)));
        main.checkNewDay();
        QCOMPARE(main.Label5->text(), TodayLine(monday.addDays(1)));
        QCOMPARE(main.overdueLink->text(), QStringLiteral("另有 2 位客户逾期未回访"));
        main.DTPicker1->setDate(monday.addDays(1));
        main.DTPicker2->setDate(monday.addDays(1));
        QCOMPARE(main.overdueLink->text(), QStringLiteral("另有 3 位客户逾期未回访"));

        QTest::mouseClick(main.overdueLink, Qt::LeftButton);
        QCOMPARE(ListedPlates(main), (QStringList{QStringLiteral("京A1"), QStringLiteral("京A2"),
                                                  QStringLiteral("京A4")}));
        QCOMPARE(main.overdueLink->text(), QStringLiteral("以下是逾期未回访的客户，共 3 位"));
        // The same actions: the call record opens on the selected overdue customer.
        main.grid1->setCurrentCell(2, 3);
        ScopedModalDriver driver([](QWidget* window) {
            auto* call = qobject_cast<CallRecordWindow*>(window);
            QVERIFY(call);
            QCOMPARE(call->Text1->text(), QStringLiteral("乙"));
        });
        main.grid1_DblClick();

        // Once called, a customer leaves the overdue list at its next refresh.
        TestDatabase::exec(
            QStringLiteral("update kh_table set kh_sfdgdh = '1' where kh_cph = '京A2'"));
        TestDatabase::exec(QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, "
                                          "kh_tele_date) values ('{CALL}', '京A2', ?)"),
                           {DateText(monday.addDays(1))});
        DataChanges::customersChanged();
        QCOMPARE(ListedPlates(main), (QStringList{QStringLiteral("京A1"), QStringLiteral("京A4")}));
        QCOMPARE(main.overdueLink->text(), QStringLiteral("以下是逾期未回访的客户，共 2 位"));

        // Nobody overdue: no notice.
        TestDatabase::exec(QStringLiteral("update kh_table set kh_txdate = ?"),
                           {DateText(monday.addDays(5))});
        main.Combo1->setCurrentIndex(0);
        main.Combo1_Click();
        QVERIFY(main.overdueLink->isHidden());
        SetClock(QDateTime());
    }

    // Long names, numbers and models of customers due today show whole in the list.
    void longTextsAreNotCut() {
        Customer customer =
            TestDatabase::sampleCustomer(QStringLiteral("{L}"), QStringLiteral("京AD12345"),
                                         QStringLiteral("欧阳明月（东方汽车服务有限公司）"));
        customer.telephone = QStringLiteral("0755-88886666 13800138000");
        customer.identity = QStringLiteral("11010519800101123X");
        customer.model = QStringLiteral("一汽大众迈腾 2.0T 豪华型");
        customer.entryDate = QDate(2026, 1, 5);
        customer.reminderDate = Today();
        TestDatabase::addCustomer(customer);
        MainWindow main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京AD12345")});
        QCOMPARE(CutGridCells(*main.grid1), QStringList());
    }

    void recordActionsNeedASelectedRow() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲"), {},
                    Today());
        MainWindow main;
        main.show();
        QCOMPARE(main.SelectedRow, 0);
        main.grid1_MouseButton(2, 0, 10, 10);
        QVERIFY(!main.sys->isVisible());
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("请选中相应记录！"),
                        MessageScript::Icon::Stop);
        main.grid1_DblClick();
        VERIFY_MESSAGES(messages);

        main.grid1->setCurrentCell(1, 3);
        QCOMPARE(main.SelectedRow, 1);
        main.grid1_MouseButton(2, 0, 10, 40);
        QVERIFY(main.sys->isVisible());
        main.sys->hide();
        // The keyboard opens the same menu on the current row.
        QTest::keyClick(main.grid1, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(main.sys->isVisible());
        main.sys->hide();
        const QStringList captions = {QStringLiteral("『    电话记录　　』"),
                                      QString(),
                                      QStringLiteral("『　修改客户信息　』"),
                                      QStringLiteral("『　删除客户信息　』"),
                                      QString(),
                                      QStringLiteral("『　查看维修记录　』"),
                                      QStringLiteral("『　查看电话记录　』")};
        QCOMPARE(main.sys->actions().size(), captions.size());
        for (int i = 0; i < captions.size(); ++i) {
            QCOMPARE(main.sys->actions()[i]->text(), captions[i]);
        }
    }

    void deleteAsksFirstAndKeepsTheCalls() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲"), {},
                    Today());
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("京A2"), QStringLiteral("乙"), {},
                    Today());
        AddCustomer(QStringLiteral("{3}"), QStringLiteral("京A3"), QStringLiteral("丙"), {},
                    Today());
        AddCall(QStringLiteral("京A2"), QStringLiteral("第一次"));
        MainWindow main;
        main.grid1->setCurrentCell(RowOf(main, QStringLiteral("京A2")), 3);
        const int row = main.SelectedRow;
        const QString below = main.grid1->cellText(row + 1, 3);
        {
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"), QStringLiteral("是否删除信息？"),
                            MessageScript::Icon::Question, MessageScript::Answer::Cancel);
            main.kh_dele_Click();
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt(), 3);
        QCOMPARE(main.grid1->rows(), 4);
        {
            MessageScript messages;
            messages.expect(QStringLiteral("是否删除信息？"), MessageScript::Answer::Ok)
                .expect(QStringLiteral("系统提示"), QStringLiteral("删除成功！"),
                        MessageScript::Icon::Stop);
            main.kh_dele_Click();
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(*) from kh_table where kh_cph='京A2'"))
                     .toInt(),
                 0);
        QCOMPARE(main.grid1->rows(), 3);
        QCOMPARE(RowOf(main, QStringLiteral("京A2")), 0);
        // The row that moved up is current, so the next action applies to what is highlighted.
        QCOMPARE(main.SelectedRow, row);
        QCOMPARE(main.grid1->currentRow(), row);
        QCOMPARE(main.grid1->cellText(row, 3), below);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_tele_table")).toInt(),
                 1);

        // A new customer with the same plate sees the old calls again.
        AddCustomer(QStringLiteral("{9}"), QStringLiteral("京A2"), QStringLiteral("新车主"),
                    QStringLiteral("139"), Today());
        main.Combo1_Click();
        main.grid1->setCurrentCell(RowOf(main, QStringLiteral("京A2")), 3);
        bool shown = false;
        ScopedModalDriver driver([&shown](QWidget* window) {
            auto* history = qobject_cast<CallHistoryWindow*>(window);
            QVERIFY(history);
            shown = true;
            QCOMPARE(history->Text5->text(), QStringLiteral("新车主"));
            QCOMPARE(history->Text9->text(), QStringLiteral("1"));
            QCOMPARE(history->grid1->cellText(1, 2), QStringLiteral("第一次"));
        });
        main.kh_tele_Click();
        QVERIFY(shown);
    }

    void deletingTheLastRowLeavesNothingSelected() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲"), {},
                    Today());
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("京A2"), QStringLiteral("乙"), {},
                    Today());
        MainWindow main;
        main.grid1->setCurrentCell(2, 3);
        MessageScript messages;
        messages.expect(QStringLiteral("是否删除信息？"), MessageScript::Answer::Ok)
            .expect(QStringLiteral("删除成功！"))
            .expect(QStringLiteral("请选中相应记录！"));
        main.kh_dele_Click();
        QCOMPARE(main.SelectedRow, 0);
        main.kh_dele_Click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt(), 1);
    }

    // A saved call moves the customer's reminder date on: today's list of customers still to
    // call no longer holds them, and the selection stays with the customer it was on.
    void aSavedCallRefreshesTheList() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲'"), {},
                    Today());
        AddCustomer(QStringLiteral("{2}"), QStringLiteral("京A2"), QStringLiteral("乙"), {},
                    Today());
        MainWindow main;
        const int row = RowOf(main, QStringLiteral("京A2"));
        main.grid1->setCurrentCell(row, 4);
        const QDate next = Today().addDays(30);
        MessageScript messages;
        messages.expect(QStringLiteral("添加成功！"));
        ScopedModalDriver driver([&](QWidget* window) {
            auto* call = qobject_cast<CallRecordWindow*>(window);
            QVERIFY(call);
            QCOMPARE(call->Text1->text(), QStringLiteral("乙"));
            QCOMPARE(call->Text2->text(), QStringLiteral("京A2"));
            QCOMPARE(call->customerKey(), QStringLiteral("{2}"));
            QCOMPARE(call->listRow(), row);
            QCOMPARE(call->DTPicker1->value(), Today());
            call->Text3->setPlainText(QStringLiteral("提醒保养"));
            call->Text4->setPlainText(QStringLiteral("下月来"));
            call->DTPicker1->setValue(next);
            call->Command1->click();
        });
        main.grid1_DblClick();
        VERIFY_MESSAGES(messages);
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A1")});
        QCOMPARE(main.SelectedRow, 0);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_sfdgdh||'|'||kh_txdate from "
                                                     "kh_table where kh_code = '{2}'"))
                     .toString(),
                 QStringLiteral("1|") + DateText(next));
        // Due again on the new date, and not yet called for it.
        main.DTPicker1->setValue(next);
        main.DTPicker2->setValue(next);
        main.DTPicker1_Change();
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A2")});
        QCOMPARE(main.grid1->cellText(1, 1), QStringLiteral("0"));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_tele_czr from kh_tele_table"))
                     .toString(),
                 QStringLiteral("小李"));
    }

    void editShowsTheStoredCustomer() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲"),
                    QStringLiteral("555"), Today());
        TestDatabase::exec(QStringLiteral("update kh_table set kh_xb='女士'"));
        MainWindow main;
        main.grid1->setCurrentCell(1, 3);
        MessageScript messages;
        messages.expect(QStringLiteral("修改成功！"));
        ScopedModalDriver driver([](QWidget* window) {
            auto* edit = qobject_cast<CustomerEditWindow*>(window);
            QVERIFY(edit);
            QCOMPARE(edit->customerKey(), QStringLiteral("{1}"));
            QVERIFY(edit->Option2->isChecked());
            QVERIFY(!edit->Option1->isChecked());
            QCOMPARE(edit->Text[0]->text(), QStringLiteral("京A1"));
            QCOMPARE(edit->Text[2]->text(), QStringLiteral("555"));
            QCOMPARE(edit->DTPicker1->value(), QDate(2026, 1, 5));
            QCOMPARE(edit->DTPicker2->value(), Today());
            edit->Text[1]->setText(QStringLiteral("甲乙"));
            edit->Command1->click();
        });
        main.kh_mana_Click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_czname from kh_table")).toString(),
                 QStringLiteral("甲乙"));
        // The list shows what is stored at once, with the edited customer still selected.
        QCOMPARE(main.grid1->cellText(1, 4), QStringLiteral("甲乙"));
        QCOMPARE(main.SelectedRow, 1);
    }

    void databaseErrorsAreShownAndChangeNothing() {
        AddCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲"), {},
                    Today());
        MainWindow main;
        main.grid1->setCurrentCell(1, 3);
        TestDatabase::exec(
            QStringLiteral("create trigger keep before delete on kh_table "
                           "begin select raise(abort, 'locked'); end"));
        {
            MessageScript messages;
            messages.expect(QStringLiteral("是否删除信息？"), MessageScript::Answer::Ok)
                .expect(QStringLiteral("系统提示"),
                        QStringLiteral("数据库操作失败：数据库拒绝保存这些数据（locked）"),
                        MessageScript::Icon::Stop);
            main.kh_dele_Click();
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A1")});
        QCOMPARE(main.SelectedRow, 1);

        TestDatabase::exec(QStringLiteral("alter table kh_table rename to kh_gone"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("数据库操作失败：数据库语句出错（no such table: kh_table）"),
                        MessageScript::Icon::Stop);
        main.Combo1_Click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(main.grid1->rows(), 1);
    }

    void panelOpensCustomerEntryOnce() {
        MainWindow main;
        main.show();
        QTest::mouseClick(main.Label1, Qt::LeftButton);
        auto* entry = ui::WindowHost::find<CustomerEntryWindow>();
        QVERIFY(entry);
        QVERIFY(entry->isVisible());
        main.Label1->setFocus();
        QTest::keyClick(main.Label1, Qt::Key_Return);
        QCOMPARE(ui::WindowHost::find<CustomerEntryWindow>(), entry);

        // A customer entered there is due today and not yet called: the list shows it at once.
        entry->Text[0]->setText(QStringLiteral("京A88888"));
        entry->Text[1]->setText(QStringLiteral("新客户"));
        MessageScript messages;
        messages.expect(QStringLiteral("添加成功！"));
        entry->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(ListedPlates(main), QStringList{QStringLiteral("京A88888")});
        QCOMPARE(main.grid1->cellText(1, 1), QStringLiteral("0"));
        QCOMPARE(main.grid1->cellText(1, 2), DateText(Today()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
