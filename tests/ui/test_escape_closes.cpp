#include <QApplication>
#include <QTest>
#include <functional>

#include "app/login_window.h"
#include "customers/customer_edit_window.h"
#include "customers/customer_entry_window.h"
#include "customers/customer_store.h"
#include "import/import_help_window.h"
#include "masterdata/backup_window.h"
#include "masterdata/master_list_window.h"
#include "masterdata/operator_add_window.h"
#include "masterdata/password_change_window.h"
#include "masterdata/plate_prefix_window.h"
#include "masterdata/restore_window.h"
#include "repairs/order_lines_window.h"
#include "repairs/repair_history_window.h"
#include "reports/statistics_window.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/window_host.h"

using ui::WindowHost;

namespace {

using Factory = std::function<QWidget*()>;

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
