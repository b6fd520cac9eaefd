#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "data/run_sql.h"
#include "support/message_script.h"
#include "ui/message_box.h"

using ui::MessageBox;
using Answer = MessageBox::Answer;
using Buttons = MessageBox::Buttons;
using Icon = MessageBox::Icon;
using Scenario = std::function<void(MessageScript&)>;

Q_DECLARE_METATYPE(Scenario)
Q_DECLARE_METATYPE(ui::MessageBox::Answer)
Q_DECLARE_METATYPE(ui::MessageBox::Buttons)

namespace {

const QString kTitle = QStringLiteral("系统提示");

// Acts on the real message box once it is on screen.
void WhenBoxShows(std::function<void(QMessageBox*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(box);
        }
    });
    poll->start();
}

}  // namespace

class TestMessageBox : public QObject {
    Q_OBJECT
private slots:
    void shortcuts();
    void databaseError();
    void scriptProblems_data();
    void scriptProblems();
    void unverifiedScriptFailsTheTest();
    void realBox_data();
    void realBox();
};

// The helpers windows use carry the house title, icon and buttons.
void TestMessageBox::shortcuts() {
    MessageScript messages;
    messages.expect(kTitle, QStringLiteral("车牌号为必填项！"), Icon::Stop)
        .expect(kTitle, QStringLiteral("保存成功！"), Icon::Information)
        .expect(kTitle, QStringLiteral("注意"), Icon::Exclamation)
        .expect(kTitle, QStringLiteral("是否保存？"), Icon::Question, Answer::Ok)
        .expect(kTitle, QStringLiteral("是否删除信息？"), Icon::Question, Answer::Cancel);
    ui::Stop(nullptr, QStringLiteral("车牌号为必填项！"));
    ui::Information(nullptr, QStringLiteral("保存成功！"));
    ui::Exclamation(nullptr, QStringLiteral("注意"));
    QVERIFY(ui::Confirm(nullptr, QStringLiteral("是否保存？")));
    QVERIFY(!ui::Confirm(nullptr, QStringLiteral("是否删除信息？")));
    VERIFY_MESSAGES(messages);
    QCOMPARE(messages.shown().at(4).buttons, Buttons::OkCancel);
}

void TestMessageBox::databaseError() {
    // No database is open in this test, so the statement fails with a reason.
    const Recordset failed = RunSql(QStringLiteral("select * from kh_table"));
    QVERIFY(failed.isNull());
    const QString reason = failed.error();
    QVERIFY(!reason.isEmpty());

    MessageScript messages;
    messages.expect(kTitle, QStringLiteral("数据库操作失败：") + reason, Icon::Stop);
    ui::ShowDatabaseError(nullptr, failed.error());
    VERIFY_MESSAGES(messages);
}

void TestMessageBox::scriptProblems_data() {
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<QStringList>("problems");

    QTest::newRow("unexpected, answered safely")
        << Scenario([](MessageScript&) {
               QVERIFY(!ui::Confirm(nullptr, QStringLiteral("是否保存？")));
               QCOMPARE(MessageBox::show(nullptr, kTitle, QStringLiteral("q"), Icon::Question,
                                         Buttons::YesNo, Answer::Yes),
                        Answer::No);
           })
        << QStringList{QStringLiteral("unexpected message \"是否保存？\""),
                       QStringLiteral("unexpected message \"q\"")};

    QTest::newRow("missing") << Scenario([](MessageScript& script) {
        script.expect(QStringLiteral("保存成功！")).expect(QStringLiteral("添加成功！"));
        ui::Information(nullptr, QStringLiteral("保存成功！"));
    }) << QStringList{QStringLiteral("\"添加成功！\" never came")};

    QTest::newRow("other text keeps later ones in step") << Scenario([](MessageScript& script) {
        script.expect(QStringLiteral("是否保存？")).expect(QStringLiteral("保存成功！"));
        QVERIFY(!ui::Confirm(nullptr, QStringLiteral("是否打印？")));
        ui::Information(nullptr, QStringLiteral("保存成功！"));
    }) << QStringList{QStringLiteral("expected \"是否保存？\"")};

    QTest::newRow("wrong title and icon")
        << Scenario([](MessageScript& script) {
               script.expect(QStringLiteral("提示！"), QStringLiteral("备份成功！"), Icon::Stop);
               ui::Information(nullptr, QStringLiteral("备份成功！"));
           })
        << QStringList{
               QStringLiteral("but got \"备份成功！\" (title \"系统提示\", information icon)")};

    QTest::newRow("answer the buttons lack") << Scenario([](MessageScript& script) {
        script.expect(QStringLiteral("是否打印？"), Answer::Yes);
        QVERIFY(!ui::Confirm(nullptr, QStringLiteral("是否打印？")));
    }) << QStringList{QStringLiteral("has no Yes button")};

    QTest::newRow("all well") << Scenario([](MessageScript& script) {
        script.expect(QStringLiteral("是否打印？"), Answer::Ok);
        QVERIFY(ui::Confirm(nullptr, QStringLiteral("是否打印？")));
    }) << QStringList{};
}

