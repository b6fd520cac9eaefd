#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "ui/date_picker.h"

using Action = std::function<void(ui::DatePicker&)>;
Q_DECLARE_METATYPE(Action)

class TestDatePicker : public QObject {
    Q_OBJECT
private slots:
    void change_data();
    void change();
    void keyDownComesFirst();
};

void TestDatePicker::change_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("changes");
    QTest::addColumn<QDate>("result");

    // The picker starts on 2026-12-06 with the day selected.
    QTest::newRow("set from code")
        << Action([](ui::DatePicker& p) { p.setValue(QDate(2027, 1, 9)); }) << 0
        << QDate(2027, 1, 9);
    QTest::newRow("invalid from code is ignored")
        << Action([](ui::DatePicker& p) { p.setValue(QDate()); }) << 0 << QDate(2026, 12, 6);
    QTest::newRow("user picks a date")
        << Action([](ui::DatePicker& p) { p.setDate(QDate(2026, 12, 24)); }) << 1
        << QDate(2026, 12, 24);
    QTest::newRow("user picks the same date")
        << Action([](ui::DatePicker& p) { p.setDate(QDate(2026, 12, 6)); }) << 0
        << QDate(2026, 12, 6);
    QTest::newRow("arrow up") << Action([](ui::DatePicker& p) { QTest::keyClick(&p, Qt::Key_Up); })
                              << 1 << QDate(2026, 12, 7);
    QTest::newRow("arrow down twice") << Action([](ui::DatePicker& p) {
        QTest::keyClick(&p, Qt::Key_Down);
        QTest::keyClick(&p, Qt::Key_Down);
    }) << 2 << QDate(2026, 12, 4);
    QTest::newRow("typing the day")
        << Action([](ui::DatePicker& p) { QTest::keyClicks(&p, QStringLiteral("9")); }) << 1
        << QDate(2026, 12, 9);
    QTest::newRow("code after user") << Action([](ui::DatePicker& p) {
        p.setDate(QDate(2026, 12, 1));
        p.setValue(QDate(2026, 12, 2));
    }) << 1 << QDate(2026, 12, 2);
}

void TestDatePicker::change() {
    QFETCH(Action, action);
    QFETCH(int, changes);
    QFETCH(QDate, result);

    ui::DatePicker picker;
    picker.setValue(QDate(2026, 12, 6));
    picker.show();
    picker.setFocus();
    picker.setSelectedSection(QDateTimeEdit::DaySection);
    QSignalSpy spy(&picker, &ui::DatePicker::Change);
    action(picker);
    QCOMPARE(spy.count(), changes);
    QCOMPARE(picker.value(), result);
}

void TestDatePicker::keyDownComesFirst() {
    ui::DatePicker picker;
    picker.setValue(QDate(2026, 12, 6));
    picker.setCurrentSection(QDateTimeEdit::DaySection);
    QList<std::pair<int, QDate>> seen;
    connect(&picker, &ui::DatePicker::KeyDown, &picker, [&](int key) {
        seen.append({key, picker.value()});
    });
    QTest::keyClick(&picker, Qt::Key_Up);
    QTest::keyClick(&picker, Qt::Key_Return);
    // The handler sees the date as it was before the key acted.
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0), std::make_pair(int(Qt::Key_Up), QDate(2026, 12, 6)));
    QCOMPARE(seen.at(1).first, int(Qt::Key_Return));
    QCOMPARE(picker.value(), QDate(2026, 12, 7));
    QCOMPARE(picker.text(), QStringLiteral("2026-12-07"));
}

QTEST_MAIN(TestDatePicker)
#include "test_date_picker.moc"
