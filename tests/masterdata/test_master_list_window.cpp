#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "data/run_sql.h"
#include "masterdata/master_list_window.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

const MasterListForm& Form(bool technicians) {
    return technicians ? MasterListWindow::Technicians() : MasterListWindow::RepairItems();
}

MasterListWindow* Open(bool technicians) {
    const MasterListForm& form = Form(technicians);
    auto* window = ui::WindowHost::instanceNamed<MasterListWindow>(form.formName, form);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

void ClickCell(ui::Grid* grid, int row, int col) {
    const QModelIndex cell = grid->gridModel()->index(row, col);
    grid->scrollTo(cell);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
}

// Types into the cell as a user does: the first key opens the cell's editor, the rest go to it.
void TypeInCell(ui::Grid* grid, int row, int col, const QString& text) {
    ClickCell(grid, row, col);
    TypeText(grid, text.left(1));
    TypeText(QApplication::focusWidget(), text.mid(1));
}

// Rows of the table in stored order: "key|name|amount" (no amount for technicians).
QStringList Stored(bool technicians) {
    const QString query =
        technicians ? QStringLiteral("select wxjs_code || '|' || wxjs_name from wxjs_table")
                    : QStringLiteral(
                          "select xm_code || '|' || xm_name || '|' || "
                          "printf('%.15g', xm_je) from xm_table");
    Recordset rows = RunSql(query + QStringLiteral(" order by rowid"));
    QStringList all;
    for (; !rows.Eof(); rows.MoveNext()) {
        all << rows.Text(0);
    }
    return all;
}

QStringList Shown(const ui::Grid* grid) {
    QStringList all;
    for (int row = 1; row < grid->rows(); ++row) {
        QStringList cells;
        for (int col = 0; col < grid->cols(); ++col) {
            cells << grid->cellText(row, col);
        }
        all << cells.join(QLatin1Char('|'));
    }
    return all;
}

}  // namespace

class TestMasterListWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        WindowTest::init();
        TestDatabase::exec(QStringLiteral(
            "insert into xm_table values ('{I1}', '更换机油', 120), ('{I2}', '补胎', 35.5), "
            "('{I3}', '补胎', 0)"));
        TestDatabase::exec(
            QStringLiteral("insert into wxjs_table values ('{T1}', '李师傅'), ('{T2}', '王师傅'), "
                           "('{T3}', '李师傅')"));
    }

    void opensWithStoredRows_data() {
        QTest::addColumn<bool>("technicians");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QStringList>("headings");
        QTest::newRow("price list") << false << "Form7"
                                    << "维修项目管理"
                                    << "维修项目管理" << QStringList({"", "项目名称", "金额"});
        QTest::newRow("technicians") << true << "Form24"
                                     << "维修技师管理"
                                     << "维修技师信息" << QStringList({"", "维修技师姓名"});
    }
    void opensWithStoredRows() {
        QFETCH(bool, technicians);
        QFETCH(QString, form);
        QFETCH(QString, title);
        QFETCH(QString, heading);
        QFETCH(QStringList, headings);
        MasterListWindow* window = Open(technicians);
        QCOMPARE(window->objectName(), form);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->Label1->text(), heading);
        QStringList captions;
        for (QPushButton* button : {window->Command1, window->Command2, window->Command3,
                                    window->Command4, window->Command5}) {
            captions << button->text();
        }
        QCOMPARE(captions, QStringList({"添加", "修改", "删除", "保存", "关闭"}));
        ui::Grid* grid = window->grid1;
        QCOMPARE(grid->cols(), headings.size());
        for (int col = 0; col < grid->cols(); ++col) {
            QCOMPARE(grid->cellText(0, col), headings[col]);
            QVERIFY(grid->isColumnLocked(col) || col == 0);
        }
        QCOMPARE(grid->columnWidth(0), 0);
        QCOMPARE(grid->columnWidth(1), 320);
        QCOMPARE(grid->rowHeight(0), 25);
        QCOMPARE(grid->rowHeight(1), 20);
        QCOMPARE(Shown(grid), Stored(technicians));
        QCOMPARE(window->selectedRow(), 0);
    }

    // "添加" stores the record at once: closing without saving keeps it, and it is listed the
    // next time, with an empty name.
    void addThenCloseKeepsAnEmptyRecord_data() {
        QTest::addColumn<bool>("technicians");
        QTest::newRow("price list") << false;
        QTest::newRow("technicians") << true;
    }
    void addThenCloseKeepsAnEmptyRecord() {
        QFETCH(bool, technicians);
        MasterListWindow* window = Open(technicians);
        window->Command1->click();
        ui::Grid* grid = window->grid1;
        QCOMPARE(grid->rows(), 5);
        const QString key = grid->cellText(4, 0);
        QCOMPARE(key.size(), 38);
        QCOMPARE(grid->cellText(4, 1), QString());
        QVERIFY(!grid->isColumnLocked(1));
        QCOMPARE(grid->isColumnLocked(grid->cols() - 1), false);
        QVERIFY(grid->hasFocus());
        const QString added = technicians ? key + QStringLiteral("|") : key + QStringLiteral("||0");
        QCOMPARE(Stored(technicians).last(), added);

        window->Command5->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(Stored(technicians).last(), added);
        MasterListWindow* again = Open(technicians);
        QVERIFY(again != window);
        QCOMPARE(again->grid1->rows(), 5);
        const QString listed =
            technicians ? key + QStringLiteral("|") : key + QStringLiteral("||0");
        QCOMPARE(Shown(again->grid1).last(), listed);
        QVERIFY(again->grid1->isColumnLocked(1));
    }

    // What is typed in the cells is saved, each row to the record of its own key, also when
    // two rows carry the same name and the last cell is still being edited.
    void typedRowsAreSavedByKey() {
        MasterListWindow* window = Open(false);
        QVERIFY(QTest::qWaitForWindowActive(window));
        ui::Grid* grid = window->grid1;
        window->Command2->click();
        TypeInCell(grid, 3, 2, QStringLiteral("42.5"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        TypeInCell(grid, 2, 1, QStringLiteral("补胎(小)"));
        QVERIFY(QApplication::focusWidget() != grid);  // still typing in the cell editor

        MessageScript messages;
        messages
            .expect(QStringLiteral("系统提示"), QStringLiteral("是否保存？"),
                    MessageScript::Icon::Question, MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"), QStringLiteral("保存成功！"),
                    MessageScript::Icon::Information);
        QPointer<MasterListWindow> open(window);
        window->Command4->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!open || !open->isVisible());
        QCOMPARE(Stored(false),
                 QStringList({"{I1}|更换机油|120", "{I2}|补胎(小)|35.5", "{I3}|补胎|42.5"}));
    }

    // Another station saved a row this window changed: the save writes nothing, says which row,
    // and shows it as stored; the operator's other typing stays and a second save writes it.
    void aRowChangedElsewhereIsNotWrittenOver_data() {
        QTest::addColumn<bool>("technicians");
        QTest::addColumn<QString>("otherStation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("shownAfter");
        QTest::addColumn<QStringList>("storedAtEnd");
        QTest::newRow("technician renamed there")
            << true << "update wxjs_table set wxjs_name = '李师傅(组长)' where wxjs_code = '{T1}'"
            << "维修技师“李师傅”已被其他工作站修改，已显示修改后的内容，请核对后重新保存"
            << QStringList{"{T1}|李师傅(组长)", "{T2}|王师傅", "{T3}|赵师傅"}
            << QStringList{"{T1}|李师傅(组长)", "{T2}|王师傅", "{T3}|赵师傅"};
        QTest::newRow("price item deleted there")
            << false << "delete from xm_table where xm_code = '{I1}'"
            << "维修项目“更换机油”已被其他工作站删除，已从列表中移去，请核对后重新保存"
            << QStringList{"{I2}|补胎|35.5", "{I3}|赵师傅|0"}
            << QStringList{"{I2}|补胎|35.5", "{I3}|赵师傅|0"};
    }
    void aRowChangedElsewhereIsNotWrittenOver() {
        QFETCH(bool, technicians);
        QFETCH(QString, otherStation);
        QFETCH(QString, message);
        QFETCH(QStringList, shownAfter);
        QFETCH(QStringList, storedAtEnd);
        MasterListWindow* window = Open(technicians);
        QVERIFY(QTest::qWaitForWindowActive(window));
        ui::Grid* grid = window->grid1;
        window->Command2->click();
        TypeInCell(grid, 1, 1, QStringLiteral("钱师傅"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        TypeInCell(grid, 3, 1, QStringLiteral("赵师傅"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        const QStringList before = Stored(technicians);
        TestDatabase::exec(otherStation);
        const QStringList theirs = Stored(technicians);

        {
            MessageScript messages;
            messages
                .expect(QStringLiteral("系统提示"), QStringLiteral("是否保存？"),
                        MessageScript::Icon::Question, MessageScript::Answer::Ok)
                .expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
            window->Command4->click();
            VERIFY_MESSAGES(messages);
        }
        QVERIFY(window->isVisible());
        QCOMPARE(Stored(technicians), theirs);
        QVERIFY(Stored(technicians) != before);
        QCOMPARE(Shown(grid), shownAfter);

        MessageScript messages;
        messages
            .expect(QStringLiteral("系统提示"), QStringLiteral("是否保存？"),
                    MessageScript::Icon::Question, MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"), QStringLiteral("保存成功！"),
                    MessageScript::Icon::Information);
        window->Command4->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(technicians), storedAtEnd);
    }

    // Rows keep what they were read as through a delete and an add: the row left alone keeps
    // another station's change, the rows typed here are written without a false alarm.
    void rowsKeepWhatTheyWereReadAsAcrossDeleteAndAdd() {
        MasterListWindow* window = Open(true);
        QVERIFY(QTest::qWaitForWindowActive(window));
        ui::Grid* grid = window->grid1;
        ClickCell(grid, 1, 1);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("是否删除技师信息？"),
                        MessageScript::Icon::Question, MessageScript::Answer::Ok);
        window->Command3->click();
        window->Command1->click();
        const QString added = grid->cellText(3, 0);
        TypeInCell(grid, 3, 1, QStringLiteral("钱师傅"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        TypeInCell(grid, 1, 1, QStringLiteral("王师傅(新)"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        TestDatabase::exec(QStringLiteral(
            "update wxjs_table set wxjs_name = '李师傅(二)' where wxjs_code = '{T3}'"));
        messages
            .expect(QStringLiteral("系统提示"), QStringLiteral("是否保存？"),
                    MessageScript::Icon::Question, MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"), QStringLiteral("保存成功！"),
                    MessageScript::Icon::Information);
        window->Command4->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(true), QStringList({"{T2}|王师傅(新)", "{T3}|李师傅(二)",
                                            added + QStringLiteral("|钱师傅")}));
    }

    void deleteRemovesExactlyTheKeyedRecord_data() {
        QTest::addColumn<bool>("technicians");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("price list") << false << "是否删除信息？" << true
                                    << QStringList({"{I1}|更换机油|120", "{I2}|补胎|35.5"});
        QTest::newRow("technicians")
            << true << "是否删除技师信息？" << true << QStringList({"{T1}|李师傅", "{T2}|王师傅"});
        QTest::newRow("cancel") << true << "是否删除技师信息？" << false
                                << QStringList({"{T1}|李师傅", "{T2}|王师傅", "{T3}|李师傅"});
    }
    void deleteRemovesExactlyTheKeyedRecord() {
        QFETCH(bool, technicians);
        QFETCH(QString, question);
        QFETCH(bool, confirm);
        QFETCH(QStringList, left);
        TestDatabase::exec(
            QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_wxjs) "
                           "values ('{O1}', '李师傅')"));
        MasterListWindow* window = Open(technicians);
        ClickCell(window->grid1, 3, 1);
        QCOMPARE(window->selectedRow(), 3);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), question, MessageScript::Icon::Question,
                        confirm ? MessageScript::Answer::Ok : MessageScript::Answer::Cancel);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(technicians), left);
        QCOMPARE(Shown(window->grid1), left);
        // Orders keep the technician's name as text.
        QCOMPARE(TestDatabase::scalar("select kh_wx_wxjs from kh_wx_table").toString(),
                 QStringLiteral("李师傅"));
    }

    void deleteNeedsASelectedRow_data() {
        QTest::addColumn<bool>("technicians");
        QTest::addColumn<QString>("message");
        QTest::newRow("price list") << false << "请选择要删除的信息！";
        QTest::newRow("technicians") << true << "请选择要删除的技师信息！";
    }
    void deleteNeedsASelectedRow() {
        QFETCH(bool, technicians);
        QFETCH(QString, message);
        MasterListWindow* window = Open(technicians);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(technicians).size(), 3);
    }

    void saveAsksFirst_data() {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("no rows, OK") << true << true;
        QTest::newRow("edited rows, cancel") << false << false;
    }
    void saveAsksFirst() {
        QFETCH(bool, empty);
        QFETCH(bool, confirm);
        if (empty) {
            TestDatabase::exec(QStringLiteral("delete from xm_table"));
        }
        MasterListWindow* window = Open(false);
        if (!empty) {
            window->grid1->setCellText(1, 1, QStringLiteral("改了"));
            window->grid1->setCellText(2, 2, QStringLiteral("不是数字"));
        }
        const QStringList before = Stored(false);
        MessageScript messages;
        messages.expect(QStringLiteral("是否保存？"),
                        confirm ? MessageScript::Answer::Ok : MessageScript::Answer::Cancel);
        if (confirm) {
            messages.expect(QStringLiteral("保存成功！"));
        }
        window->Command4->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(!window->isVisible());
        QCOMPARE(Stored(false), before);
    }

    // Closing with typed prices not yet saved asks first, however the window is closed: Yes
    // saves them, No leaves them, Cancel keeps the window as typed. Nothing typed: no question,
    // also after "添加" (its empty record is stored already).
    void closingWithUnsavedEditsAsks_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("stored");
        const QStringList before{"{I1}|更换机油|120", "{I2}|补胎|35.5", "{I3}|补胎|0"};
        const QStringList saved{"{I1}|更换机油|150", "{I2}|补胎|35.5", "{I3}|补胎|0"};
        const int yes = int(MessageScript::Answer::Yes);
        const int no = int(MessageScript::Answer::No);
        const int cancel = int(MessageScript::Answer::Cancel);
        QTest::newRow("close button, yes") << "button" << yes << saved;
        QTest::newRow("close button, no") << "button" << no << before;
        QTest::newRow("close button, cancel") << "button" << cancel << before;
        QTest::newRow("escape, yes") << "escape" << yes << saved;
        QTest::newRow("escape, cancel") << "escape" << cancel << before;
        QTest::newRow("title bar, no") << "window" << no << before;
        QTest::newRow("nothing typed") << "nothing" << -1 << before;
    }
    void closingWithUnsavedEditsAsks() {
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(QStringList, stored);
        MasterListWindow* window = Open(false);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QPointer<MasterListWindow> open(window);
        if (how == QLatin1String("nothing")) {
            window->Command1->click();
        } else {
            window->Command2->click();
            TypeInCell(window->grid1, 1, 2, QStringLiteral("150"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            // The cell takes what was typed once the key has been handled.
            QTRY_COMPARE(QApplication::focusWidget(), window->grid1);
        }
        MessageScript messages;
        if (answer >= 0) {
            messages.expect(QStringLiteral("系统提示"),
                            QStringLiteral("维修项目管理中有尚未保存的修改，是否保存？"),
                            MessageScript::Icon::Question, MessageScript::Answer(answer));
        }
        if (answer == int(MessageScript::Answer::Yes)) {
            messages.expect(QStringLiteral("保存成功！"));
        }
        if (how == QLatin1String("escape")) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        } else if (how == QLatin1String("window")) {
            window->close();
        } else {
            window->Command5->click();
        }
        VERIFY_MESSAGES(messages);
        const bool stays = answer == int(MessageScript::Answer::Cancel);
        QCOMPARE(open && open->isVisible(), stays);
        if (how == QLatin1String("nothing")) {
            stored << Stored(false).last();
        }
        QCOMPARE(Stored(false), stored);
        if (stays) {
            QCOMPARE(window->grid1->cellText(1, 2), QStringLiteral("150"));
        }
    }

    // An amount that is not a number refuses the whole save, names its row and keeps the
    // window as typed; an empty amount counts as 0.
    void anAmountThatIsNoNumberRefusesTheSave() {
        MasterListWindow* window = Open(false);
        ui::Grid* grid = window->grid1;
        grid->setCellText(1, 1, QStringLiteral("换机油"));
        grid->setCellText(1, 2, QString());
        grid->setCellText(3, 2, QStringLiteral("三十"));
        MessageScript messages;
        messages.expect(QStringLiteral("是否保存？"), MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"), QStringLiteral("第3行金额不是数字！"),
                    MessageScript::Icon::Stop);
        window->Command4->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(window->isVisible());
        QCOMPARE(Stored(false),
                 QStringList({"{I1}|更换机油|120", "{I2}|补胎|35.5", "{I3}|补胎|0"}));
        QCOMPARE(grid->cellText(1, 1), QStringLiteral("换机油"));
        QCOMPARE(grid->cellText(3, 2), QStringLiteral("三十"));
        QCOMPARE(grid->currentRow(), 3);
        QCOMPARE(grid->currentCol(), 2);

        grid->setCellText(3, 2, QStringLiteral("30"));
        messages.expect(QStringLiteral("是否保存？"), MessageScript::Answer::Ok)
            .expect(QStringLiteral("保存成功！"));
        window->Command4->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(false), QStringList({"{I1}|换机油|0", "{I2}|补胎|35.5", "{I3}|补胎|30"}));
    }

    // The selected row is kept as a full int: rows past 32,767 are deleted by their own key.
    void rowsPastThirtyTwoThousand() {
        TestDatabase::exec(QStringLiteral(
            "with recursive n(i) as (select 4 union all select i + 1 from n where i < 40000) "
            "insert into wxjs_table select printf('{T%d}', i), printf('技师%d', i) from n"));
        MasterListWindow* window = Open(true);
        QCOMPARE(window->grid1->rows(), 40001);
        ClickCell(window->grid1, 39999, 1);
        QCOMPARE(window->selectedRow(), 39999);
        MessageScript messages;
        messages.expect(QStringLiteral("是否删除技师信息？"), MessageScript::Answer::Ok);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(
            TestDatabase::scalar("select count(*) from wxjs_table where wxjs_code = '{T39999}'")
                .toInt(),
            0);
        QCOMPARE(TestDatabase::scalar("select count(*) from wxjs_table").toInt(), 39999);
        QCOMPARE(window->grid1->cellText(39999, 0), QStringLiteral("{T40000}"));
    }
};

QTEST_MAIN(TestMasterListWindow)
#include "test_master_list_window.moc"
