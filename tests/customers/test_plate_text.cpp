#include <QTest>

#include "customers/plate_text.h"

class TestPlateText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void platesAsStored_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        const QString plate = QStringLiteral("浙AD12345");
        QTest::newRow("as printed") << plate << plate;
        QTest::newRow("middle dot") << QStringLiteral("浙A·D12345") << plate;
        QTest::newRow("bullet") << QStringLiteral("浙A•D12345") << plate;
        QTest::newRow("katakana dot") << QStringLiteral("浙A・D12345") << plate;
        QTest::newRow("space") << QStringLiteral("浙A D12345") << plate;
        QTest::newRow("ideographic space") << QStringLiteral("浙A　D12345") << plate;
        QTest::newRow("spaces around") << QStringLiteral("  浙A D12345 ") << plate;
        QTest::newRow("hyphen") << QStringLiteral("浙A-D12345") << plate;
        QTest::newRow("full-width hyphen") << QStringLiteral("浙A－D12345") << plate;
        QTest::newRow("en dash") << QStringLiteral("浙A–D12345") << plate;
        QTest::newRow("dot") << QStringLiteral("浙A.D12345") << plate;
        QTest::newRow("full-width dot") << QStringLiteral("浙A．D12345") << plate;
        QTest::newRow("lower case") << QStringLiteral("浙a·d12345") << plate;
        QTest::newRow("full width") << QStringLiteral("浙Ａ　Ｄ１２３４５") << plate;
        QTest::newRow("full-width lower")
            << QStringLiteral("苏ｅ88a66") << QStringLiteral("苏E88A66");
        QTest::newRow("new energy")
            << QStringLiteral("粤B·D12345F") << QStringLiteral("粤BD12345F");
        QTest::newRow("trailer character kept")
            << QStringLiteral("京A1234挂") << QStringLiteral("京A1234挂");
        QTest::newRow("quote kept") << QStringLiteral("京A'5%") << QStringLiteral("京A'5%");
        QTest::newRow("only separators") << QStringLiteral(" · - ") << QString();
    }
    void platesAsStored() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(NormalizedPlate(typed), stored);
        // Normalising twice changes nothing.
        QCOMPARE(NormalizedPlate(stored), stored);
    }

    void telephoneDigits_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("digits");
        QTest::newRow("plain") << QStringLiteral("13800000000") << QStringLiteral("13800000000");
        QTest::newRow("spaces") << QStringLiteral("138 0000 0000") << QStringLiteral("13800000000");
        QTest::newRow("dashes") << QStringLiteral("138-0000-0000") << QStringLiteral("13800000000");
        QTest::newRow("+86") << QStringLiteral("+86 138 0000 0000")
                             << QStringLiteral("13800000000");
        QTest::newRow("+86 joined")
            << QStringLiteral("+8613800000000") << QStringLiteral("13800000000");
        QTest::newRow("0086") << QStringLiteral("0086 13800000000")
                              << QStringLiteral("13800000000");
        QTest::newRow("area code")
            << QStringLiteral("(0571) 8888-1234") << QStringLiteral("057188881234");
        QTest::newRow("full width") << QStringLiteral("１３８００") << QStringLiteral("13800");
        QTest::newRow("86 without plus is a number")
            << QStringLiteral("86123") << QStringLiteral("86123");
        QTest::newRow("other country")
            << QStringLiteral("+1 555 0100") << QStringLiteral("15550100");
        QTest::newRow("a name") << QStringLiteral("张三") << QString();
        QTest::newRow("a plate") << QStringLiteral("5b678") << QString();
        QTest::newRow("plus inside") << QStringLiteral("138+00") << QString();
        QTest::newRow("marks only") << QStringLiteral(" - ") << QString();
    }
    void telephoneDigits() {
        QFETCH(QString, typed);
        QFETCH(QString, digits);
        QCOMPARE(TelephoneDigits(typed), digits);
    }
};

QTEST_GUILESS_MAIN(TestPlateText)
#include "test_plate_text.moc"
