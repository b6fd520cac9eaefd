#include <QTest>

#include "core/terminal_text.h"

class TestTerminalText : public QObject {
    Q_OBJECT
private slots:
    void wrap_data();
    void wrap();
    void everyLineFitsAndNothingIsLost();
};

void TestTerminalText::wrap_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("expected");

    QTest::newRow("fits") << "数据文件夹" << 10 << "数据文件夹";
    QTest::newRow("Chinese breaks between characters")
        << "数据文件夹在网络上" << 10 << "数据文件夹\n在网络上";
    QTest::newRow("no line starts with a comma")
        << "数据文件夹，在网络上" << 10 << "数据文件\n夹，在网络\n上";
    QTest::newRow("no line ends with an opening bracket")
        << "数据文件（默认）" << 10 << "数据文件\n（默认）";
    QTest::newRow("an option stays whole, the space goes")
        << "与 --import 同用" << 10 << "与\n--import\n同用";
    QTest::newRow("an address with Chinese placeholders stays whole")
        << "地址如 postgresql://用户@主机/库，其他" << 28
        << "地址如\npostgresql://用户@主机/库，\n其他";
    QTest::newRow("a run wider than a line is cut") << "abcdefghij" << 4 << "abcd\nefgh\nij";
    QTest::newRow("breaks already there are kept") << "甲\n乙丙" << 10 << "甲\n乙丙";
    QTest::newRow("empty") << "" << 10 << "";
}

void TestTerminalText::wrap() {
    QFETCH(QString, text);
    QFETCH(int, columns);
    QFETCH(QString, expected);
    QCOMPARE(WrapToTerminalColumns(text, columns), expected);
}

// The help's longest description, at the width the help gives it.
void TestTerminalText::everyLineFitsAndNothingIsLost() {
    const QString text = QStringLiteral(
        "使用数据库服务器上的数据库，URL 为 libpq 连接地址，如 postgresql://用户@主机:端口/"
        "数据库名，Unix 套接字用 postgresql:///数据库名?host=/套接字文件夹。不给出时使用“数据库"
        "连接”中保存的服务器，没有保存时使用数据文件夹中的数据库文件");
    const QString wrapped = WrapToTerminalColumns(text, 50);
    for (const QString& line : wrapped.split(QLatin1Char('\n'))) {
        QVERIFY2(TerminalColumns(line) <= 50, qPrintable(line));
    }
    QString joined = wrapped;
    joined.remove(QLatin1Char('\n')).remove(QLatin1Char(' '));
    QString original = text;
    original.remove(QLatin1Char(' '));
    QCOMPARE(joined, original);
}

QTEST_GUILESS_MAIN(TestTerminalText)
#include "test_terminal_text.moc"
