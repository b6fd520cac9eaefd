#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "import/sheet_file.h"
#include "import/sheet_heading.h"

namespace {

QString DataFile(const QString& name) {
    return QStringLiteral(RUVASO_TEST_DATA_DIR "/") + name;
}

QString RowsText(const SheetRows& rows) {
    QStringList lines;
    for (const SheetRow& row : rows) {
        lines << QStringList(row.begin(), row.end()).join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

FileRow Cells(const QStringList& texts) {
    FileRow row;
    for (qsizetype i = 0; i < texts.size() && i < kMaxFileColumns; ++i) {
        row[size_t(i)] = texts[i];
    }
    return row;
}

// Every name a shop may give each column, the usual one first.
const std::array<QStringList, kSheetColumnCount> kNames = {
    QStringList{"提醒日期", "下次保养日期", "保养日期"},
    QStringList{"车牌号", "车牌", "车牌号码"},
    QStringList{"车主姓名", "车主", "姓名", "客户姓名"},
    QStringList{"性别"},
    QStringList{"联系电话", "电话", "手机", "手机号"},
    QStringList{"登记日期", "建档日期"},
    QStringList{"身份证号", "身份证"},
    QStringList{"车型", "车辆型号"}};

// A customer's cells in the usual column order.
const SheetRow kCustomer = {
    "2026-03-01",          "京A30001",  "张伟", "男", "13912345678", "2025-12-31",
    "110101199003071234X", "大众帕萨特"};

}  // namespace

class TestSheetHeading : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    SheetFile readText(const QByteArray& text) {
        const QString path = dir_.filePath(QStringLiteral("sheet.csv"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(text) != text.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        file.close();
        return ReadSheetFile(path);
    }

    // The same file read row by row, as the command line reads it.
    static SheetFile stream(const QString& path, SheetRows& rows) {
        SheetStream stream(path);
        return stream.check([&rows](SheetRow& row) {
            rows.push_back(row);
            return true;
        });
    }

private Q_SLOTS:

    void everyNameNamesItsColumn() {
        for (int column = 0; column < kSheetColumnCount; ++column) {
            for (const QString& name : kNames[size_t(column)]) {
                QCOMPARE(HeadingColumn(name), std::optional<SheetColumn>(SheetColumn(column)));
            }
        }
    }

    void headingsAreComparedAsAShopTypesThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("column");
        QTest::newRow("blanks around") << " 车牌号 " << int(kPlateColumn);
        QTest::newRow("blanks inside") << "姓　名" << int(kOwnerColumn);
        QTest::newRow("colon") << "手机号:" << int(kTelephoneColumn);
        QTest::newRow("full-width colon") << "性别：" << int(kSexColumn);
        QTest::newRow("marked as required") << "*车牌号码" << int(kPlateColumn);
        QTest::newRow("line break inside") << "下次\n保养日期" << int(kReminderDateColumn);
        QTest::newRow("unknown") << "地址" << -1;
        QTest::newRow("a name inside a longer one") << "车牌号登记表" << -1;
        QTest::newRow("a customer's sex") << "男" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void headingsAreComparedAsAShopTypesThem() {
        QFETCH(QString, text);
        QFETCH(int, column);
        const std::optional<SheetColumn> named = HeadingColumn(text);
        QCOMPARE(named ? int(*named) : -1, column);
    }

    // Only a row that names two columns is a heading.
    void whatIsAHeadingRow_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<bool>("heading");
        QTest::newRow("the usual eight") << QStringList{"提醒日期", "车牌号",   "车主姓名", "性别",
                                                        "联系电话", "登记日期", "身份证号", "车型"}
                                         << true;
        QTest::newRow("plate alone") << QStringList{"序号", "车牌"} << false;
        QTest::newRow("plate and telephone") << QStringList{"车牌", "", "", "", "手机"} << true;
        QTest::newRow("two others") << QStringList{"", "", "姓名", "手机"} << true;
        QTest::newRow("one name twice") << QStringList{"电话", "手机"} << false;
        QTest::newRow("a title") << QStringList{"客户资料"} << false;
        QTest::newRow("a title naming one column") << QStringList{"性别"} << false;
        QTest::newRow("a customer") << QStringList(kCustomer.begin(), kCustomer.end()) << false;
    }
    void whatIsAHeadingRow() {
        QFETCH(QStringList, cells);
        QFETCH(bool, heading);
        QCOMPARE(NamesColumns(Cells(cells)), heading);
    }

    // The eight columns in each order a rotation gives (each column at each place), reversed
    // too, under each of their names in turn: the rows come out in the usual order, read whole
    // and row by row.
    void everyOrderAndNameReadsTheSameRow() {
        for (int shift = 0; shift < kSheetColumnCount; ++shift) {
            for (const bool reversed : {false, true}) {
                QStringList headings;
                QStringList cells;
                for (int place = 0; place < kSheetColumnCount; ++place) {
                    const int rotated = (place + shift) % kSheetColumnCount;
                    const int column = reversed ? kSheetColumnCount - 1 - rotated : rotated;
                    const QStringList& names = kNames[size_t(column)];
                    headings << names[(shift + place) % names.size()];
                    cells << kCustomer[size_t(column)];
                }
                const QByteArray text = (headings.join(QLatin1Char(',')) + QLatin1Char('\n') +
                                         cells.join(QLatin1Char(',')) + QLatin1Char('\n'))
                                            .toUtf8();
                const SheetFile whole = readText(text);
                QVERIFY2(whole.ok(), qPrintable(whole.error));
                QCOMPARE(whole.rows, SheetRows{kCustomer});
                SheetRows streamed;
                QVERIFY(stream(dir_.filePath(QStringLiteral("sheet.csv")), streamed).ok());
                QCOMPARE(streamed, SheetRows{kCustomer});
            }
        }
    }

    // A shop's own list as spreadsheet applications save it: its columns by their names in its
    // own order, a colon and a blank on two names, and a running number and an address left out.
    void shopWorkbookReadsByName_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << "import_shop_headings.xlsx";
        QTest::newRow("xls") << "import_shop_headings.xls";
        QTest::newRow("ods") << "import_shop_headings.ods";
        QTest::newRow("csv") << "import_shop_headings.csv";
    }
    void shopWorkbookReadsByName() {
        QFETCH(QString, file);
        const QString expected = QStringLiteral(
            "2026-03-01|京A20001|张伟|男|13912345678|2025-12-31|110101199003071234|大众帕萨特\n"
            "2026-03-02|京A20002|李娜|女|13800000002|2025-11-05|11010119850101002X|丰田卡罗拉, "
            "1.6L\n"
            "|京A20003|王强|先生|13800000003|||本田雅阁");
        const SheetFile sheet = ReadSheetFile(DataFile(file));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(RowsText(sheet.rows), expected);
        QVERIFY(sheet.byHeading);
        QCOMPARE(sheet.ignoredColumns, QStringList({"序号", "地址"}));
        QCOMPARE(sheet.skippedAbove, 1);
        SheetRows streamed;
        const SheetFile checked = stream(DataFile(file), streamed);
        QVERIFY2(checked.ok(), qPrintable(checked.error));
        QCOMPARE(checked.ignoredColumns, sheet.ignoredColumns);
        QCOMPARE(RowsText(streamed), expected);
    }

    // A heading row without the plate's, the owner's or the sex's column refuses the file,
    // naming what is missing and what was not recognised; a title may stand above the heading,
    // a column may stand far right, and a second column of one name is left out.
    void headingRowsOfEveryShape_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("ignored");
        QTest::newRow("missing owner and sex")
            << QByteArray("车牌号,客户,手机\n京A1,张三,139\n") << QString()
            << "表头中没有必需的列：车主姓名、性别（不认识的列：客户）" << QStringList();
        QTest::newRow("title above")
            << QByteArray("客户资料\n2026年3月\n性别,车牌,姓名\n女,京A1,李四\n")
            << "|京A1|李四|女||||" << QString() << QStringList();
        QTest::newRow("column far right")
            << QByteArray(",,,,,,,,,,,,,,性别,车牌,姓名\n,,,,,,,,,,,,,,女,京A1,李四\n")
            << "|京A1|李四|女||||" << QString() << QStringList();
        QTest::newRow("past the columns looked at")
            << QByteArray(
                   ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,车型,性别,车牌,姓名\n"
                   ",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,别克,女,京A1,李四\n")
            << QString() << "表头中没有必需的列：车牌号、车主姓名" << QStringList();
        QTest::newRow("a name twice")
            << QByteArray("车牌,姓名,性别,电话,手机\n京A1,李四,女,010-1,139\n")
            << "|京A1|李四|女|010-1|||" << QString() << QStringList{"手机"};
        // The first row is a customer: the columns are where they always are.
        QTest::newRow("no heading") << QByteArray(",京A1,张三,先生,139\n")
                                    << "|京A1|张三|先生|139|||" << QString() << QStringList();
    }
    void headingRowsOfEveryShape() {
        QFETCH(QByteArray, text);
        QFETCH(QString, rows);
        QFETCH(QString, error);
        QFETCH(QStringList, ignored);
        const SheetFile sheet = readText(text);
        QCOMPARE(sheet.error, error);
        if (sheet.ok()) {
            QCOMPARE(RowsText(sheet.rows), rows);
            QCOMPARE(sheet.ignoredColumns, ignored);
        }
    }
};

QTEST_GUILESS_MAIN(TestSheetHeading)
#include "test_sheet_heading.moc"
