#include <QTest>

#include "import/number_format.h"

// Which number formats show a day: the date cells of every workbook reader depend on it.
class TestNumberFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void datesAreTold_data() {
        QTest::addColumn<int>("builtin");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("date");
        QTest::newRow("built-in 14") << 14 << "" << true;
        QTest::newRow("built-in 22, day and time") << 22 << "" << true;
        QTest::newRow("built-in 31, Chinese day") << 31 << "" << true;
        QTest::newRow("built-in 57, Chinese month") << 57 << "" << true;
        QTest::newRow("built-in 0, general") << 0 << "" << false;
        QTest::newRow("built-in 49, text") << 49 << "" << false;
        QTest::newRow("built-in 20, time") << 20 << "" << false;
        QTest::newRow("Chinese day") << 164 << "yyyy\"年\"m\"月\"d\"日\"" << true;
        QTest::newRow("Chinese numerals")
            << 165 << "[DBNum1][$-804]yyyy\"年\"m\"月\"d\"日\"" << true;
        QTest::newRow("system long date") << 166 << "[$-F800]dddd, mmmm dd, yyyy" << true;
        QTest::newRow("with a text section") << 167 << "yyyy/mm/dd;@" << true;
        QTest::newRow("upper case") << 168 << "YYYY-MM-DD" << true;
        QTest::newRow("code of a built-in id decides") << 14 << "0.00" << false;
        QTest::newRow("general") << 164 << "General" << false;
        QTest::newRow("quoted letters") << 164 << "0\" day\"" << false;
        QTest::newRow("escaped letter") << 164 << "0\\d" << false;
        QTest::newRow("colour and locale") << 164 << "[Red][$-804]0.00" << false;
        QTest::newRow("system time") << 164 << "[$-F400]h:mm:ss AM/PM" << false;
        QTest::newRow("elapsed hours") << 164 << "[h]:mm" << false;
        QTest::newRow("date only in the second section") << 164 << "0;yyyy" << false;
    }
    void datesAreTold() {
        QFETCH(int, builtin);
        QFETCH(QString, code);
        QFETCH(bool, date);
        const QByteArray utf8 = code.toUtf8();
        QCOMPARE(
            IsDateFormat(size_t(builtin), std::string_view(utf8.constData(), size_t(utf8.size()))),
            date);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "test_number_format.moc"
