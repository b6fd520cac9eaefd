#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "app/login_window.h"
#include "customers/customer_edit_window.h"
#include "customers/customer_entry_window.h"
#include "customers/customer_store.h"
#include "followup/call_record_window.h"
#include "import/import_help_window.h"
#include "masterdata/backup_window.h"
#include "masterdata/master_list_window.h"
#include "masterdata/operator_add_window.h"
#include "masterdata/password_change_window.h"
#include "masterdata/plate_prefix_window.h"
#include "masterdata/restore_window.h"
#include "repairs/order_entry_window.h"
#include "repairs/order_lines_window.h"
#include "repairs/repair_history_window.h"
#include "reports/statistics_window.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/date_picker.h"
#include "ui/window_host.h"

using ui::WindowHost;

namespace {

using Factory = std::function<QWidget*()>;
// Opens a pop-up in the window (a list, a calendar, a completion list).
using PopupOpener = std::function<void(QWidget*)>;

void OpenList(QComboBox* combo) {
    combo->setFocus(Qt::OtherFocusReason);
    combo->showPopup();
}

void OpenCalendar(ui::DatePicker* picker) {
    picker->setFocus(Qt::OtherFocusReason);
    // The drop-down arrow at the box's right end.
    QTest::mouseClick(picker, Qt::LeftButton, {},
                      QPoint(picker->width() - 6, picker->height() / 2));
}

// The key goes where a keyboard's would: to the open pop-up's focus, or else the window's.
void PressEscape() {
    QWidget* popup = QApplication::activePopupWidget();
    QWidget* target =
        popup ? (popup->focusWidget() ? popup->focusWidget() : popup) : QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key_Escape);
}

template <class W>
W* Open(W* window) {
    WindowHost::show(window, WindowHost::Mode::Modeless);
    if (!QTest::qWaitForWindowExposed(window))
        qWarning("window %s not exposed", qPrintable(window->objectName()));
    window->activateWindow();
    return window;
}

}  // namespace

