#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/localization.h"
#include "core/clock.h"
#include "core/field_limits.h"
#include "customers/customer_entry_window.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/date_picker.h"
#include "ui/window_host.h"

namespace {

CustomerEntryWindow* OpenEntryWindow() {
    auto* window = ui::WindowHost::instance<CustomerEntryWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    if (!QTest::qWaitForWindowActive(window)) {
        qWarning("the entry window did not become active");
    }
    return window;
}

int CustomerCount() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

// The stored rows of a plate, each as "plate|name|sex|tele|entry|reminder|id|model|called".
QString Stored(const QString& plate) {
    return TestDatabase::scalar(
               QStringLiteral("select group_concat(kh_cph||'|'||kh_czname||'|'||kh_xb||'|'||"
                              "kh_tele||'|'||kh_djdate||'|'||kh_txdate||'|'||kh_sfzh||'|'||"
                              "kh_cx||'|'||kh_sfdgdh, '/') from kh_table where kh_cph=?"),
               {plate})
        .toString();
}

void StorePlate(const QString& plate) {
    TestDatabase::addCustomer(
        TestDatabase::sampleCustomer(QStringLiteral("{OLD}"), plate, QStringLiteral("旧车主")));
}

void Fill(CustomerEntryWindow* window, const QStringList& texts) {
    for (int i = 0; i < 5; ++i) {
        window->Text[i]->setText(texts.value(i));
    }
}

}  // namespace

class TestCustomerEntryWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    // Each box takes its field's limit and refuses more, typed or pasted; what it holds is
    // stored whole.
    void theBoxesRefuseMoreThanTheFieldHolds() {
        CustomerEntryWindow* window = OpenEntryWindow();
        const TextField fields[] = {TextField::Plate, TextField::Owner, TextField::Telephone,
                                    TextField::Identity, TextField::Model};
        for (int i = 0; i < 5; ++i) {
            const int limit = FieldLimit(fields[i]);
            window->Text[i]->clear();
            window->Text[i]->setFocus();
            QTest::keyClicks(window->Text[i], QString(limit + 3, QLatin1Char('7')));
            QCOMPARE(window->Text[i]->text().size(), limit);
            window->Text[i]->clear();
            window->Text[i]->insert(QString(limit * 100, QLatin1Char('8')));
            QCOMPARE(window->Text[i]->text().size(), limit);
        }
        MessageScript messages;
        messages.expect(QStringLiteral("添加成功！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select length(kh_czname) from kh_table")).toInt(),
            FieldLimit(TextField::Owner));
    }

    void everyFieldHasItsLabel() {
        CustomerEntryWindow* window = OpenEntryWindow();
        QCOMPARE(window->objectName(), QStringLiteral("Form3"));
        QCOMPARE(window->windowTitle(), QStringLiteral("客户信息添加"));
        QVERIFY(window->Option1->isChecked());
        QCOMPARE(window->DTPicker1->value(), Today());
        QCOMPARE(window->DTPicker2->value(), Today());
        QMap<QString, QWidget*> buddies;
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->buddy()) {
                buddies.insert(label->text(), label->buddy());
            }
        }
        const QMap<QString, QWidget*> expected = {
            {"车牌号：", window->Text[0]},     {"车主姓名：", window->Text[1]},
            {"性别：", window->Option1},       {"联系电话：", window->Text[2]},
            {"登记日期：", window->DTPicker1}, {"提醒日期：", window->DTPicker2},
            {"身份证号：", window->Text[3]},   {"车型：", window->Text[4]}};
        QCOMPARE(buddies, expected);
    }

    void platePrefixAndCursor_data() {
        QTest::addColumn<QStringList>("prefixes");
        QTest::addColumn<QString>("typed");
        QTest::newRow("seed prefix") << QStringList{"京A"} << "12345";
        QTest::newRow("prefix only") << QStringList{"京A"} << "";
        QTest::newRow("no prefix stored") << QStringList{} << "沪B777";
        QTest::newRow("first of two, three long") << QStringList{"粤B1", "京A"} << "2345";
    }
    void platePrefixAndCursor() {
        QFETCH(QStringList, prefixes);
        QFETCH(QString, typed);
        TestDatabase::exec(QStringLiteral("delete from cp_table"));
        for (const QString& p : prefixes) {
            TestDatabase::exec(QStringLiteral("insert into cp_table (cp_name) values (?)"), {p});
        }
        const QString prefix = prefixes.value(0);

        CustomerEntryWindow* window = OpenEntryWindow();
        QCOMPARE(FocusName(), QStringLiteral("Text(0)"));
        QCOMPARE(window->Text[0]->text(), prefix);
        QCOMPARE(window->Text[0]->cursorPosition(), prefix.size());
        TypeText(window->Text[0], typed);

        // Back into the plate by keyboard: the number after the prefix is selected, and a
        // bare prefix is not, so typing never overwrites it. Other boxes select their text.
        window->Text[1]->setText(QStringLiteral("张三"));
        QTest::keyClick(window->Text[0], Qt::Key_Tab);
        QCOMPARE(window->Text[1]->selectedText(), QStringLiteral("张三"));
        QTest::keyClick(window->Text[1], Qt::Key_Backtab);
        QCOMPARE(FocusName(), QStringLiteral("Text(0)"));
        QCOMPARE(window->Text[0]->cursorPosition(), prefix.size());
        QCOMPARE(window->Text[0]->selectedText(), typed);
        TypeText(window->Text[0], QStringLiteral("88"));
        QCOMPARE(window->Text[0]->text(), prefix + QStringLiteral("88"));
    }

    void enterWalksEveryFieldAndSaves_data() {
        QTest::addColumn<bool>("female");
        QTest::newRow("先生") << false;
        QTest::newRow("女士, Enter from Option2") << true;
    }
    void enterWalksEveryFieldAndSaves() {
        QFETCH(bool, female);
        CustomerEntryWindow* window = OpenEntryWindow();
        window->DTPicker1->setValue(QDate(2024, 3, 5));
        window->DTPicker2->setValue(QDate(2024, 9, 1));

        const std::pair<const char*, QString> steps[] = {
            {"Text(0)", "12345"},   {"Text(1)", "张三"},  {"Option1", ""},
            {"Text(2)", "138"},     {"DTPicker1", ""},    {"DTPicker2", ""},
            {"Text(3)", "1101019"}, {"Text(4)", "帕萨特"}};
        for (const auto& [field, typed] : steps) {
            QCOMPARE(FocusName(), QLatin1String(field));
            TypeText(QApplication::focusWidget(), typed);
            if (female && field == QLatin1String("Option1")) {
                QTest::keyClick(window->Option1, Qt::Key_Right);
                QCOMPARE(FocusName(), QStringLiteral("Option2"));
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        QCOMPARE(FocusName(), QStringLiteral("Command1"));
        QCOMPARE(CustomerCount(), 0);

        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("添加成功！"),
                        MessageScript::Icon::Information);
        QTest::keyClick(window->Command1, Qt::Key_Return);
        VERIFY_MESSAGES(messages);
        const QString sex = female ? QStringLiteral("女士") : QStringLiteral("先生");
        QCOMPARE(Stored("京A12345"),
                 "京A12345|张三|" + sex + "|138|2024-03-05|2024-09-01|1101019|帕萨特|0");
        QCOMPARE(TestDatabase::scalar("select length(kh_code) from kh_table").toInt(), 38);

        // Back on the plate number; the rest stays, so the owner's next car needs only that.
        QCOMPARE(FocusName(), QStringLiteral("Text(0)"));
        QCOMPARE(window->Text[0]->cursorPosition(), 2);
        QCOMPARE(window->Text[0]->selectedText(), QStringLiteral("12345"));
        TypeText(window->Text[0], QStringLiteral("67890"));
        messages.expect(QStringLiteral("添加成功！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored("京A67890"),
                 "京A67890|张三|" + sex + "|138|2024-03-05|2024-09-01|1101019|帕萨特|0");
    }

    void refusals_data() {
        QTest::addColumn<QString>("plate");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("empty plate") << ""
                                     << "张三"
                                     << ""
                                     << "车牌号为必填项！"
                                     << "Text(0)";
        QTest::newRow("blank plate") << "  "
                                     << "张三"
                                     << ""
                                     << "车牌号为必填项！"
                                     << "Text(0)";
        QTest::newRow("plate first") << ""
                                     << ""
                                     << ""
                                     << "车牌号为必填项！"
                                     << "Text(0)";
        QTest::newRow("empty name") << "京A1"
                                    << ""
                                    << ""
                                    << "车主姓名为必填项！"
                                    << "Text(1)";
        QTest::newRow("name first") << "京A1"
                                    << " "
                                    << "京A1"
                                    << "车主姓名为必填项！"
                                    << "Text(1)";
        QTest::newRow("duplicate") << "京A1"
                                   << "张三"
                                   << "京A1"
                                   << "车牌号重复！"
                                   << "Text(0)";
    }
    void refusals() {
        QFETCH(QString, plate);
        QFETCH(QString, owner);
        QFETCH(QString, stored);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        if (!stored.isEmpty()) {
            StorePlate(stored);
        }
        const int before = CustomerCount();
        CustomerEntryWindow* window = OpenEntryWindow();
        Fill(window, {plate, owner, "138"});
        window->Command2->setFocus();

        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(CustomerCount(), before);
        QCOMPARE(FocusName(), focus);
        QCOMPARE(window->Text[0]->text() + window->Text[1]->text(), plate + owner);
    }

    // A plate is compared as it is printed: typed in lower case, full-width or with a blank
    // after it, it is the same plate; a pattern character is only itself.
    void plateIsComparedAsPrinted_data() {
        QTest::addColumn<QString>("plate");
        QTest::addColumn<bool>("added");
        QTest::newRow("same plate") << "京A12345" << false;
        QTest::newRow("trailing space") << "京A12345 " << false;
        QTest::newRow("lower case, full-width") << "京ａ12345" << false;
        QTest::newRow("like wildcard") << "京A1234_" << true;
    }
    void plateIsComparedAsPrinted() {
        QFETCH(QString, plate);
        QFETCH(bool, added);
        StorePlate(QStringLiteral("京A12345"));
        CustomerEntryWindow* window = OpenEntryWindow();
        Fill(window, {plate, "张三"});
        MessageScript messages;
        messages.expect(added ? QStringLiteral("添加成功！") : QStringLiteral("车牌号重复！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(CustomerCount(), added ? 2 : 1);
    }

    void valuesAreStoredAsTyped_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("quotes and wildcards")
            << QStringList{"京A'1\"%", "O'Brien \"老王\"", "'; drop table kh_table; --",
                           "11010119900101123X\\", "大众_帕萨特 100%"};
        QTest::newRow("chinese, blanks, empties")
            << QStringList{"京A 甲１２", "  欧阳 娜娜  ", "", "", "丰田 · 卡罗拉"};
    }
    void valuesAreStoredAsTyped() {
        QFETCH(QStringList, texts);
        CustomerEntryWindow* window = OpenEntryWindow();
        Fill(window, texts);
        window->Option2->setChecked(true);
        window->DTPicker1->setValue(QDate(2023, 12, 31));
        window->DTPicker2->setValue(QDate(2024, 1, 1));
        MessageScript messages;
        messages.expect(QStringLiteral("添加成功！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        // The plate alone is stored as it is printed: upper-case, half-width letters and digits,
        // without the spaces typed in it.
        const QString plate = texts[0]
                                  .toUpper()
                                  .replace(QStringLiteral("１２"), QStringLiteral("12"))
                                  .remove(QLatin1Char(' '));
        QCOMPARE(Stored(plate), QStringList({plate, texts[1], "女士", texts[2], "2023-12-31",
                                             "2024-01-01", texts[3], texts[4], "0"})
                                    .join('|'));
    }

    void databaseErrorIsNotASuccess_data() {
        QTest::addColumn<QString>("breakage");
        QTest::newRow("insert refused") << "create trigger refuse before insert on kh_table "
                                           "begin select raise(abort, 'refused'); end";
        QTest::newRow("table gone") << "drop table kh_table";
    }
    void databaseErrorIsNotASuccess() {
        QFETCH(QString, breakage);
        CustomerEntryWindow* window = OpenEntryWindow();
        Fill(window, {"京A12345", "张三"});
        TestDatabase::exec(breakage);

        MessageScript messages;
        window->Command1->click();
        const QList<MessageScript::Message> shown = messages.shown();
        messages.takeProblems();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, MessageScript::Icon::Stop);
        QVERIFY2(shown.first().text.startsWith(QStringLiteral("数据库操作失败：")),
                 qPrintable(shown.first().text));
        QVERIFY(window->isVisible());
        QCOMPARE(window->Text[0]->text(), QStringLiteral("京A12345"));
        QCOMPARE(CustomerCount(), 0);
    }
};

QTEST_MAIN(TestCustomerEntryWindow)
#include "test_customer_entry_window.moc"
