#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/localization.h"
#include "core/clock.h"
#include "core/date_text.h"
#include "followup/call_record_window.h"
#include "followup/phrase_list_window.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/date_picker.h"
#include "ui/grid.h"
#include "ui/link_label.h"
#include "ui/window_host.h"

namespace {

const QString kKey = QStringLiteral("{6B29FC40-CA47-1067-B31D-00DD010662DA}");
const QString kOtherKey = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
const QString kPlate = QStringLiteral("京A12345");
const QString kOwner = QStringLiteral("王先生");
const QDate kOldReminder(2024, 3, 1);

void AddCustomer(const QString& key, const QString& plate, const QString& owner) {
    Customer customer = TestDatabase::sampleCustomer(key, plate, owner);
    customer.reminderDate = kOldReminder;
    TestDatabase::addCustomer(customer);
}

// Every column of the customer, so that a change to any of them shows.
QString CustomerRow(const QString& key) {
    return TestDatabase::scalar(
               QStringLiteral("select kh_code||'|'||kh_cph||'|'||kh_czname||'|'||kh_xb||'|'||"
                              "kh_tele||'|'||kh_djdate||'|'||kh_txdate||'|'||kh_sfzh||'|'||"
                              "kh_cx||'|'||kh_sfdgdh from kh_table where kh_code=?"),
               {key})
        .toString();
}

int Count(const QString& table) {
    return TestDatabase::scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

QStringList Phrases(const QString& table, const QString& column) {
    // Unit separators keep empty phrases and phrases with commas apart.
    const QString all =
        TestDatabase::scalar(QStringLiteral("select group_concat(%1, char(31)) from "
                                            "(select %1 from %2 order by rowid)")
                                 .arg(column, table))
            .toString();
    return Count(table) == 0 ? QStringList() : all.split(QChar(31));
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

CallRecordWindow* OpenCallWindow(int listRow = 3, const QString& key = kKey) {
    auto* window = ui::WindowHost::instance<CallRecordWindow>();
    Customer customer;
    customer.key = key;
    customer.owner = kOwner;
    customer.plate = kPlate;
    customer.reminderDate = kOldReminder;
    window->load(customer, listRow);
    window->show();
    return window;
}

// Records every message with a fixed answer, for messages whose text holds an engine's reason.
class CapturedMessages {
public:
    CapturedMessages() {
        previous_ = ui::MessageBox::setScriptHandler([this](const ui::MessageBox::Message& m) {
            shown << m;
            return ui::MessageBox::Answer::Ok;
        });
    }
    ~CapturedMessages() { ui::MessageBox::setScriptHandler(std::move(previous_)); }
    QList<ui::MessageBox::Message> shown;

private:
    ui::MessageBox::Handler previous_;
};

struct PhraseTarget {
    QComboBox* combo;
    QPushButton* button;
    QPlainTextEdit* text;
    QString table;
    QString column;
    QString emptyMessage;
};

PhraseTarget Target(CallRecordWindow* window, bool response) {
    if (response) {
        return {window->Combo2,
                window->Command4,
                window->Text4,
                QStringLiteral("tele_hy"),
                QStringLiteral("tele_hy_txt"),
                QStringLiteral("请选择客户回应信息")};
    }
    return {window->Combo1,
            window->Command3,
            window->Text3,
            QStringLiteral("tele_nr"),
            QStringLiteral("tele_nr_txt"),
            QStringLiteral("请选择提醒客户信息")};
}

}  // namespace

class TestCallRecordWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        WindowTest::init();
        SetCurrentOperator(QStringLiteral("张三"));
        AddCustomer(kKey, kPlate, kOwner);
        AddCustomer(kOtherKey, QStringLiteral("沪B00001"), QStringLiteral("李女士"));
    }

