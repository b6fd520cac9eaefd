#include <QTest>

#include "platform/legacy_text.h"

// Chinese text from before Unicode, as old workbooks and web pages carry it: the system's own
// converters must read it the same on every system.
class TestLegacyText : public QObject {
    Q_OBJECT

private slots:
    void codePagesRead_data() {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("GBK") << 936 << QByteArray("\xD6\xD0\xCE\xC4 A1")
                             << QStringLiteral("中文 A1");
        QTest::newRow("Big5") << 950 << QByteArray("\xA4\xA4\xA4\xE5") << QStringLiteral("中文");
        QTest::newRow("Western") << 1252 << QByteArray("caf\xE9 \x80") << QStringLiteral("café €");
        QTest::newRow("unknown is Western") << 12345 << QByteArray("\xE9") << QStringLiteral("é");
        QTest::newRow("empty") << 936 << QByteArray() << QString();
    }
    void codePagesRead() {
        QFETCH(int, codePage);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        platform::CodePageText decoder{quint16(codePage)};
        QCOMPARE(decoder.decode(bytes), text);
        // A decoder is used for every string of a workbook: nothing carries over.
        QCOMPARE(decoder.decode(bytes), text);
    }

    void gb18030BecomesUtf8_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("text");
        QTest::newRow("two-byte") << QByteArray("\xBE\xA9\x41") << true << QStringLiteral("京A");
        QTest::newRow("four-byte")
            << QByteArray("\x81\x30\x81\x30") << true << QStringLiteral("\u0080");
        QTest::newRow("ascii") << QByteArray("plate,name") << true << QStringLiteral("plate,name");
        QTest::newRow("cut in a character") << QByteArray("\xBE") << false << QString();
        QTest::newRow("not GB18030") << QByteArray("\x81\x20") << false << QString();
    }
    void gb18030BecomesUtf8() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(QString, text);
        const std::optional<QByteArray> utf8 = platform::Gb18030ToUtf8(bytes);
        QCOMPARE(bool(utf8), valid);
        if (valid) {
            QCOMPARE(QString::fromUtf8(*utf8), text);
        }
    }
};

QTEST_GUILESS_MAIN(TestLegacyText)
#include "test_legacy_text.moc"
