#include <QTemporaryDir>
#include <QTest>

#include "app/reminder_list.h"
#include "core/clock.h"
#include "core/date_text.h"
#include "data/run_sql.h"
#include "import/customer_import.h"
#include "import/sheet_file.h"
#include "support/database_fixture.h"
#include "support/other_station.h"
#include "support/rule_test.h"
#include "support/xlsx_rows.h"

Q_DECLARE_METATYPE(SheetRows)

namespace {

SheetRows ReadData(const QString& name) {
    const SheetFile sheet = ReadSheetFile(QStringLiteral(RUVASO_TEST_DATA_DIR "/") + name);
    if (!sheet.ok()) {
        qFatal("cannot read %s: %s", qPrintable(name), qPrintable(sheet.error));
    }
    return sheet.rows;
}

SheetRow Row(const QString& plate, const QString& owner, const QString& sex) {
    return {QStringLiteral("2027-01-02"),
            plate,
            owner,
            sex,
            QStringLiteral("13800000000"),
            QStringLiteral("2026-01-02"),
            QString(),
            QStringLiteral("车型")};
}

int Count() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

// Every stored customer as "plate|owner|sex|telephone|entry|reminder|identity|model|called",
// in plate order.
QStringList Stored() {
    QStringList rows;
    for (Recordset rs = RunSql(QStringLiteral("select * from kh_table order by kh_cph")); !rs.Eof();
         rs.MoveNext()) {
        QStringList fields;
        for (const char* column : {"kh_cph", "kh_czname", "kh_xb", "kh_tele", "kh_djdate",
                                   "kh_txdate", "kh_sfzh", "kh_cx", "kh_sfdgdh"}) {
            fields << rs.Text(QString::fromLatin1(column));
        }
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

QString Summary(const ImportResult& r) {
    return QStringLiteral("%1 stored, %2 without plate or owner, %3 already stored, %4 repeated")
        .arg(r.stored)
        .arg(r.withoutPlateOrOwner)
        .arg(r.plateAlreadyStored)
        .arg(r.repeatedInSheet);
}

}  // namespace

class TestCustomerImport : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    void headingRowAloneStoresNothing_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << "import_headings.xlsx";
        QTest::newRow("xls") << "import_headings.xls";
    }
    void headingRowAloneStoresNothing() {
        QFETCH(QString, file);
        const int before = Count();
        const ImportResult result = ImportSheet(ReadData(file));
        QCOMPARE(result.outcome, ImportResult::Outcome::Imported);
        QCOMPARE(Summary(result), QStringLiteral("0 stored, 0 without plate or owner, "
                                                 "0 already stored, 0 repeated"));
        QCOMPARE(Count(), before);
    }