void TestMessageBox::scriptProblems() {
    QFETCH(Scenario, scenario);
    QFETCH(QStringList, problems);

    MessageScript script;
    scenario(script);
    QCOMPARE(script.verify(), problems.isEmpty());
    const QStringList found = script.takeProblems();
    QCOMPARE(found.size(), problems.size());
    for (qsizetype i = 0; i < problems.size(); ++i)
        QVERIFY2(found.at(i).contains(problems.at(i)), qPrintable(found.at(i)));
}

void TestMessageBox::unverifiedScriptFailsTheTest() {
    {
        MessageScript script;
        script.expect(QStringLiteral("never shown"));
        // The destructor must report the missing message as a failure of this test.
        QEXPECT_FAIL("", "an unverified script fails the test", Continue);
    }
    // Were the expected failure not used up above, this check would count as an unexpected pass.
    QVERIFY(true);
}

void TestMessageBox::realBox_data() {
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<Answer>("defaultAnswer");
    QTest::addColumn<QString>("press");  // a caption, or "Enter" / "Escape"
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<Answer>("expected");

    const QStringList okCancel{QStringLiteral("确定"), QStringLiteral("取消")};
    const QStringList yesNo{QStringLiteral("是"), QStringLiteral("否")};
    QTest::newRow("ok-cancel escape")
        << Buttons::OkCancel << Answer::Ok << "Escape" << okCancel << Answer::Cancel;
    QTest::newRow("click yes") << Buttons::YesNo << Answer::No << QStringLiteral("是") << yesNo
                               << Answer::Yes;
    QTest::newRow("default not offered")
        << Buttons::YesNo << Answer::Ok << "Enter" << yesNo << Answer::Yes;
}

void TestMessageBox::realBox() {
    QFETCH(Buttons, buttons);
    QFETCH(Answer, defaultAnswer);
    QFETCH(QString, press);
    QFETCH(QStringList, captions);
    QFETCH(Answer, expected);

    QStringList seenCaptions;
    bool looksRight = false;
    WhenBoxShows([&](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons())
            seenCaptions.append(button->text());
        // Plain text: a message quoting the operator's input shows it as typed.
        looksRight = box->windowTitle() == kTitle && box->icon() == QMessageBox::Critical &&
                     box->textFormat() == Qt::PlainText &&
                     box->width() >= MessageBox::kMinimumWidth;
        if (press == QLatin1String("Enter"))
            QTest::keyClick(box, Qt::Key_Return);
        else if (press == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == press)
                button->click();
        }
    });
    QCOMPARE(MessageBox::show(nullptr, kTitle, QStringLiteral("<b>车牌</b>"), Icon::Stop, buttons,
                              defaultAnswer),
             expected);
    seenCaptions.sort();
    captions.sort();
    QCOMPARE(seenCaptions, captions);
    QVERIFY(looksRight);
}

QTEST_MAIN(TestMessageBox)
#include "test_message_box.moc"
