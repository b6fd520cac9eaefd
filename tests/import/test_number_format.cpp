#include <QTest>

#include "import/number_format.h"

class TestNumberFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Date formats of every kind the shops' workbooks carry, and look-alikes that are not.
    void whichFormatsShowDates_data() {
        QTest::addColumn<int>("builtin");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("date");
        QTest::newRow("built-in 14") << 14 << "" << true;
        QTest::newRow("built-in 22, date and time") << 22 << "" << true;
        QTest::newRow("built-in 31, year month day") << 31 << "" << true;
        QTest::newRow("built-in 57, year and month") << 57 << "" << true;
        QTest::newRow("built-in 20, time") << 20 << "" << false;
        QTest::newRow("built-in 32, East Asian time") << 32 << "" << false;
        QTest::newRow("built-in 55, East Asian time") << 55 << "" << false;
        QTest::newRow("built-in 0, general") << 0 << "" << false;
        QTest::newRow("built-in 49, text") << 49 << "" << false;
        QTest::newRow("Chinese long date") << 176 << "yyyy\"年\"m\"月\"d\"日\"" << true;
        QTest::newRow("Chinese numerals")
            << 177 << "[DBNum1][$-804]yyyy\"年\"m\"月\"d\"日\"" << true;
        QTest::newRow("system long date") << 178 << "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy" << true;
        QTest::newRow("system long date alone") << 178 << "[$-F800]" << true;
        QTest::newRow("locale prefix") << 179 << "[$-804]yyyy/m/d;@" << true;
        QTest::newRow("system time") << 180 << "[$-F400]h:mm:ss\\ AM/PM" << false;
        QTest::newRow("quoted day") << 181 << "0\" days\"" << false;
        QTest::newRow("escaped d") << 182 << "0\\d" << false;
        QTest::newRow("elapsed hours") << 183 << "[h]:mm" << false;
        QTest::newRow("currency with locale") << 184 << "[$¥-804]#,##0.00" << false;
        QTest::newRow("date only in second section") << 185 << "0;yyyy" << false;
        QTest::newRow("general") << 186 << "General" << false;
    }
    void whichFormatsShowDates() {
        QFETCH(int, builtin);
        QFETCH(QString, code);
        QFETCH(bool, date);
        QCOMPARE(IsDateFormat(size_t(builtin), code.toStdString()), date);
    }

    void literalFormatsShowTheirText_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        const QString truth = QStringLiteral("\"TRUE\";\"TRUE\";\"FALSE\"");
        QTest::newRow("true") << truth << 1.0 << "TRUE";
        QTest::newRow("negative is true") << truth << -1.0 << "TRUE";
        QTest::newRow("false") << truth << 0.0 << "FALSE";
        QTest::newRow("one section") << "\"是\"" << 0.0 << "是";
        QTest::newRow("number format") << "0.00" << 1.0 << "-";
        QTest::newRow("text and digits") << "\"第\"0" << 1.0 << "-";
        QTest::newRow("open quote") << "\"TRUE" << 1.0 << "-";
        QTest::newRow("empty") << "" << 1.0 << "-";
    }
    void literalFormatsShowTheirText() {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        const std::optional<std::string> shown = LiteralFormatText(code.toStdString(), value);
        QCOMPARE(shown ? QString::fromStdString(*shown) : QStringLiteral("-"), text);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "test_number_format.moc"
