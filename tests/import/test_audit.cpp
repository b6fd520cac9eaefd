#include <QTest>

#include "core/clock.h"
#include "core/date_text.h"
#include "import/audit.h"
#include "import/sheet_file.h"
#include "support/rule_test.h"

namespace {

SheetRow Row(const QString& reminder, const QString& plate, const QString& owner,
             const QString& sex, const QString& entry = QString()) {
    return {reminder,
            plate,
            owner,
            sex,
            QStringLiteral("13800000000"),
            entry,
            QString(),
            QStringLiteral("车型")};
}

SheetRows Customers() {
    const SheetFile sheet =
        ReadSheetFile(QStringLiteral(RUVASO_TEST_DATA_DIR "/import_customers.xlsx"));
    if (!sheet.ok()) {
        qFatal("cannot read the customers: %s", qPrintable(sheet.error));
    }
    return sheet.rows;
}

}  // namespace

class TestAudit : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    void dateColumnsBecomeDates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("audited");
        const QString today = DateText(Today());
        QTest::newRow("iso") << "2026-03-05"
                             << "2026-03-05";
        QTest::newRow("single digits") << "2026-3-5"
                                       << "2026-03-05";
        QTest::newRow("slashes") << "2026/3/5"
                                 << "2026-03-05";
        QTest::newRow("dots") << "2026.03.05"
                              << "2026-03-05";
        QTest::newRow("chinese") << "2026年3月5日"
                                 << "2026-03-05";
        QTest::newRow("time of day") << "2026-03-05 08:30:00"
                                     << "2026-03-05";
        QTest::newRow("blanks around") << " 2026-03-05 "
                                       << "2026-03-05";
        QTest::newRow("leap day") << "2028-02-29"
                                  << "2028-02-29";
        QTest::newRow("no such month") << "2026-13-40" << today;
        QTest::newRow("no leap day") << "2026-02-29" << today;
        QTest::newRow("mixed separators") << "2026-3/5" << today;
        QTest::newRow("empty") << "" << today;
        QTest::newRow("words") << "下周" << today;
        QTest::newRow("day count") << "46082" << today;
    }
    void dateColumnsBecomeDates() {
        QFETCH(QString, text);
        QFETCH(QString, audited);
        QCOMPARE(AuditedDateText(text), audited);
    }

    // The workbook's fifth customer has no plate: the audit ends there, successfully, having
    // rewritten the dates of the four rows above and nothing below.
    void auditEndsAtTheFirstRowWithoutPlateOrName_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("plate") << int(kPlateColumn);
        QTest::newRow("owner's name") << int(kOwnerColumn);
    }
    void auditEndsAtTheFirstRowWithoutPlateOrName() {
        QFETCH(int, column);
        const QDateTime pinned = Now();
        SetClock(QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        SheetRows rows = Customers();
        rows[4][kPlateColumn] = QStringLiteral("京A10005");
        rows[4][column] = QStringLiteral("  ");
        rows[5][kReminderDateColumn] = QStringLiteral("2026/4/1");
        const SheetRows before = rows;

        const AuditResult result = AuditSheet(rows);
        QCOMPARE(result.outcome, AuditResult::Outcome::Passed);
        QCOMPARE(result.row, 5);
        QCOMPARE(rows[2][kReminderDateColumn], QStringLiteral("2026-12-06"));
        QCOMPARE(rows[2][kEntryDateColumn], QStringLiteral("2026-12-06"));
        QCOMPARE(rows[3][kReminderDateColumn], QStringLiteral("2026-12-06"));
        QCOMPARE(rows[3][kEntryDateColumn], QStringLiteral("2024-02-29"));
        QCOMPARE(rows[1], before[1]);
        for (size_t r = 4; r < rows.size(); ++r) {
            QCOMPARE(rows[r], before[r]);
        }
        SetClock(pinned);
    }

    void sexMustBeOneOfTwo_data() {
        QTest::addColumn<QString>("sex");
        QTest::addColumn<bool>("passes");
        QTest::newRow("先生") << "先生" << true;
        QTest::newRow("女士") << "女士" << true;
        QTest::newRow("先生 between spaces") << " 先生 " << true;
        QTest::newRow("full-width space") << "女士　" << true;
        QTest::newRow("男") << "男" << true;
        QTest::newRow("女") << "女" << true;
        QTest::newRow("男士") << "男士" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("twice") << "先生先生" << false;
    }
    void sexMustBeOneOfTwo() {
        QFETCH(QString, sex);
        QFETCH(bool, passes);
        SheetRows rows = {Row("2026/1/2", "京A1", "甲", "女士", "2026/1/3"),
                          Row("2026/2/3", "京A2", "乙", sex, "2026/2/4"),
                          Row("2026/3/4", "京A3", "丙", "先生", "2026/3/5")};
        const AuditResult result = AuditSheet(rows);
        if (passes) {
            QCOMPARE(result.outcome, AuditResult::Outcome::Passed);
            QCOMPARE(result.row, 0);
            QCOMPARE(rows[1][kSexColumn], sex);  // the audit checks the sex, it does not tidy it
            QCOMPARE(rows[2][kEntryDateColumn], QStringLiteral("2026-03-05"));
        } else {
            QCOMPARE(result.outcome, AuditResult::Outcome::Refused);
            QCOMPARE(result.row, 2);
            QCOMPARE(result.message, QStringLiteral("性别错误！"));
            // Rows above stay rewritten; the row at fault got as far as its reminder date.
            QCOMPARE(rows[0][kEntryDateColumn], QStringLiteral("2026-01-03"));
            QCOMPARE(rows[1][kReminderDateColumn], QStringLiteral("2026-02-03"));
            QCOMPARE(rows[1][kEntryDateColumn], QStringLiteral("2026/2/4"));
            QCOMPARE(rows[2][kReminderDateColumn], QStringLiteral("2026/3/4"));
        }
    }

    void sexIsStoredAsTheShopSaysIt() {
        QCOMPARE(StoredSex(QStringLiteral("男")), QStringLiteral("先生"));
        QCOMPARE(StoredSex(QStringLiteral(" 女 ")), QStringLiteral("女士"));
        QCOMPARE(StoredSex(QStringLiteral("先生")), QStringLiteral("先生"));
        QCOMPARE(StoredSex(QStringLiteral("女士")), QStringLiteral("女士"));
        QCOMPARE(StoredSex(QStringLiteral("男女")), QString());
    }

    // The audit stops at the first refusal as it always did, and lists every problem of every
    // customer row: several in one row, rows below the refusal and below an empty row, none of
    // a row without a plate or a name. Blank and unreadable reminder dates are counted.
    void everyProblemIsListed() {
        const QString longName(61, QChar(u'名'));
        SheetRows rows = {Row("", "京A1", "甲", "女"), Row("2026/1/2", "京A2", longName, "男士"),
                          Row("下周", "京A3", "丙", "先生"), Row("", "", "", "?"),
                          Row("2026/1/3", "京A5", "戊", "")};
        rows[2][kTelephoneColumn] = QString(61, QChar(u'1'));
        const AuditResult result = AuditSheet(rows);
        QCOMPARE(result.outcome, AuditResult::Outcome::Refused);
        QCOMPARE(result.row, 2);
        QCOMPARE(result.message, QStringLiteral("性别错误！"));
        QCOMPARE(result.todayReminders, 2);
        QCOMPARE(result.problems.count(), 4);
        QCOMPARE(result.problems.lines(),
                 QStringList({"第 2 行，“性别”列的“男士”：性别错误！（可填：先生、女士、男、女）",
                              "第 2 行，“车主姓名”列的“" + longName.left(20) +
                                  "…”：“车主姓名”超过 60 个字的上限（这里有 61 个字）。（可填："
                                  "不超过 60 个字）",
                              "第 3 行，“联系电话”列的“" + QString(20, QChar(u'1')) +
                                  "…”：“联系电话”超过 60 个字的上限（这里有 61 个字）。（可填："
                                  "不超过 60 个字）",
                              "第 5 行，“性别”列的“”：性别错误！（可填：先生、女士、男、女）"}));
        // The rows below the refusal are looked at, not rewritten.
        QCOMPARE(rows[2][kReminderDateColumn], QStringLiteral("下周"));
        QCOMPARE(TodayRemindersText(result.todayReminders),
                 QStringLiteral("其中 2 "
                                "位客户的提醒日期是今天（提醒日期为空或不是日期的按今天），导入后列"
                                "入今天的提醒名单。"));
        QCOMPARE(TodayRemindersText(0), QString());
    }

    // A sheet of many faulty rows keeps the first hundred problems and counts the rest; a
    // command line shows the file's own line numbers.
    void longProblemListIsCut() {
        SheetRows rows(250, Row("2026/1/2", "京A1", "甲", "?"));
        const AuditResult result = AuditSheet(rows);
        QCOMPARE(result.problems.count(), 250);
        QCOMPARE(result.problems.shown().size(), size_t(SheetProblems::kShown));
        const QStringList lines = result.problems.lines(1, QStringLiteral("文件第 %1 行"));
        QCOMPARE(lines.size(), SheetProblems::kShown + 1);
        QVERIFY2(lines.first().startsWith(QStringLiteral("文件第 2 行，")),
                 qPrintable(lines.first()));
        QCOMPARE(lines.last(), QStringLiteral("……另有 150 个问题未列出。"));
    }

    void headingRowAlonePasses() {
        SheetRows rows;
        const AuditResult result = AuditSheet(rows);
        QCOMPARE(result.outcome, AuditResult::Outcome::Passed);
        QCOMPARE(result.row, 0);
    }

    void progressCountsAndCancels() {
        SheetRows rows(1000, Row("2026/1/2", "京A1", "甲", "女士"));
        QList<qsizetype> seen;
        const AuditResult result = AuditSheet(rows, [&seen](qsizetype done, qsizetype total) {
            seen << done;
            return total == 1000 && done < 512;
        });
        QCOMPARE(result.outcome, AuditResult::Outcome::Cancelled);
        QCOMPARE(seen, (QList<qsizetype>{0, 256, 512}));
        QCOMPARE(rows[511][kReminderDateColumn], QStringLiteral("2026-01-02"));
        QCOMPARE(rows[512][kReminderDateColumn], QStringLiteral("2026/1/2"));
    }
};

QTEST_GUILESS_MAIN(TestAudit)
#include "test_audit.moc"