    void showsHandedOverCustomerAndStoredPhrases() {
        TestDatabase::exec(
            QStringLiteral("insert into tele_nr values ('您的车该保养了'), ('提醒年检')"));
        TestDatabase::exec(QStringLiteral("insert into tele_hy values ('好的')"));
        CallRecordWindow* window = OpenCallWindow();
        QCOMPARE(window->Text1->text(), kOwner);
        QCOMPARE(window->Text2->text(), kPlate);
        QVERIFY(window->Text1->isReadOnly() && window->Text2->isReadOnly());
        QCOMPARE(window->DTPicker1->value(), kOldReminder);
        QCOMPARE(window->customerKey(), kKey);
        QCOMPARE(window->listRow(), 3);
        QCOMPARE(Items(window->Combo1),
                 QStringList({QStringLiteral("您的车该保养了"), QStringLiteral("提醒年检")}));
        QCOMPARE(Items(window->Combo2), QStringList({QStringLiteral("好的")}));
        QCOMPARE(window->Combo1->currentText(), QString());
        QCOMPARE(window->Combo2->currentText(), QString());
        QCOMPARE(window->focusWidget(), window->Text3);
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->Text3->setFocus();
        QTest::keyClick(window->Text3, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->Combo1);
        const QList<QPair<QLabel*, QWidget*>> buddies = {
            {window->ownerLabel, window->Text1},
            {window->plateLabel, window->Text2},
            {window->contentLabel, window->Text3},
            {window->responseLabel, window->Text4},
            {window->contentPhraseLabel, window->Combo1},
            {window->responsePhraseLabel, window->Combo2},
            {window->reminderLabel, window->DTPicker1}};
        for (const auto& [label, field] : buddies) {
            QCOMPARE(label->buddy(), field);
            QVERIFY(label->isVisible() && !label->text().isEmpty());
        }
    }

