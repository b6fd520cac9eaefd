#include <QTest>

#include "import/biff_formula.h"

namespace {

// A text constant token, in two bytes a character.
QByteArray Text(const QString& text) {
    QByteArray bytes("\x17", 1);
    bytes += char(text.size());
    bytes += char(1);
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

QByteArray Bytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

}  // namespace

class TestBiffFormula : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Text formulas as the office suite saves them without their results; "-" when the import
    // must not work the formula out.
    void textFormulasAreWorkedOut_data() {
        QTest::addColumn<QByteArray>("tokens");
        QTest::addColumn<QString>("text");
        const QByteArray ifOwner = Bytes("44020002c0") + Text(QStringLiteral("李娜")) +
                                   Bytes("0b19020b00") + Text(QStringLiteral("女士")) +
                                   Bytes("19080e00") + Text(QStringLiteral("先生")) +
                                   Bytes("1908030042030100");
        QTest::newRow("constant") << Text(QStringLiteral("京A10001")) << "京A10001";
        QTest::newRow("one-byte constant") << Bytes("170300616263") << "abc";
        QTest::newRow("&") << Text(QStringLiteral("沪B")) + Text(QStringLiteral("20002")) +
                                  Bytes("08")
                           << "沪B20002";
        QTest::newRow("CONCATENATE")
            << Text(QStringLiteral("大众")) + Text(QStringLiteral("帕萨特")) + Bytes("42025001")
            << "大众帕萨特";
        QTest::newRow("UPPER") << Text(QStringLiteral("wang")) + Bytes("417100") << "WANG";
        QTest::newRow("PROPER") << Text(QStringLiteral("zhang wei")) + Bytes("417200")
                                << "Zhang Wei";
        QTest::newRow("TRIM") << Text(QStringLiteral("  a  b ")) + Bytes("417600") << "a b";
        QTest::newRow("IF on a text cell, true") << ifOwner << "女士";
        QTest::newRow("LEFT") << Text(QStringLiteral("abc")) + Bytes("1e020042027300") << "ab";
        QTest::newRow("MID") << Text(QStringLiteral("abcdef")) + Bytes("1e02001e0300411f00")
                             << "bcd";
        QTest::newRow("reference to a text cell") << Bytes("2402000200") << "李娜";
        QTest::newRow("reference to a number") << Bytes("2401000400") << "-";
        QTest::newRow("REPT") << Text(QStringLiteral("长")) + Bytes("1e0300411e00") << "-";
        QTest::newRow("arithmetic") << Bytes("1e01001e020003") << "-";
        QTest::newRow("number result") << Bytes("1e0100") << "-";
        QTest::newRow("IF without else")
            << Bytes("1e0000") + Text(QStringLiteral("a")) + Bytes("42020100") << "-";
        QTest::newRow("CHOOSE's jump table") << Bytes("1e01001904010004000000") << "-";
        QTest::newRow("cut short") << Bytes("170500616263") << "-";
        QTest::newRow("two values left")
            << Text(QStringLiteral("a")) + Text(QStringLiteral("b")) << "-";
        QTest::newRow("& with one operand") << Text(QStringLiteral("a")) + Bytes("08") << "-";
        QTest::newRow("empty") << QByteArray() << "-";
    }
    void textFormulasAreWorkedOut() {
        QFETCH(QByteArray, tokens);
        QFETCH(QString, text);
        // Row 3 column 3 holds a name, row 2 column 5 a number.
        const biff::CellText cell = [](int row, int column) -> std::optional<QString> {
            if (row == 2 && column == 2) {
                return QStringLiteral("李娜");
            }
            if (row == 1 && column == 4) {
                return std::nullopt;
            }
            return QString();
        };
        const std::optional<QString> result = biff::TextFormulaResult(
            std::string_view(tokens.constData(), size_t(tokens.size())), cell);
        QCOMPARE(result.value_or(QStringLiteral("-")), text);
    }

    // The else branch of IF, when the cell holds another name.
    void ifTakesItsElseBranch() {
        const QByteArray tokens = Bytes("44020002c0") + Text(QStringLiteral("李娜")) +
                                  Bytes("0b19020b00") + Text(QStringLiteral("女士")) +
                                  Bytes("19080e00") + Text(QStringLiteral("先生")) +
                                  Bytes("1908030042030100");
        const biff::CellText cell = [](int, int) -> std::optional<QString> {
            return QStringLiteral("王强");
        };
        QCOMPARE(biff::TextFormulaResult(
                     std::string_view(tokens.constData(), size_t(tokens.size())), cell),
                 std::optional<QString>(QStringLiteral("先生")));
    }
};

QTEST_GUILESS_MAIN(TestBiffFormula)
#include "test_biff_formula.moc"
