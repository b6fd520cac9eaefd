#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/localization.h"
#include "followup/call_history_window.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/grid.h"
#include "ui/window_host.h"

namespace {

void AddCall(const QString& plate, const QString& date, const QString& content,
             const QString& response, const QString& operatorName) {
    static int serial = 0;
    TestDatabase::exec(
        QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, kh_tele_czname, "
                       "kh_tele_txnr, kh_tele_khhy, kh_tele_txdate, kh_tele_date, kh_tele_czr) "
                       "values (?, ?, '库里的名字', ?, ?, '2030-01-01', ?, ?)"),
        {QStringLiteral("{KEY-%1}").arg(++serial), plate, content, response, date, operatorName});
}

struct Shown {
    int calls = 0;
    QStringList owner;
    QString count;
    QList<QStringList> rows;
    QList<int> heights;
};

// Opens the history with a driver that reads the window as the operator would see it.
bool ShowAndRead(const QString& plate, Shown* shown, const QStringList& owner = {}) {
    ScopedModalDriver driver([shown](QWidget* window) {
        auto* history = qobject_cast<CallHistoryWindow*>(window);
        QVERIFY(history);
        ++shown->calls;
        shown->owner = {history->Text5->text(), history->Text10->text(), history->Text8->text()};
        shown->count = history->Text9->text();
        shown->rows.clear();
        shown->heights.clear();
        for (int row = 1; row < history->grid1->rows(); ++row) {
            QStringList cells;
            for (int col = 0; col < history->grid1->cols(); ++col) {
                cells << history->grid1->cellText(row, col);
            }
            shown->rows << cells;
            shown->heights << history->grid1->rowHeight(row);
        }
        history->Command5->click();
    });
    const QStringList o = owner.isEmpty() ? QStringList({"车主", "电话", "车型"}) : owner;
    Customer listed;
    listed.plate = plate;
    listed.owner = o[0];
    listed.telephone = o[1];
    listed.model = o[2];
    return ShowCallHistory(nullptr, listed);
}

}  // namespace

class TestCallHistoryWindow : public WindowTest {
    Q_OBJECT

private Q_SLOTS:
    // Matched by the stored plate text alone; owner fields are what the caller hands over.
    void listsTheCallsOfOnePlate() {
        const QString plate = QStringLiteral("京A'12345");
        AddCall(plate, QStringLiteral("2025-05-02"), QStringLiteral("第二次"), QStringLiteral("好"),
                QStringLiteral("李四"));
        AddCall(plate, QStringLiteral("2025-05-01"), QStringLiteral("第一次"),
                QStringLiteral("再说"), QStringLiteral("张三"));
        AddCall(QStringLiteral("京A'123456"), QStringLiteral("2025-05-01"), "x", "x", "x");
        AddCall(QStringLiteral("京a'12345"), QStringLiteral("2025-05-01"), "x", "x", "x");
        AddCall(QStringLiteral("京A'12345 "), QStringLiteral("2025-05-01"), "x", "x", "x");
        AddCall(QStringLiteral("%"), QStringLiteral("2025-05-01"), "x", "x", "x");
        AddCall(plate, QStringLiteral("2025-05-02"), QStringLiteral("第三次"),
                QStringLiteral("已预约"), QStringLiteral("李四"));

        Shown shown;
        MessageScript messages;
        QVERIFY(ShowAndRead(plate, &shown, {"交给的名字", "13900000000", "帕萨特"}));
        VERIFY_MESSAGES(messages);
        QCOMPARE(shown.calls, 1);
        QCOMPARE(shown.count, QStringLiteral("3"));
        QCOMPARE(shown.owner, QStringList({"交给的名字", "13900000000", "帕萨特"}));
        const QList<QStringList> expected = {
            {"", "2025-05-01", "第一次", "再说", "张三"},
            {"", "2025-05-02", "第二次", "好", "李四"},
            {"", "2025-05-02", "第三次", "已预约", "李四"},
        };
        QCOMPARE(shown.rows, expected);
        QCOMPARE(shown.heights, QList<int>({25, 25, 25}));
        QVERIFY(!ui::WindowHost::find<CallHistoryWindow>());
    }

    void reopeningForAnotherVehicleStartsClean() {
        for (int i = 0; i < 3; ++i) {
            AddCall(QStringLiteral("甲"), QStringLiteral("2025-01-0%1").arg(i + 1), "a", "b", "c");
        }
        AddCall(QStringLiteral("乙"), QStringLiteral("2025-02-01"), "d", "e", "f");
        Shown first;
        Shown second;
        QVERIFY(ShowAndRead(QStringLiteral("甲"), &first));
        QVERIFY(ShowAndRead(QStringLiteral("乙"), &second));
        QCOMPARE(first.rows.size(), 3);
        QCOMPARE(second.count, QStringLiteral("1"));
        QCOMPARE(second.rows, QList<QStringList>({{"", "2025-02-01", "d", "e", "f"}}));
    }

    void noCallsNoWindow() {
        AddCall(QStringLiteral("京A12345"), QStringLiteral("2025-05-01"), "x", "x", "x");
        Shown shown;
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("没有电话记录！"),
                        MessageScript::Icon::Stop);
        QVERIFY(!ShowAndRead(QStringLiteral("京A1234"), &shown));
        VERIFY_MESSAGES(messages);
        QCOMPARE(shown.calls, 0);
        QVERIFY(!ui::WindowHost::find<CallHistoryWindow>());
    }
};

QTEST_MAIN(TestCallHistoryWindow)
#include "test_call_history_window.moc"
