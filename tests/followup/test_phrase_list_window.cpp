#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/localization.h"
#include "followup/phrase_list_window.h"
#include "followup/phrases.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

const PhraseList& List(bool response) {
    return response ? ResponsePhrases() : ContentPhrases();
}

void AddPhrases(const PhraseList& list, const QStringList& phrases) {
    for (const QString& phrase : phrases) {
        TestDatabase::exec(QStringLiteral("insert into %1 values (?)").arg(list.table), {phrase});
    }
}

QStringList Stored(const PhraseList& list) {
    // Unit separators keep empty phrases and phrases with commas apart.
    const QVariant all =
        TestDatabase::scalar(QStringLiteral("select group_concat(%1, char(31)) "
                                            "from (select %1 from %2 order by rowid)")
                                 .arg(list.column, list.table));
    return all.isNull() ? QStringList() : all.toString().split(QChar(31));
}

QStringList GridPhrases(const ui::Grid* grid) {
    QStringList all;
    for (int row = 1; row < grid->rows(); ++row) {
        all << grid->cellText(row, 1);
    }
    return all;
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

PhraseListWindow* Open(bool response, QComboBox* combo = nullptr) {
    const PhraseList& list = List(response);
    auto* window = ui::WindowHost::instanceNamed<PhraseListWindow>(list.formName, list, combo);
    window->show();
    return window;
}

void ClickRow(ui::Grid* grid, int row) {
    const QPoint centre = grid->visualRect(grid->gridModel()->index(row, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

}  // namespace

class TestPhraseListWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    void showsStoredPhrases_data() {
        QTest::addColumn<bool>("response");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("columnHeading");
        QTest::newRow("content") << false << "Form15"
                                 << "电话内容管理"
                                 << "电话内容";
        QTest::newRow("response") << true << "Form16"
                                  << "客户回应管理"
                                  << "客户回应";
    }
    void showsStoredPhrases() {
        QFETCH(bool, response);
        QFETCH(QString, form);
        QFETCH(QString, heading);
        QFETCH(QString, columnHeading);
        const QStringList phrases = {QStringLiteral("乙"), QStringLiteral("甲'\""),
                                     QStringLiteral("乙")};
        AddPhrases(List(response), phrases);
        AddPhrases(List(!response), {QStringLiteral("别的表")});
        PhraseListWindow* window = Open(response);
        QCOMPARE(window->objectName(), form);
        QCOMPARE(window->windowTitle(), heading);
        QCOMPARE(window->Label11->text(), heading);
        QCOMPARE(window->Command3->text(), QStringLiteral("删除"));
        QCOMPARE(window->Command5->text(), QStringLiteral("关闭"));
        ui::Grid* grid = window->grid1;
        QCOMPARE(grid->cols(), 2);
        QCOMPARE(grid->cellText(0, 1), columnHeading);
        QCOMPARE(grid->columnWidth(0), 0);
        QCOMPARE(grid->columnWidth(1), 320);
        QVERIFY(grid->isColumnLocked(1));
        QCOMPARE(grid->rowHeight(0), 25);
        QCOMPARE(GridPhrases(grid), phrases);
        for (int row = 1; row < grid->rows(); ++row) {
            QCOMPARE(grid->rowHeight(row), 20);
        }
        QCOMPARE(window->selectedRow(), 0);
    }

    void deleteNeedsASelectedRow_data() {
        QTest::addColumn<QStringList>("phrases");
        QTest::newRow("empty table") << QStringList();
        QTest::newRow("nothing picked yet") << QStringList({"甲", "乙"});
    }
    void deleteNeedsASelectedRow() {
        QFETCH(QStringList, phrases);
        AddPhrases(ContentPhrases(), phrases);
        PhraseListWindow* window = Open(false);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(window->grid1->rows(), phrases.size() + 1);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("请选择要删除的信息！"),
                        MessageScript::Icon::Stop);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Stored(ContentPhrases()), phrases);
    }

    void deleteAsksFirst_data() {
        QTest::addColumn<bool>("response");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("content, cancel") << false << false;
        QTest::newRow("content, OK") << false << true;
        QTest::newRow("response, OK") << true << true;
    }
    void deleteAsksFirst() {
        QFETCH(bool, response);
        QFETCH(bool, confirm);
        const PhraseList& list = List(response);
        const QString twice = QStringLiteral("说'好'");
        AddPhrases(list, {QStringLiteral("甲"), twice, QStringLiteral("丙"), twice,
                          QStringLiteral("说好")});
        TestDatabase::exec(QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_txnr, "
                                          "kh_tele_khhy) values ('{K}', ?, ?)"),
                           {twice, twice});
        PhraseListWindow* window = Open(response);
        ClickRow(window->grid1, 2);
        QCOMPARE(window->selectedRow(), 2);

        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("是否删除信息？"),
                        MessageScript::Icon::Question,
                        confirm ? MessageScript::Answer::Ok : MessageScript::Answer::Cancel);
        window->Command3->click();
        VERIFY_MESSAGES(messages);

        if (!confirm) {
            QCOMPARE(Stored(list).size(), 5);
            QCOMPARE(window->grid1->rows(), 6);
            return;
        }
        // Every equal row goes from the table, one row from the list; the rest stay in order.
        QCOMPARE(Stored(list),
                 QStringList({QStringLiteral("甲"), QStringLiteral("丙"), QStringLiteral("说好")}));
        QCOMPARE(GridPhrases(window->grid1),
                 QStringList(
                     {QStringLiteral("甲"), QStringLiteral("丙"), twice, QStringLiteral("说好")}));
        // The row that moved up is the selected one and the one shown as current.
        QCOMPARE(window->selectedRow(), 2);
        QCOMPARE(window->grid1->currentRow(), 2);
        // Stored calls keep their copies of the text.
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select kh_tele_txnr||kh_tele_khhy from kh_tele_table"))
                     .toString(),
                 twice + twice);
    }

    // Deleting the last row leaves no selection: a second delete must not act on a blank phrase.
    void deletingTheLastRowClearsTheSelection() {
        const PhraseList& list = ContentPhrases();
        AddPhrases(list, {QString(), QStringLiteral("甲"), QStringLiteral("乙")});
        PhraseListWindow* window = Open(false);
        ClickRow(window->grid1, 3);
        MessageScript messages;
        messages.expect(QStringLiteral("是否删除信息？"), MessageScript::Answer::Ok)
            .expect(QStringLiteral("请选择要删除的信息！"));
        window->Command3->click();
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(window->selectedRow(), 0);
        QCOMPARE(Stored(list), QStringList({QString(), QStringLiteral("甲")}));
        QCOMPARE(GridPhrases(window->grid1), QStringList({QString(), QStringLiteral("甲")}));
    }

    void closingRefillsTheCallWindowsCombo_data() {
        QTest::addColumn<bool>("response");
        QTest::addColumn<bool>("byButton");
        QTest::newRow("content, 关闭") << false << true;
        QTest::newRow("response, 关闭") << true << true;
        QTest::newRow("content, window closed") << false << false;
    }
    void closingRefillsTheCallWindowsCombo() {
        QFETCH(bool, response);
        QFETCH(bool, byButton);
        const PhraseList& list = List(response);
        AddPhrases(list, {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
        QComboBox combo;
        combo.setEditable(true);
        combo.addItems({QStringLiteral("旧的"), QStringLiteral("甲")});
        combo.setEditText(QStringLiteral("正在输入"));
        PhraseListWindow* window = Open(response, &combo);
        ClickRow(window->grid1, 1);
        MessageScript messages;
        messages.expect(QStringLiteral("是否删除信息？"), MessageScript::Answer::Ok);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        // Deletion alone does not touch the combo box.
        QCOMPARE(Items(&combo), QStringList({QStringLiteral("旧的"), QStringLiteral("甲")}));
        if (byButton) {
            window->Command5->click();
        } else {
            window->close();
        }
        QVERIFY(!window->isVisible());
        QCOMPARE(Items(&combo), QStringList({QStringLiteral("乙"), QStringLiteral("丙")}));
        QCOMPARE(combo.currentText(), QStringLiteral("正在输入"));
    }
};

QTEST_MAIN(TestPhraseListWindow)
#include "test_phrase_list_window.moc"
