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

    // Each kind of format a workbook gives its numbers, with what the spreadsheet shows.
    void numbersShowAsTheirFormatSays_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* code, double value, const char* text) {
            QTest::newRow(name) << QString::fromUtf8(code) << value << QString::fromUtf8(text);
        };
        row("general: no binary tail", "General", 0.1 + 0.2, "0.3");
        row("general: fifteen digits", "General", 2.0 / 3.0, "0.666666666666667");
        row("general: tail past fifteen digits", "General", 1.0000000000000002, "1");
        row("general: telephone", "General", 13912345678, "13912345678");
        row("general: long whole number", "", 123456789012345, "123456789012345");
        row("general: negative", "General", -12.5, "-12.5");
        row("general: tiny", "General", 1.5e-12, "1.5E-12");
        row("general with text", "General\\ \"元\"", 12, "12 元");
        row("fixed", "0.00", 3.14159, "3.14");
        row("fixed rounds half up", "0.00", 2.675, "2.68");
        row("fixed rounds to zero", "0.00", -0.001, "0.00");
        row("whole", "0", 2.5, "3");
        row("optional decimals", "#.##", 12, "12.");
        row("optional decimals kept", "0.0#", 1.5, "1.5");
        row("blank decimals", "0.0?", 1.5, "1.5");
        row("thousands", "#,##0", 1234567.891, "1,234,568");
        row("thousands and decimals", "#,##0.00", -1234.5, "-1,234.50");
        row("thousands below a thousand", "#,##0", 12, "12");
        row("in thousands", "#,##0,", 1234567, "1,235");
        row("percent", "0%", 0.974, "97%");
        row("percent with decimals", "0.0%", 0.974, "97.4%");
        row("yuan", "¥#,##0.00", 1234.5, "¥1,234.50");
        row("yuan negative section", "¥#,##0.00;¥-#,##0.00", -8, "¥-8.00");
        row("currency in brackets", "[$¥-804]#,##0.00", 99.999, "¥100.00");
        row("locale only", "[$-804]0.0", 3, "3.0");
        row("accounting zero", "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)", 0, "-");
        row("accounting negative", "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)", -1234,
            "(1,234)");
        row("telephone mask", "00000000000", 1391234567, "01391234567");
        row("literal mask", "\"编号\"000", 7, "编号007");
        row("dashed mask", "000-0000-0000", 13912345678, "139-1234-5678");
        row("zero section", "0;-0;\"零\"", 0, "零");
        row("negative section without sign", "0;(0)", -5, "(5)");
        row("empty negative section", "0;;0", -5, "");
        row("red is dropped", "0.00;[Red]0.00", -3, "3.00");
        row("condition first", "[>100]\"多\";[<=100]\"少\"", 150, "多");
        row("condition second", "[>100]\"多\";[<=100]\"少\"", 50, "少");
        row("condition falls through", "[>100]0.0;0", 7, "7");
        row("condition keeps sign", "[>=100]0;0", -7, "-7");
        row("negative condition", "[<0]\"欠\"0;0", -7, "欠7");
        row("scientific", "0.00E+00", 12345, "1.23E+04");
        row("scientific small", "0.00E+00", 0.00012345, "1.23E-04");
        row("engineering", "##0.0E+0", 12345, "12.3E+3");
        row("fraction", "# ?/?", 1.5, "1 1/2");
        row("fraction two digits", "# ?\?/??", 0.3333, "1/3");
        row("fraction whole", "# ?/?", 2, "2");
        row("fraction fixed", "# ?/8", 1.25, "1 2/8");
        row("fraction of zero", "# ?/?", 0, "0");
        row("fraction keeps the room of its placeholders", "# ?\?/??", 123456.12, "123456  3/25");
        row("fraction with text after it", "# ?\?/?? \"寸\"", 0.5, "1/2  寸");
        row("text format", "@", 13912345678, "13912345678");
        row("time", "h:mm", 0.2736111, "6:34");
        row("time with seconds", "hh:mm:ss", 0.2736111, "06:34:00");
        row("time of a date", "h:mm", 46082.75, "18:00");
        row("twelve hours", "h:mm AM/PM", 0.75, "6:00 下午");
        row("twelve hours morning", "h:mm AM/PM", 0.25, "6:00 上午");
        row("Chinese time", "上午/下午h\"时\"mm\"分\"", 0.5, "下午12时00分");
        row("duration", "[h]:mm:ss", 10.632060185, "255:10:10");
        row("duration minutes", "[mm]:ss", 0.1, "144:00");
        row("minutes and tenths", "mm:ss.0", 0.000694444, "01:00.0");
        row("date", "yyyy/m/d", 46082, "2026-03-01");
        row("Chinese date", "yyyy\"年\"m\"月\"d\"日\"", 46082, "2026-03-01");
        row("date and time", "yyyy-mm-dd hh:mm", 46082.2736111, "2026-03-01 06:34");
        row("date and time to the second", "m/d/yy h:mm:ss", 46082.5, "2026-03-01 12:00:00");
        row("date before the first day", "yyyy/m/d", -3, "-3");
        row("truth value", "\"TRUE\";\"TRUE\";\"FALSE\"", 0, "FALSE");
        row("truth value, true", "\"TRUE\";\"TRUE\";\"FALSE\"", 1, "TRUE");
        row("truth value, negative", "\"TRUE\";\"TRUE\";\"FALSE\"", -1, "TRUE");
        row("text alone", "\"是\"", 0, "是");
        row("hidden", ";;;", 5, "");
        row("open quote", "0\"个", 3, "3个");
        row("unclosed bracket", "0[Red", 3, "3[Red");
    }
    void numbersShowAsTheirFormatSays() {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatNumber(code, value, QDate(1899, 12, 30)), text);
    }

    // A text cell shows through the section for texts, where the code has one.
    void textsShowThroughTheirSection_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* name, const char* code, const char* text, const char* shown) {
            QTest::newRow(name) << QString::fromUtf8(code) << QString::fromUtf8(text)
                                << QString::fromUtf8(shown);
        };
        row("prefix", "\"KABA:\"@", "ASC", "KABA:ASC");
        row("suffix", "@\"号\"", "A7", "A7号");
        row("fourth section", "0;-0;0;\"编号\"@", "12", "编号12");
        row("fourth section without @", "0;-0;0;\"文字\"", "abc", "文字");
        row("padding dropped, own blanks kept", "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)",
            " abc ", " abc ");
        row("text alone", "@", " abc", " abc");
        row("number format leaves text", "0.00", "abc", "abc");
        row("two sections leave text", "0;\"负\"@", "abc", "abc");
        row("general leaves text", "General", "abc", "abc");
    }
    void textsShowThroughTheirSection() {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(NumberFormat(code).textOf(text), shown);
    }

    // The ids a workbook uses without writing their codes, as a Chinese system shows them.
    void builtinFormatsShowAsTheirIdSays_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0 general") << 0 << 0.1 + 0.7 << "0.8";
        QTest::newRow("2 fixed") << 2 << 1.0 << "1.00";
        QTest::newRow("4 thousands") << 4 << 1234.5 << "1,234.50";
        QTest::newRow("7 yuan") << 7 << -2.5 << "¥-2.50";
        QTest::newRow("10 percent") << 10 << 0.125 << "12.50%";
        QTest::newRow("14 date") << 14 << 46082.0 << "2026-03-01";
        QTest::newRow("20 time") << 20 << 0.5 << "12:00";
        QTest::newRow("32 Chinese time") << 32 << 0.2736111 << "6时34分";
        QTest::newRow("46 duration") << 46 << 1.5 << "36:00:00";
        QTest::newRow("49 text") << 49 << 42.0 << "42";
        QTest::newRow("unknown") << 163 << 42.0 << "42";
    }
    void builtinFormatsShowAsTheirIdSays() {
        QFETCH(int, id);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatNumber(BuiltinFormatCode(size_t(id)), value, QDate(1899, 12, 30)), text);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "test_number_format.moc"
