#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "app/localization.h"
#include "core/date_text.h"
#include "customers/customer_edit_window.h"
#include "customers/customer_store.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/date_picker.h"
#include "ui/input_box.h"
#include "ui/window_host.h"

namespace {

const QString kKey = QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
const QString kOtherKey = QStringLiteral("{00000000-0000-0000-0000-000000000001}");

// Every column of a customer, in table order: code, plate, name, sex, tele, entry date,
// reminder date, identity number, model, called flag.
QStringList Stored(const QString& key) {
    return TestDatabase::scalar(
               QStringLiteral("select kh_code||'|'||kh_cph||'|'||kh_czname||'|'||kh_xb||'|'||"
                              "kh_tele||'|'||kh_djdate||'|'||kh_txdate||'|'||kh_sfzh||'|'||"
                              "kh_cx||'|'||kh_sfdgdh from kh_table where kh_code=?"),
               {key})
        .toString()
        .split('|');
}

QStringList StoreCustomer(const QString& key, const QString& sex) {
    Customer customer =
        TestDatabase::sampleCustomer(key, QStringLiteral("京A12345"), QStringLiteral("张三"));
    customer.sex = sex;
    customer.entryDate = QDate(2023, 1, 2);
    customer.reminderDate = QDate(2023, 7, 2);
    customer.calledFlag = QStringLiteral("1");
    TestDatabase::addCustomer(customer);
    return Stored(key);
}

void Retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
}

// Hands the stored customer to the window as the main window does, shows it modal and lets
// `act` play the operator inside. Returns whether the window had closed itself when `act` ended.
bool EditCustomer(const QString& key, const std::function<void(CustomerEditWindow*)>& act) {
    const DbResult<std::optional<Customer>> stored = FindCustomerByKey(key);
    auto* window = ui::WindowHost::instance<CustomerEditWindow>();
    Customer customer;
    customer.key = key;
    if (stored && *stored) {
        customer = **stored;
    }
    window->load(customer);

    bool closed = false;
    const QPointer<CustomerEditWindow> alive(window);
    ScopedModalDriver driver([&](QWidget*) {
        act(window);
        closed = !alive || !alive->isVisible();
    });
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
    return closed;
}

}  // namespace

class TestCustomerEditWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void startsWithNothingChosen() {
        CustomerEditWindow window;
        QCOMPARE(window.objectName(), QStringLiteral("Form13"));
        QCOMPARE(window.windowTitle(), QStringLiteral("客户信息修改"));
        QVERIFY(window.customerKey().isEmpty());
        QVERIFY(window.Text[0]->isReadOnly());
        QVERIFY(!window.Option1->isChecked() && !window.Option2->isChecked());
    }

    void saveWritesTheEditableFields_data() {
        QTest::addColumn<QString>("storedSex");
        QTest::addColumn<int>("choose");
        QTest::addColumn<QString>("savedSex");
        QTest::addColumn<QString>("owner");
        QTest::newRow("先生 to 女士") << "先生" << 2 << "女士"
                                      << "李四";
        QTest::newRow("女士 kept") << "女士" << 0 << "女士"
                                   << "O'Brien \"老王\" 100%";
        QTest::newRow("unknown sex kept") << "未知" << 0 << "未知"
                                          << "王五";
        QTest::newRow("unknown sex chosen") << "" << 1 << "先生"
                                            << "王五";
        QTest::newRow("owner emptied") << "先生" << 0 << "先生"
                                       << "";
    }
    void saveWritesTheEditableFields() {
        QFETCH(QString, storedSex);
        QFETCH(int, choose);
        QFETCH(QString, savedSex);
        QFETCH(QString, owner);
        StoreCustomer(kKey, storedSex);
        const QStringList other = StoreCustomer(kOtherKey, QStringLiteral("女士"));

        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("修改成功！"),
                        MessageScript::Icon::Information);
        const bool closed = EditCustomer(kKey, [&](CustomerEditWindow* window) {
            Retype(window->Text[1], owner);
            if (choose != 0) {
                QTest::mouseClick(choose == 1 ? window->Option1 : window->Option2, Qt::LeftButton);
            }
            Retype(window->Text[2], QStringLiteral("010-1234'5678"));
            Retype(window->Text[3], QStringLiteral("证件\\号"));
            Retype(window->Text[4], QStringLiteral("大众 帕萨特"));
            window->DTPicker1->setValue(QDate(2022, 12, 31));
            window->DTPicker2->setValue(QDate(2024, 2, 29));
            // Whatever the plate box shows, the plate is never written.
            window->Text[0]->setText(QStringLiteral("京B99999"));
            QTest::keyClick(window->Command1, Qt::Key_Return);
        });
        VERIFY_MESSAGES(messages);
        QVERIFY(closed);
        QCOMPARE(Stored(kKey),
                 (QStringList{kKey, "京A12345", owner, savedSex, "010-1234'5678", "2022-12-31",
                              "2024-02-29", "证件\\号", "大众 帕萨特", "1"}));
        QCOMPARE(Stored(kOtherKey), other);
    }

    void leavingWritesNothing_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("取 消") << true;
        QTest::newRow("close box") << false;
    }
    void leavingWritesNothing() {
        QFETCH(bool, cancel);
        const QStringList stored = StoreCustomer(kKey, QStringLiteral("先生"));
        MessageScript messages;
        QVERIFY(EditCustomer(kKey, [&](CustomerEditWindow* window) {
            Retype(window->Text[1], QStringLiteral("李四"));
            window->Option2->setChecked(true);
            window->DTPicker2->setValue(QDate(2030, 1, 1));
            if (cancel) {
                window->Command2->click();
            } else {
                window->close();
            }
        }));
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(kKey), stored);
    }

    // Another station saved the customer while this window was open: the save is refused, the
    // window shows what is stored now, and saving again from there writes.
    void aCustomerChangedElsewhereIsNotWrittenOver() {
        StoreCustomer(kKey, QStringLiteral("先生"));
        MessageScript messages;
        QStringList afterRefusal;
        QString ownerShown;
        QString telephoneShown;
        bool stayedOpen = false;
        const bool closed = EditCustomer(kKey, [&](CustomerEditWindow* window) {
            Retype(window->Text[1], QStringLiteral("李四"));
            TestDatabase::exec(QStringLiteral("update kh_table set kh_tele = '13700000000'"));
            messages.expect(QStringLiteral("系统提示"),
                            QStringLiteral("该客户资料已被其他工作站修改，请重新打开"),
                            MessageScript::Icon::Stop);
            window->Command1->click();
            afterRefusal = Stored(kKey);
            stayedOpen = window->isVisible();
            ownerShown = window->Text[1]->text();
            telephoneShown = window->Text[2]->text();

            messages.expect(QStringLiteral("修改成功！"));
            Retype(window->Text[1], QStringLiteral("王五"));
            window->Command1->click();
        });
        VERIFY_MESSAGES(messages);
        QVERIFY(stayedOpen);
        QCOMPARE(afterRefusal.value(2), QStringLiteral("张三"));
        QCOMPARE(ownerShown, QStringLiteral("张三"));
        QCOMPARE(telephoneShown, QStringLiteral("13700000000"));
        QVERIFY(closed);
        QCOMPARE(Stored(kKey).value(2), QStringLiteral("王五"));
        QCOMPARE(Stored(kKey).value(4), QStringLiteral("13700000000"));
    }

    // A customer deleted while the window was open is reported, not "saved".
    void vanishedCustomerIsNotASuccess() {
        StoreCustomer(kKey, QStringLiteral("先生"));
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("该客户信息已不存在，可能已被删除！"),
                        MessageScript::Icon::Stop);
        QVERIFY(EditCustomer(kKey, [](CustomerEditWindow* window) {
            TestDatabase::exec(QStringLiteral("delete from kh_table"));
            window->Command1->click();
        }));
        VERIFY_MESSAGES(messages);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt(), 0);
    }

    // 更正车牌 asks for the plate and moves the customer's orders with it; a plate another
    // customer holds is refused, and the window then shows the plate as stored.
    void correctThePlate() {
        TestDatabase::logInAs(QStringLiteral("店长"), Role::Administrator);
        StoreCustomer(kKey, QStringLiteral("先生"));
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            kOtherKey, QStringLiteral("京B88888"), QStringLiteral("李四")));
        TestDatabase::addOrder(TestDatabase::sampleOrder(QStringLiteral(" 20261206001"),
                                                         QStringLiteral("京A12345"), 5));
        QStringList answers = {QStringLiteral("京b 88888"), QStringLiteral("京A·54321")};
        QStringList prompts;
        const ui::InputBox::Handler previous =
            ui::InputBox::setScriptHandler([&](const ui::InputBox::Request& request) {
                prompts << request.defaultText;
                return answers.takeFirst();
            });
        MessageScript messages;
        messages.expect(QStringLiteral("车牌号 京b 88888 已属于其他客户，不能更正为此车牌！"))
            .expect(QStringLiteral("车牌已由 京A12345 更正为 京A54321。"))
            .expect(QStringLiteral("修改成功！"));
        const bool closed = EditCustomer(kKey, [](CustomerEditWindow* window) {
            QCOMPARE(window->Command3->text(), QStringLiteral("更正车牌"));
            window->Command3->click();
            QCOMPARE(window->Text[0]->text(), QStringLiteral("京A12345"));
            window->Command3->click();
            QCOMPARE(window->Text[0]->text(), QStringLiteral("京A54321"));
            // The other fields save as before, beside the corrected plate.
            window->Text[1]->setText(QStringLiteral("张三丰"));
            window->Command1->click();
        });
        ui::InputBox::setScriptHandler(previous);
        VERIFY_MESSAGES(messages);
        QVERIFY(closed);
        QCOMPARE(prompts, QStringList({"京A12345", "京A12345"}));
        QCOMPARE(Stored(kKey).mid(1, 2), QStringList({"京A54321", "张三丰"}));
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select kh_wx_cph from kh_wx_table")).toString(),
            QStringLiteral("京A54321"));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_cph_gz_czr from kh_cph_gz_table"))
                     .toString(),
                 QStringLiteral("店长"));
    }

    void databaseErrorKeepsRowAndWindow() {
        const QStringList stored = StoreCustomer(kKey, QStringLiteral("先生"));
        TestDatabase::exec(
            QStringLiteral("create trigger refuse before update on kh_table "
                           "begin select raise(abort, 'refused'); end"));
        MessageScript messages;
        QList<MessageScript::Message> shown;
        bool stayedOpen = false;
        QStringList afterError;
        const bool closed = EditCustomer(kKey, [&](CustomerEditWindow* window) {
            Retype(window->Text[1], QStringLiteral("李四"));
            window->Command1->click();
            stayedOpen = window->isVisible();
            afterError = Stored(kKey);
            shown = messages.shown();
            messages.takeProblems();

            // Once the database takes writes again, the same window saves.
            TestDatabase::exec(QStringLiteral("drop trigger refuse"));
            messages.expect(QStringLiteral("修改成功！"));
            window->Command1->click();
        });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, MessageScript::Icon::Stop);
        // The message names the engine's own reason for the refusal.
        QVERIFY2(shown.first().text.startsWith(QStringLiteral("数据库操作失败：")) &&
                     shown.first().text.contains(QStringLiteral("refused")),
                 qPrintable(shown.first().text));
        QVERIFY(stayedOpen);
        QCOMPARE(afterError, stored);
        VERIFY_MESSAGES(messages);
        QVERIFY(closed);
        QCOMPARE(Stored(kKey).value(2), QStringLiteral("李四"));
    }
};

QTEST_MAIN(TestCustomerEditWindow)
#include "test_customer_edit_window.moc"