// Escape does what a window's close or cancel button does, and asks first where typed data
// would be lost.
class TestEscapeCloses : public WindowTest {
    Q_OBJECT

private slots:
    void closesWindow_data() {
        QTest::addColumn<Factory>("make");
        QTest::newRow("login") << Factory([] { return WindowHost::instance<LoginWindow>(); });
        QTest::newRow("import help")
            << Factory([] { return WindowHost::instance<ImportHelpWindow>(); });
        QTest::newRow("operator add")
            << Factory([] { return WindowHost::instance<OperatorAddWindow>(); });
        QTest::newRow("password") << Factory(
            [] { return WindowHost::instance<PasswordChangeWindow>(); });
        QTest::newRow("price list") << Factory([] {
            const MasterListForm& form = MasterListWindow::RepairItems();
            return WindowHost::instanceNamed<MasterListWindow>(form.formName, form);
        });
        QTest::newRow("plate prefix")
            << Factory([] { return WindowHost::instance<PlatePrefixWindow>(); });
        QTest::newRow("restore") << Factory([] { return WindowHost::instance<RestoreWindow>(); });
        QTest::newRow("backup") << Factory([] { return WindowHost::instance<BackupWindow>(); });
        QTest::newRow("order lines")
            << Factory([] { return WindowHost::instance<OrderLinesWindow>(); });
        QTest::newRow("repair history")
            << Factory([] { return WindowHost::instance<RepairHistoryWindow>(); });
        QTest::newRow("statistics") << Factory([] {
            return WindowHost::instanceNamed<StatisticsWindow>(QStringLiteral("Form19"),
                                                               StatisticsKind::Turnover);
        });
        QTest::newRow("customer entry, nothing typed")
            << Factory([] { return WindowHost::instance<CustomerEntryWindow>(); });
    }
    void closesWindow() {
        QFETCH(Factory, make);
        QWidget* window = Open(make());
        QVERIFY(window->isVisible());
        QWidget* target = window->focusWidget() != nullptr ? window->focusWidget() : window;
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // Escape with a pop-up open closes only the pop-up; the next Escape is the window's.
    void escapeClosesOnlyTheOpenPopup_data() {
        QTest::addColumn<Factory>("make");
        QTest::addColumn<PopupOpener>("open");
        QTest::newRow("login, user list")
            << Factory([] { return WindowHost::instance<LoginWindow>(); })
            << PopupOpener([](QWidget* w) { OpenList(static_cast<LoginWindow*>(w)->Combo1); });
        QTest::newRow("call record, phrase list")
            << Factory([] { return WindowHost::instance<CallRecordWindow>(); })
            << PopupOpener([](QWidget* w) { OpenList(static_cast<CallRecordWindow*>(w)->Combo1); });
        QTest::newRow("call record, calendar")
            << Factory([] { return WindowHost::instance<CallRecordWindow>(); })
            << PopupOpener(
                   [](QWidget* w) { OpenCalendar(static_cast<CallRecordWindow*>(w)->DTPicker1); });
        QTest::newRow("item statistics, item list") << Factory([] {
            return WindowHost::instanceNamed<StatisticsWindow>(QStringLiteral("Form20"),
                                                               StatisticsKind::ItemDetail);
        }) << PopupOpener([](QWidget* w) { OpenList(static_cast<StatisticsWindow*>(w)->Combo1); });
        QTest::newRow("item statistics, calendar") << Factory([] {
            return WindowHost::instanceNamed<StatisticsWindow>(QStringLiteral("Form20"),
                                                               StatisticsKind::ItemDetail);
        }) << PopupOpener([](QWidget* w) {
            OpenCalendar(static_cast<StatisticsWindow*>(w)->DTPicker1);
        });
        QTest::newRow("order entry, item list")
            << Factory([] { return WindowHost::instance<OrderEntryWindow>(); })
            << PopupOpener(
                   [](QWidget* w) { OpenList(static_cast<OrderEntryWindow*>(w)->Combo1[0]); });
        QTest::newRow("customer entry, calendar")
            << Factory([] { return WindowHost::instance<CustomerEntryWindow>(); })
            << PopupOpener([](QWidget* w) {
                   OpenCalendar(static_cast<CustomerEntryWindow*>(w)->DTPicker1);
               });
    }
    void escapeClosesOnlyTheOpenPopup() {
        QFETCH(Factory, make);
        QFETCH(PopupOpener, open);
        TestDatabase::exec(QStringLiteral("insert into xm_table values ('{I1}', '更换机油', 120)"));
        TestDatabase::exec(QStringLiteral("insert into tele_nr values ('保养到期提醒')"));
        QWidget* window = Open(make());
        QVERIFY(QTest::qWaitForWindowActive(window));
        open(window);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        PressEscape();
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
        QVERIFY2(window->isVisible(), "the window stays");
        QVERIFY(QApplication::activeWindow() == window);
        PressEscape();
        QVERIFY2(!window->isVisible(), "the second Escape is the window's");
    }

    void customerEntryAsksBeforeTypedDataIsLost() {
        auto* w = Open(WindowHost::instance<CustomerEntryWindow>());
        w->Text[0]->setFocus();
        QTest::keyClicks(w->Text[1], QStringLiteral("Li"));
        {
            MessageScript messages;
            messages.expect(QStringLiteral("是否放弃已填写的客户信息？"),
                            MessageScript::Answer::Cancel);
            QTest::keyClick(w->Text[1], Qt::Key_Escape);
            VERIFY_MESSAGES(messages);
        }
        QVERIFY(w->isVisible());
        QCOMPARE(w->Text[1]->text(), QStringLiteral("Li"));
        MessageScript messages;
        messages.expect(QStringLiteral("是否放弃已填写的客户信息？"), MessageScript::Answer::Ok);
        QTest::keyClick(w->Text[1], Qt::Key_Escape);
        VERIFY_MESSAGES(messages);
        QVERIFY(!w->isVisible());
    }

    // A customer's record opened for editing holds nothing typed until a field changes.
    void customerEditAsksOnlyAfterAChange() {
        Customer c = TestDatabase::sampleCustomer(QStringLiteral("{1}"), QStringLiteral("苏E88A66"),
                                                  QStringLiteral("王先生"));
        TestDatabase::addCustomer(c);
        auto* w = WindowHost::instance<CustomerEditWindow>();
        w->load(c);
        Open(w);
        QTest::keyClick(w->Text[1], Qt::Key_Escape);
        QVERIFY(!w->isVisible());

        w = WindowHost::instance<CustomerEditWindow>();
        w->load(c);
        Open(w);
        w->Text[2]->setFocus();
        QTest::keyClicks(w->Text[2], QStringLiteral("9"));
        MessageScript messages;
        messages.expect(QStringLiteral("是否放弃已填写的客户信息？"), MessageScript::Answer::Ok);
        QTest::keyClick(w->Text[2], Qt::Key_Escape);
        VERIFY_MESSAGES(messages);
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestEscapeCloses)
#include "test_escape_closes.moc"
