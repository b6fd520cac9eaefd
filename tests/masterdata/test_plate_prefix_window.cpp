#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "masterdata/plate_prefix.h"
#include "masterdata/plate_prefix_window.h"
#include "repairs/order_entry_window.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

PlatePrefixWindow* Open() {
    auto* window = ui::WindowHost::instance<PlatePrefixWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

QStringList StoredPrefixes() {
    const QVariant all = TestDatabase::scalar(
        QStringLiteral("select group_concat(cp_name, char(31)) from cp_table"));
    return all.isNull() ? QStringList() : all.toString().split(QChar(31));
}

}  // namespace

class TestPlatePrefixWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void opensWithThePrefixSelected() {
        PlatePrefixWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("Form6"));
        QCOMPARE(window->Label1->text(), QStringLiteral("车牌前缀"));
        QCOMPARE(window->Label1->buddy(), window->Text1);
        QCOMPARE(window->Command1->text(), QStringLiteral("保存"));
        QCOMPARE(window->Command2->text(), QStringLiteral("取消"));
        QCOMPARE(window->Text1->text(), QStringLiteral("京A"));
        QCOMPARE(window->Text1->selectedText(), QStringLiteral("京A"));
    }

    // Stored exactly as typed: empty, blanks and letter case included; windows opened
    // afterwards start their plates with it.
    void savesAsTyped_data() {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks and lower case kept") << " 粤b ";
        QTest::newRow("quotes and percent") << "沪'%\\";
    }
    void savesAsTyped() {
        QFETCH(QString, prefix);
        PlatePrefixWindow* window = Open();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->Text1->setFocus();
        QTest::keyClick(window->Text1, Qt::Key_Delete);
        TypeText(window->Text1, prefix);
        QCOMPARE(window->Text1->text(), prefix);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("保存成功！"),
                        MessageScript::Icon::Information);
        QPointer<PlatePrefixWindow> open(window);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!open || !open->isVisible());
        QCOMPARE(StoredPrefixes(), QStringList{prefix});
        auto* order = ui::WindowHost::instance<OrderEntryWindow>();
        QCOMPARE(order->Text4->text(), prefix);
    }

    void cancelWritesNothing() {
        PlatePrefixWindow* window = Open();
        window->Text1->setText(QStringLiteral("苏E"));
        window->Command2->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(StoredPrefixes(), QStringList{QStringLiteral("京A")});
    }

    // A database whose prefix row is missing gets one, so the save is not lost.
    void savingWithoutARowStoresOne() {
        TestDatabase::exec(QStringLiteral("delete from cp_table"));
        PlatePrefixWindow* window = Open();
        QCOMPARE(window->Text1->text(), QString());
        window->Text1->setText(QStringLiteral("浙A"));
        MessageScript messages;
        messages.expect(QStringLiteral("保存成功！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(StoredPrefixes(), QStringList{QStringLiteral("浙A")});
        QCOMPARE(*PlatePrefix(), QStringLiteral("浙A"));
    }
};

QTEST_MAIN(TestPlatePrefixWindow)
#include "test_plate_prefix_window.moc"