    // A note typed while talking is not thrown away by a stray Escape or close: the window asks,
    // and Cancel keeps it. Without a note it closes at once, and after a save it asks nothing.
    void closingAsksBeforeATypedNoteIsLost_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("escape") << "escape";
        QTest::newRow("close button") << "button";
        QTest::newRow("title bar") << "window";
    }
    void closingAsksBeforeATypedNoteIsLost() {
        QFETCH(QString, how);
        CallRecordWindow* window = OpenCallWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QPointer<CallRecordWindow> alive(window);
        window->Text3->setFocus();
        QTest::keyClicks(window->Text3, QStringLiteral("baoyang"));
        auto close = [&] {
            if (how == QLatin1String("escape")) {
                QTest::keyClick(window->Text3, Qt::Key_Escape);
            } else if (how == QLatin1String("button")) {
                window->Command2->click();
            } else {
                window->close();
            }
        };
        MessageScript messages;
        messages.expect(QStringLiteral("是否放弃已填写的电话记录？"),
                        MessageScript::Answer::Cancel);
        close();
        VERIFY_MESSAGES(messages);
        QVERIFY(alive && window->isVisible());
        QCOMPARE(window->Text3->toPlainText(), QStringLiteral("baoyang"));
        messages.expect(QStringLiteral("是否放弃已填写的电话记录？"), MessageScript::Answer::Ok);
        close();
        VERIFY_MESSAGES(messages);
        QVERIFY(!alive || !alive->isVisible());

        CallRecordWindow* empty = OpenCallWindow();
        QPointer<CallRecordWindow> emptyAlive(empty);
        empty->Text3->setPlainText(QStringLiteral("   "));
        empty->Command2->click();
        QVERIFY(!emptyAlive || !emptyAlive->isVisible());
    }

    void saveChecks_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("response");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("both empty: content first") << ""
                                                   << ""
                                                   << "电话内容不允许为空！"
                                                   << "Text3";
        QTest::newRow("content empty") << ""
                                       << "好的"
                                       << "电话内容不允许为空！"
                                       << "Text3";
        QTest::newRow("response empty") << "保养提醒"
                                        << ""
                                        << "客户回应不允许为空！"
                                        << "Text4";
        QTest::newRow("blanks count as text") << " "
                                              << "\n"
                                              << "添加成功！"
                                              << "";
    }
    void saveChecks() {
        QFETCH(QString, content);
        QFETCH(QString, response);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        CallRecordWindow* window = OpenCallWindow();
        QPointer<CallRecordWindow> alive(window);
        window->Text3->setPlainText(content);
        window->Text4->setPlainText(response);
        window->Command2->setFocus();
        MessageScript messages;
        const bool refused = !focus.isEmpty();
        messages.expect(QStringLiteral("系统提示"), message,
                        refused ? MessageScript::Icon::Stop : MessageScript::Icon::Information);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Count(QStringLiteral("kh_tele_table")), refused ? 0 : 1);
        if (refused) {
            QVERIFY(window->isVisible());
            QCOMPARE(window->focusWidget()->objectName(), focus);
            QCOMPARE(window->Text3->toPlainText(), content);
            QCOMPARE(window->Text4->toPlainText(), response);
        } else {
            QVERIFY(!alive || !alive->isVisible());
            QCOMPARE(TestDatabase::scalar(
                         QStringLiteral("select kh_tele_txnr||kh_tele_khhy from kh_tele_table"))
                         .toString(),
                     content + response);
        }
    }

    void saveStoresCallAndMarksOnlyThatCustomer() {
        const QString other = CustomerRow(kOtherKey);
        const QString before = CustomerRow(kKey);
        CallRecordWindow* window = OpenCallWindow(7);
        QPointer<CallRecordWindow> alive(window);
        QSignalSpy saved(window, &CallRecordWindow::callSaved);
        TypeText(window->Text3, QStringLiteral("提醒'保养'"));
        TypeText(window->Text4, QStringLiteral("下周来"));
        window->DTPicker1->setDate(QDate(2031, 12, 24));

        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("添加成功！"),
                        MessageScript::Icon::Information);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!alive || !alive->isVisible());

        QCOMPARE(Count(QStringLiteral("kh_tele_table")), 1);
        const QString stored =
            TestDatabase::scalar(
                QStringLiteral("select kh_tele_cph||'|'||kh_tele_czname||'|'||kh_tele_txnr||'|'||"
                               "kh_tele_khhy||'|'||kh_tele_txdate||'|'||kh_tele_date||'|'||"
                               "kh_tele_czr from kh_tele_table"))
                .toString();
        QCOMPARE(stored, QStringList({kPlate, kOwner, QStringLiteral("提醒'保养'"),
                                      QStringLiteral("下周来"), QStringLiteral("2031-12-24"),
                                      DateText(Today()), QStringLiteral("张三")})
                             .join(QLatin1Char('|')));
        QString expected = before;
        expected.replace(QStringLiteral("|2024-03-01|"), QStringLiteral("|2031-12-24|"));
        expected.chop(1);
        expected += QLatin1Char('1');
        QCOMPARE(CustomerRow(kKey), expected);
        QCOMPARE(CustomerRow(kOtherKey), other);

        QCOMPARE(saved.count(), 1);
        QCOMPARE(saved.at(0).at(0).toInt(), 7);
        // The list shows the customer as due again, not yet called, on the new date.
        QCOMPARE(saved.at(0).at(1).toString(), QStringLiteral("0"));
        QCOMPARE(saved.at(0).at(2).toString(), QStringLiteral("2031-12-24"));
    }

    void twoSavesStoreTwoCalls() {
        for (int i = 0; i < 2; ++i) {
            CallRecordWindow* window = OpenCallWindow();
            window->Text3->setPlainText(QStringLiteral("第%1次").arg(i + 1));
            window->Text4->setPlainText(QStringLiteral("好"));
            MessageScript messages;
            messages.expect(QStringLiteral("添加成功！"));
            window->Command1->click();
            VERIFY_MESSAGES(messages);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QCOMPARE(Count(QStringLiteral("kh_tele_table")), 2);
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(distinct kh_tele_code) from kh_tele_table"))
                     .toInt(),
                 2);
    }

    // A failed write leaves the call unstored and the customer unmarked, whichever write failed.
    void failingWriteChangesNothing_data() {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("call row refused") << "create trigger refuse before insert on kh_tele_table "
                                             "begin select raise(abort, 'refused by test'); end";
        QTest::newRow("customer update refused")
            << "create trigger refuse before update on kh_table "
               "begin select raise(abort, 'refused by test'); end";
    }
    void failingWriteChangesNothing() {
        QFETCH(QString, trigger);
        TestDatabase::exec(trigger);
        const QString before = CustomerRow(kKey);
        CallRecordWindow* window = OpenCallWindow();
        QSignalSpy saved(window, &CallRecordWindow::callSaved);
        window->Text3->setPlainText(QStringLiteral("提醒保养"));
        window->Text4->setPlainText(QStringLiteral("好的"));
        {
            CapturedMessages messages;
            window->Command1->click();
            QCOMPARE(messages.shown.size(), 1);
            QCOMPARE(messages.shown[0].icon, ui::MessageBox::Icon::Stop);
            QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("数据库操作失败：")) &&
                         messages.shown[0].text.contains(QStringLiteral("refused by test")),
                     qPrintable(messages.shown[0].text));
        }
        QCOMPARE(Count(QStringLiteral("kh_tele_table")), 0);
        QCOMPARE(CustomerRow(kKey), before);
        QCOMPARE(saved.count(), 0);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Text3->toPlainText(), QStringLiteral("提醒保养"));

        // Once the fault is gone the same entries save.
        TestDatabase::exec(QStringLiteral("drop trigger refuse"));
        MessageScript messages;
        messages.expect(QStringLiteral("添加成功！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Count(QStringLiteral("kh_tele_table")), 1);
        QCOMPARE(saved.count(), 1);
    }

    // The call happened, so it is kept; the operator learns the reminder could not move.
    void customerDeletedMeanwhile() {
        const QString other = CustomerRow(kOtherKey);
        CallRecordWindow* window = OpenCallWindow();
        TestDatabase::exec(QStringLiteral("delete from kh_table where kh_code=?"), {kKey});
        QSignalSpy saved(window, &CallRecordWindow::callSaved);
        window->Text3->setPlainText(QStringLiteral("提醒保养"));
        window->Text4->setPlainText(QStringLiteral("好的"));
        CapturedMessages messages;
        window->Command1->click();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].icon, ui::MessageBox::Icon::Exclamation);
        QVERIFY(messages.shown[0].text != QStringLiteral("添加成功！"));
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("没有更新")));
        QCOMPARE(Count(QStringLiteral("kh_tele_table")), 1);
        QCOMPARE(Count(QStringLiteral("kh_table")), 1);
        QCOMPARE(CustomerRow(kOtherKey), other);
        QCOMPARE(saved.count(), 0);
        QVERIFY(!window->isVisible());
    }

    void appendPhrases_data() {
        QTest::addColumn<bool>("response");
        QTest::newRow("content phrases") << false;
        QTest::newRow("response phrases") << true;
    }
    void appendPhrases() {
        QFETCH(bool, response);
        const QString known = QStringLiteral("已有的话");
        const QString quoted = QStringLiteral("他说\"好\"，'明天' 100% a_b\\c");
        const QString table = response ? QStringLiteral("tele_hy") : QStringLiteral("tele_nr");
        TestDatabase::exec(QStringLiteral("insert into %1 values (?)").arg(table), {known});
        CallRecordWindow* window = OpenCallWindow();
        const PhraseTarget t = Target(window, response);

        // An empty box is refused and changes nothing.
        {
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"), t.emptyMessage, MessageScript::Icon::Stop);
            t.button->click();
            VERIFY_MESSAGES(messages);
            QCOMPARE(t.text->toPlainText(), QString());
        }

        // The phrase goes to the end, whatever the caret; focus and caret end up in the text.
        t.text->setPlainText(QStringLiteral("开头"));
        QTextCursor start = t.text->textCursor();
        start.setPosition(0);
        t.text->setTextCursor(start);
        t.combo->setEditText(quoted);
        t.button->click();
        QCOMPARE(t.text->toPlainText(), QStringLiteral("开头") + quoted);
        QCOMPARE(t.text->textCursor().position(), t.text->toPlainText().size());
        QCOMPARE(window->focusWidget(), t.text);
        QCOMPARE(t.combo->currentText(), QString());
        QCOMPARE(Phrases(t.table, t.column), QStringList({known, quoted}));
        QCOMPARE(Items(t.combo), QStringList({known, quoted}));

        // Known phrases, picked or typed, are appended with nothing between and stored no more.
        t.combo->setCurrentIndex(1);
        t.button->click();
        t.combo->setEditText(known);
        t.button->click();
        QCOMPARE(t.text->toPlainText(), QStringLiteral("开头") + quoted + quoted + known);
        QCOMPARE(Phrases(t.table, t.column), QStringList({known, quoted}));
        QCOMPARE(Items(t.combo), QStringList({known, quoted}));

        // Exact match: a phrase differing only by a trailing blank is a new one.
        t.combo->setEditText(known + QLatin1Char(' '));
        t.button->click();
        QCOMPARE(Phrases(t.table, t.column),
                 QStringList({known, quoted, known + QLatin1Char(' ')}));

        // The other list is untouched.
        const PhraseTarget other = Target(window, !response);
        QCOMPARE(other.text->toPlainText(), QString());
        QCOMPARE(Count(other.table), 0);
    }

    void editLabelsOpenPhraseListsAndRefill_data() {
        QTest::addColumn<bool>("response");
        QTest::addColumn<bool>("keyboard");
        QTest::newRow("Label7 by mouse") << false << false;
        QTest::newRow("Label8 by keyboard") << true << true;
    }
    void editLabelsOpenPhraseListsAndRefill() {
        QFETCH(bool, response);
        QFETCH(bool, keyboard);
        const QString table = response ? QStringLiteral("tele_hy") : QStringLiteral("tele_nr");
        TestDatabase::exec(
            QStringLiteral("insert into %1 values ('甲'), ('乙'), ('丙')").arg(table));
        CallRecordWindow* window = OpenCallWindow();
        QComboBox* combo = response ? window->Combo2 : window->Combo1;
        QLabel* label = response ? window->Label8 : window->Label7;
        QCOMPARE(Items(combo).size(), 3);

        QString opened;
        QString heading;
        ScopedModalDriver driver([&](QWidget* shown) {
            auto* list = qobject_cast<PhraseListWindow*>(shown);
            QVERIFY(list);
            opened = list->objectName();
            heading = list->Label11->text();
            list->grid1->setCurrentCell(2, 1);
            MessageScript messages;
            messages.expect(QStringLiteral("是否删除信息？"), MessageScript::Answer::Ok);
            list->Command3->click();
            VERIFY_MESSAGES(messages);
            list->Command5->click();
        });
        if (keyboard) {
            label->setFocus();
            QTest::keyClick(label, Qt::Key_Space);
        } else {
            QTest::mouseClick(label, Qt::LeftButton);
        }
        QCOMPARE(opened, response ? QStringLiteral("Form16") : QStringLiteral("Form15"));
        QCOMPARE(heading,
                 response ? QStringLiteral("客户回应管理") : QStringLiteral("电话内容管理"));
        QCOMPARE(Items(combo), QStringList({QStringLiteral("甲"), QStringLiteral("丙")}));
        QVERIFY(window->isVisible());
    }
};

QTEST_MAIN(TestCallRecordWindow)
#include "test_call_record_window.moc"
