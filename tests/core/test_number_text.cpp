#include <QTest>

#include "core/number_text.h"

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void formatAmount_data();
    void formatAmount();
    void leadingNumber_data();
    void leadingNumber();
    void fileSize_data();
    void fileSize();
};

void TestNumberText::formatAmount_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QString amount = QStringLiteral("########0.00");
    // Halves that a double stores just below or above the written value.
    QTest::newRow("2.675") << 2.675 << amount << "2.68";
    QTest::newRow("1.005") << 1.005 << amount << "1.01";
    QTest::newRow("1234567.125") << 1234567.125 << amount << "1234567.13";
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << amount << "0.30";
    QTest::newRow("2.5 * 1.07") << 2.5 * 1.07 << amount << "2.68";
    QTest::newRow("3 * 1.115") << 3 * 1.115 << amount << "3.35";
    QTest::newRow("carry into integer") << 9.995 << amount << "10.00";
    // Negatives round away from zero, and no "-0.00".
    QTest::newRow("-2.5") << -2.5 << amount << "-2.50";
    QTest::newRow("-0.001") << -0.001 << amount << "0.00";
    QTest::newRow("-0.005") << -0.005 << amount << "-0.01";
    QTest::newRow("negative zero") << -0.0 << amount << "0.00";
    // The count of '#' does not cap the digits, and there are no separators.
    QTest::newRow("more digits than #")
        << 123456789012.5 << QStringLiteral("#######0.00") << "123456789012.50";
    QTest::newRow("quantity form") << 0.5 << QStringLiteral("#######0.00") << "0.50";
    QTest::newRow("not finite") << qInf() << amount << "0.00";
    // Whole numbers padded to three digits.
    QTest::newRow("000 7") << 7.0 << QStringLiteral("000") << "007";
    QTest::newRow("000 12") << 12.0 << QStringLiteral("000") << "012";
    QTest::newRow("000 1234") << 1234.0 << QStringLiteral("000") << "1234";
    QTest::newRow("000 rounds half up") << 5.5 << QStringLiteral("000") << "006";
    QTest::newRow("000 negative") << -7.0 << QStringLiteral("000") << "-007";
}

void TestNumberText::formatAmount() {
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(FormatAmount(value, format), expected);
}

void TestNumberText::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("plain") << "35" << 35.0;
    QTest::newRow("two points") << "12.5.3" << 12.5;
    QTest::newRow("blanks anywhere") << " 1 2" << 12.0;
    QTest::newRow("full-width blank") << QStringLiteral("1\u30002") << 12.0;
    QTest::newRow("trailing letters") << "-3.5x" << -3.5;
    QTest::newRow("sign after blank") << "- 3" << -3.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point last") << "5." << 5.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent upper with sign") << "2.5E-1" << 0.25;
    QTest::newRow("exponent without digits") << "1e" << 1.0;
    QTest::newRow("overflow") << "1e999" << 0.0;
    QTest::newRow("full-width digits are not digits") << QStringLiteral("１２") << 0.0;
}

void TestNumberText::leadingNumber() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(LeadingNumber(text), expected);
}

void TestNumberText::fileSize_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bytes") << qint64(812) << "812 B";
    QTest::newRow("last byte count") << qint64(1023) << "1023 B";
    QTest::newRow("one KB") << qint64(1024) << "1.0 KB";
    QTest::newRow("96 KB") << qint64(96 * 1024) << "96.0 KB";
    // Just under a unit would round to 1024.0 of the smaller one.
    QTest::newRow("just under a MB") << qint64(1024 * 1024 - 1) << "1.0 MB";
    QTest::newRow("1.2 GB") << qint64(1288490189) << "1.2 GB";
    QTest::newRow("past the last unit")
        << qint64(5) * 1024 * 1024 * 1024 * 1024 * 1024 << "5120.0 TB";
}

void TestNumberText::fileSize() {
    QFETCH(qint64, bytes);
    QFETCH(QString, expected);
    QCOMPARE(FileSizeText(bytes), expected);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "test_number_text.moc"