    // Row 5 of the workbook has no plate and row 8 repeats row 1's plate: both are left out,
    // every other row is stored with trimmed texts and dates, as a customer not yet called.
    void workbookIsStoredRowByRow_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << "import_customers.xlsx";
        QTest::newRow("xls") << "import_customers.xls";
        QTest::newRow("ods") << "import_customers.ods";
        QTest::newRow("csv") << "import_customers_gb18030.csv";
    }
    void workbookIsStoredRowByRow() {
        QFETCH(QString, file);
        TestDatabase::exec(QStringLiteral("delete from kh_table"));
        const QString today = DateText(Today());
        const ImportResult result = ImportSheet(ReadData(file));
        QCOMPARE(result.outcome, ImportResult::Outcome::Imported);
        QCOMPARE(Summary(result), QStringLiteral("6 stored, 1 without plate or owner, "
                                                 "0 already stored, 1 repeated"));
        QCOMPARE(ImportSummaryText(result),
                 QStringLiteral("导入 6 条客户记录，跳过 2 条：车牌号或车主姓名为空 1 条，"
                                "与表中前面的行车牌号重复 1 条。\n其中 2 位客户的提醒日期是今天"
                                "（提醒日期为空的按今天），已列入今天的提醒名单。"));
        const QStringList expected = {
            "京A10001|张伟|先生|13912345678|2025-12-31|2026-03-01|110101199003071234|大众帕萨特|0",
            "京A10002|李娜|女士|010-62345678|2025-11-05|2026-03-02|11010119850101002X|"
            "丰田卡罗拉, 1.6L|0",
            "京A10003|王强|先生|13800000003|" + today + "|" + today +
                "|110101197001010031|本田雅阁|0",
            "京A10004|赵敏|女士|13800000004|2024-02-29|" + today + "||别克英朗|0",
            "京A10006|周杰|先生|13800000006|2025-01-06|2026-03-06||现代伊兰特|0",
            "京A10007|吴芳|女士|13800000007|2025-01-07|2026-03-07||福特福克斯|0"};
        QCOMPARE(Stored(), expected);
    }

    // A shop's list read by its headings: 男/女 are stored as 先生/女士, the other columns by
    // their names.
    void shopListIsStoredByItsHeadings() {
        TestDatabase::exec(QStringLiteral("delete from kh_table"));
        const QString today = DateText(Today());
        const ImportResult result =
            ImportSheet(ReadData(QStringLiteral("import_shop_headings.xls")));
        QCOMPARE(result.outcome, ImportResult::Outcome::Imported);
        QCOMPARE(result.remindToday, 1);
        const QStringList expected = {
            "京A20001|张伟|先生|13912345678|2025-12-31|2026-03-01|110101199003071234|大众帕萨特|0",
            "京A20002|李娜|女士|13800000002|2025-11-05|2026-03-02|11010119850101002X|"
            "丰田卡罗拉, 1.6L|0",
            "京A20003|王强|先生|13800000003|" + today + "|" + today + "||本田雅阁|0"};
        QCOMPARE(Stored(), expected);
    }

    // A refused import lists every problem of the sheet, the first refusal's first.
    void refusalListsEveryProblem() {
        SheetRows rows = {Row("京E1", "甲", "男士"), Row("京E2", "乙", "女"), Row("", "", "?"),
                          Row("京E4", "丁", "?")};
        rows[1][kModelColumn] = QString(61, QChar(u'型'));
        const int before = Count();
        const ImportResult result = ImportSheet(rows);
        QCOMPARE(result.outcome, ImportResult::Outcome::Refused);
        QCOMPARE(result.row, 1);
        QCOMPARE(result.message, QStringLiteral("性别错误！"));
        QCOMPARE(result.problems.count(), 3);
        QList<std::pair<qsizetype, int>> where;
        for (const SheetProblem& problem : result.problems.shown()) {
            where.append({problem.row, int(problem.column)});
        }
        QCOMPARE(where, (QList<std::pair<qsizetype, int>>{
                            {1, kSexColumn}, {2, kModelColumn}, {4, kSexColumn}}));
        QCOMPARE(Count(), before);
    }

    // The same sheet a second time stores nothing and says why.
    void sameSheetTwiceAddsNothing() {
        const SheetRows rows = ReadData(QStringLiteral("import_customers.xlsx"));
        QCOMPARE(ImportSheet(rows).stored, 6);
        const int after = Count();
        const ImportResult again = ImportSheet(rows);
        QCOMPARE(again.outcome, ImportResult::Outcome::Imported);
        QCOMPARE(Summary(again), QStringLiteral("0 stored, 1 without plate or owner, "
                                                "6 already stored, 1 repeated"));
        QCOMPARE(Count(), after);
    }

    // Plates are compared as printed (trimmed, upper-case, half-width), both with stored
    // customers and within the sheet, and stored that way.
    void blanksAndLetterCaseDoNotMakeANewPlate() {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer("{1}", "京B1", "老客户"));
        const ImportResult result =
            ImportSheet({Row(" 京b1 ", "新名字", "先生"), Row("京ｂ2", "甲", " 先生 "),
                         Row("京B2\t", "乙", "女士")});
        QCOMPARE(Summary(result), QStringLiteral("1 stored, 0 without plate or owner, "
                                                 "1 already stored, 1 repeated"));
        QCOMPARE(TestDatabase::scalar("select kh_czname from kh_table where kh_cph='京B1'"),
                 QVariant("老客户"));
        QCOMPARE(TestDatabase::scalar("select kh_xb from kh_table where kh_cph='京B2'"),
                 QVariant("先生"));
    }

    // Separators people type in a plate make no new plate either, against customers stored
    // with or without them, and a plate is stored without them.
    void separatorsDoNotMakeANewPlate() {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer("{1}", "浙AD12345", "老客户"));
        TestDatabase::addCustomer(TestDatabase::sampleCustomer("{2}", "浙a·B12345", "旧写法"));
        const ImportResult result =
            ImportSheet({Row("浙A·D12345", "甲", "先生"), Row("浙A B12345", "乙", "先生"),
                         Row("浙A-C12345", "丙", "女士"), Row("浙AC 12345", "丁", "女士")});
        QCOMPARE(Summary(result), QStringLiteral("1 stored, 0 without plate or owner, "
                                                 "2 already stored, 1 repeated"));
        QCOMPARE(TestDatabase::scalar("select kh_czname from kh_table where kh_cph='浙AC12345'"),
                 QVariant("丙"));
    }

    // Stored and repeated plates are found wherever they stand in a long sheet.
    void platesAreCheckedAcrossALongSheet() {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer("{70}", "京G70", "老客户"));
        TestDatabase::addCustomer(TestDatabase::sampleCustomer("{140}", "京G140", "老客户"));
        SheetRows sheet;
        for (int i = 1; i <= 200; ++i) {
            sheet.push_back(Row(QStringLiteral("京G%1").arg(i == 190 ? 10 : i), "甲", "先生"));
        }
        const int before = Count();
        const ImportResult result = ImportSheet(sheet);
        QCOMPARE(Summary(result), QStringLiteral("197 stored, 0 without plate or owner, "
                                                 "2 already stored, 1 repeated"));
        QCOMPARE(Count(), before + 197);
    }

    // Another station adds plates of the sheet while the import runs: one whose write is still
    // open when the import starts (the import waits for it), and one stored once the import
    // is under way, before the batch holding it is written. Both are left out as stored.
    void platesAddedElsewhereMeanwhileAreSkipped() {
        SKIP_ON_SERVER("the other station is a second connection to the SQLite file");
        OtherStation other(db_->filePath());
        QVERIFY(other.ok());
        QVERIFY(other.beginWrite());
        QVERIFY(
            other.exec(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_czname) "
                                      "values ('{a}', '京H5', '前台')")));
        other.commitAfter(150);
        SheetRows sheet;
        for (int i = 1; i <= 300; ++i) {
            sheet.push_back(Row(QStringLiteral("京H%1").arg(i), "甲", "先生"));
        }
        bool added = false;
        const ImportResult result = ImportSheet(sheet, [&](qsizetype done, qsizetype) {
            if (done >= 256 && !added) {
                TestDatabase::exec(
                    QStringLiteral("insert into kh_table (kh_code, kh_cph, "
                                   "kh_czname) values ('{b}', '京H290', '车间')"));
                added = true;
            }
            return true;
        });
        QVERIFY(other.committed());
        QVERIFY(added);
        QCOMPARE(Summary(result), QStringLiteral("298 stored, 0 without plate or owner, "
                                                 "2 already stored, 0 repeated"));
        QCOMPARE(Count(), 300);
        QCOMPARE(TestDatabase::scalar("select kh_czname from kh_table where kh_cph='京H5'"),
                 QVariant("前台"));
        QCOMPARE(TestDatabase::scalar("select kh_czname from kh_table where kh_cph='京H290'"),
                 QVariant("车间"));
    }

    // Every row that would be stored is checked first, also below a row without a plate; the
    // first that fails stops the import before anything is stored.
    void aRowThatFailsTheAuditStopsEverything_data() {
        QTest::addColumn<SheetRows>("rows");
        QTest::addColumn<int>("row");
        QTest::newRow("below an empty plate")
            << SheetRows{Row("京C1", "甲", "先生"), Row("", "乙", "先生"),
                         Row("京C3", "丙", "男士"), Row("京C4", "丁", "")}
            << 3;
        QTest::newRow("first row") << SheetRows{Row("京C1", "甲", "")} << 1;
        QTest::newRow("last row") << SheetRows{Row("京C1", "甲", "先生"), Row("京C1", "甲", "先生"),
                                               Row("京C3", "丙", "man")}
                                  << 3;
    }
    void aRowThatFailsTheAuditStopsEverything() {
        QFETCH(SheetRows, rows);
        QFETCH(int, row);
        const int before = Count();
        const ImportResult result = ImportSheet(rows);
        QCOMPARE(result.outcome, ImportResult::Outcome::Refused);
        QCOMPARE(result.row, row);
        QCOMPARE(result.message, QStringLiteral("性别错误！"));
        QCOMPARE(result.stored, 0);
        QCOMPARE(Count(), before);
    }

    // A row without a plate or name is left out unchecked, whatever else it holds.
    void rowsWithoutPlateOrNameAreNotChecked() {
        const ImportResult result =
            ImportSheet({Row("", "", ""), Row(" ", "甲", "男"), Row("京D1", "\t", "?"),
                         Row("京D2", "乙", "女士")});
        QCOMPARE(result.outcome, ImportResult::Outcome::Imported);
        QCOMPARE(Summary(result), QStringLiteral("1 stored, 3 without plate or owner, "
                                                 "0 already stored, 0 repeated"));
    }

    // The database refusing one row part-way leaves the customers as they were: nothing is
    // retried outside the transaction, and the failure points at the batch that held the row.
    void failurePartWayStoresNothing_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("refused");
        QTest::newRow("among few") << 4 << 3;
        QTest::newRow("after many") << 300 << 150;
    }
    void failurePartWayStoresNothing() {
        QFETCH(int, rows);
        QFETCH(int, refused);
        TestDatabase::addCustomer(TestDatabase::sampleCustomer("{1}", "京E0", "老客户"));
        TestDatabase::refuse(QStringLiteral("insert on kh_table"),
                             QStringLiteral("new.kh_cph = '京E%1'").arg(refused),
                             QStringLiteral("refused by the test"));
        SheetRows sheet;
        for (int i = 1; i <= rows; ++i) {
            sheet.push_back(Row(QStringLiteral("京E%1").arg(i), "甲", i % 2 ? "先生" : "女士"));
        }
        const QStringList before = Stored();
        const ImportResult result = ImportSheet(sheet);
        QCOMPARE(result.outcome, ImportResult::Outcome::Failed);
        QVERIFY2(result.row <= refused && result.row > refused - 64,
                 qPrintable(QString::number(result.row)));
        QVERIFY2(result.message.contains(QStringLiteral("refused by the test")),
                 qPrintable(result.message));
        QCOMPARE(Stored(), before);
    }

    // A disk that fills up part-way: the engine rolls everything back, and nothing is retried
    // outside the transaction it ended.
    void fullDiskPartWayStoresNothing() {
        SKIP_ON_SERVER("a full disk is simulated with a SQLite page limit");
        const int pages = TestDatabase::scalar(QStringLiteral("pragma page_count")).toInt();
        TestDatabase::exec(QStringLiteral("pragma max_page_count = %1").arg(pages + 40));
        SheetRows sheet;
        for (int i = 1; i <= 3000; ++i) {
            sheet.push_back(Row(QStringLiteral("京G%1").arg(i), "甲", "先生"));
        }
        const QStringList before = Stored();
        const ImportResult result = ImportSheet(sheet);
        QCOMPARE(result.outcome, ImportResult::Outcome::Failed);
        QVERIFY2(result.message.startsWith(QStringLiteral("磁盘空间不足（")),
                 qPrintable(result.message));
        QCOMPARE(Stored(), before);
    }

    void cancellingStoresNothing_data() {
        QTest::addColumn<int>("cancelAt");
        QTest::newRow("before the first row") << 0;
        QTest::newRow("part-way") << 512;
    }
    void cancellingStoresNothing() {
        QFETCH(int, cancelAt);
        SheetRows rows;
        for (int i = 0; i < 1000; ++i) {
            rows.push_back(Row(QStringLiteral("京F%1").arg(i), "甲", "先生"));
        }
        const int before = Count();
        qsizetype last = -1;
        const ImportResult result = ImportSheet(rows, [&](qsizetype done, qsizetype total) {
            last = done;
            return total == 1000 && done < cancelAt;
        });
        QCOMPARE(result.outcome, ImportResult::Outcome::Cancelled);
        QCOMPARE(last, cancelAt);
        QCOMPARE(Count(), before);
        // Nothing of the cancelled run is left to get in the way of the next.
        QCOMPARE(ImportSheet(rows).stored, 1000);
    }

    // Imported customers have not been called, so the main list shows them on their day.
    void importedCustomersAreDueForACall() {
        TestDatabase::exec(QStringLiteral("delete from kh_table"));
        // Rows without a reminder date are due today: keep today out of the range looked at.
        const QDateTime pinned = Now();
        SetClock(QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        QCOMPARE(ImportSheet(ReadData(QStringLiteral("import_customers.ods"))).stored, 6);
        SetClock(pinned);
        QStringList plates;
        for (Recordset rs =
                 OpenReminderList(ReminderMode::NotCalled, QDate(2026, 3, 1), QDate(2026, 3, 6));
             !rs.Eof(); rs.MoveNext()) {
            plates << rs.Text(QStringLiteral("kh_cph"));
        }
        plates.sort();
        QCOMPARE(plates, (QStringList{"京A10001", "京A10002", "京A10006"}));
    }

    // Every row left out is kept with its reason, in sheet order, and exports as a workbook the
    // shop can correct and import again.
    void skippedRowsAreListedAndExported() {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{1}"), QStringLiteral("京H9"), QStringLiteral("旧")));
        const ImportResult result =
            ImportSheet({Row("京H1", "甲", "先生"), Row("", "乙", "女士"), SheetRow{},
                         Row("京H9", "丙", "先生"), Row("京H1", "丁", "女士")});
        QCOMPARE(result.stored, 1);
        QCOMPARE(result.skippedRows.size(), size_t(3));
        QStringList listed;
        for (const SkippedRow& skipped : result.skippedRows) {
            listed << QStringLiteral("%1 %2 %3")
                          .arg(skipped.row)
                          .arg(skipped.texts[kOwnerColumn], skipped.reason);
        }
        QCOMPARE(listed, QStringList({"2 乙 车牌号或车主姓名为空", "4 丙 车牌号已在数据库中",
                                      "5 丁 与表中前面的行车牌号重复"}));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("skipped.xlsx"));
        QCOMPARE(ExportSkippedRows(result.skippedRows, path), QString());
        const XlsxRows read = ReadXlsxRows(path);
        QVERIFY2(read.ok, qPrintable(read.error));
        QCOMPARE(read.rows.size(), 4);  // the headings, then the three rows, and no total
        QCOMPARE(read.rows[0].first().toString(), QStringLiteral("行号"));
        QCOMPARE(read.rows[0].last().toString(), QStringLiteral("跳过原因"));
        QCOMPARE(read.rows[2].value(0).toString(), QStringLiteral("4"));
        QCOMPARE(read.rows[2].value(2).toString(), QStringLiteral("京H9"));
        QCOMPARE(read.rows[3].last().toString(), QStringLiteral("与表中前面的行车牌号重复"));
    }

    void summaryNamesEachReason_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("empty");
        QTest::addColumn<int>("taken");
        QTest::addColumn<int>("repeated");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing skipped") << 3 << 0 << 0 << 0 << "导入 3 条客户记录。";
        QTest::newRow("only stored plates")
            << 0 << 0 << 4 << 0 << "导入 0 条客户记录，跳过 4 条：车牌号已在数据库中 4 条。";
        QTest::newRow("all reasons") << 1 << 2 << 3 << 4
                                     << "导入 1 条客户记录，跳过 9 条：车牌号或车主姓名为空 2 条，"
                                        "车牌号已在数据库中 3 条，与表中前面的行车牌号重复 4 条。";
    }
    void summaryNamesEachReason() {
        QFETCH(int, stored);
        QFETCH(int, empty);
        QFETCH(int, taken);
        QFETCH(int, repeated);
        QFETCH(QString, text);
        ImportResult result;
        result.stored = stored;
        result.withoutPlateOrOwner = empty;
        result.plateAlreadyStored = taken;
        result.repeatedInSheet = repeated;
        QCOMPARE(ImportSummaryText(result), text);
    }
};

QTEST_GUILESS_MAIN(TestCustomerImport)
#include "test_customer_import.moc"
