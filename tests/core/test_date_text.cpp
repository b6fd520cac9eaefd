#include <QTest>

#include "core/date_text.h"

class TestDateText : public QObject {
    Q_OBJECT
private slots:
    void todayLine_data();
    void todayLine();
    void parse_data();
    void parse();
    void roundTrip();
};

void TestDateText::todayLine_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");

    // One week, Monday to Sunday, with one- and two-digit months and days.
    QTest::newRow("Mon") << QDate(2026, 11, 30) << QStringLiteral("今天是2026年11月30日  星期一");
    QTest::newRow("Tue") << QDate(2026, 12, 1) << QStringLiteral("今天是2026年12月1日  星期二");
    QTest::newRow("Wed") << QDate(2026, 12, 2) << QStringLiteral("今天是2026年12月2日  星期三");
    QTest::newRow("Thu") << QDate(2026, 12, 3) << QStringLiteral("今天是2026年12月3日  星期四");
    QTest::newRow("Fri") << QDate(2026, 12, 4) << QStringLiteral("今天是2026年12月4日  星期五");
    QTest::newRow("Sat") << QDate(2026, 12, 5) << QStringLiteral("今天是2026年12月5日  星期六");
    QTest::newRow("Sun") << QDate(2026, 12, 6) << QStringLiteral("今天是2026年12月6日  星期日");
    QTest::newRow("single digits")
        << QDate(2027, 1, 9) << QStringLiteral("今天是2027年1月9日  星期六");
    QTest::newRow("leap day") << QDate(2028, 2, 29)
                              << QStringLiteral("今天是2028年2月29日  星期二");
    QTest::newRow("invalid") << QDate() << QString();
}

void TestDateText::todayLine() {
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(TodayLine(date), expected);
}

void TestDateText::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");

    QTest::newRow("stored form") << "2026-12-06" << QDate(2026, 12, 6);
    QTest::newRow("single digits") << "2026-1-5" << QDate(2026, 1, 5);
    QTest::newRow("with time") << "2026-12-06 00:00:00" << QDate(2026, 12, 6);
    QTest::newRow("leap day") << "2028-02-29" << QDate(2028, 2, 29);
    QTest::newRow("no leap day") << "2026-02-29" << QDate();
    QTest::newRow("month 13") << "2026-13-01" << QDate();
    QTest::newRow("slashes") << "2026/12/06" << QDate();
    QTest::newRow("trailing junk") << "2026-12-06x" << QDate();
    QTest::newRow("full-width digits") << QStringLiteral("２０２６-12-06") << QDate();
}

void TestDateText::parse() {
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    const QDate parsed = ParseDateText(text);
    QCOMPARE(parsed.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(parsed, expected);
}

void TestDateText::roundTrip() {
    // Text order must be date order, so every part is zero-padded.
    QCOMPARE(DateText(QDate(2026, 1, 5)), QStringLiteral("2026-01-05"));
    QCOMPARE(DateText(QDate()), QString());
    QCOMPARE(DateText(QDate(99, 3, 1)), QStringLiteral("0099-03-01"));
    QCOMPARE(DateText(QDate(9999, 12, 31)), QStringLiteral("9999-12-31"));
    QCOMPARE(DateText(QDate(10000, 1, 1)), QStringLiteral("10000-01-01"));
    for (const QDate& date : {QDate(1999, 12, 31), QDate(2026, 2, 28), QDate(2030, 10, 1)})
        QCOMPARE(ParseDateText(DateText(date)), date);
}

QTEST_GUILESS_MAIN(TestDateText)
#include "test_date_text.moc"
