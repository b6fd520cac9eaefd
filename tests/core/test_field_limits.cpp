#include <QTest>

#include "core/field_limits.h"
#include "customers/customer_store.h"
#include "data/database.h"
#include "import/audit.h"
#include "import/customer_import.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

SheetRow Row(const QString& plate) {
    return {QStringLiteral("2026-12-01"),
            plate,
            QStringLiteral("张三"),
            QStringLiteral("先生"),
            QStringLiteral("13800000000"),
            QStringLiteral("2026-01-01"),
            QStringLiteral("110101199001011234"),
            QStringLiteral("大众")};
}

int Customers() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

}  // namespace

// No field takes more than its limit, from a sheet or from a window: the audit names the row,
// the column and the limit; the stores refuse the whole record rather than cut it.
class TestFieldLimits : public RuleTest {
    Q_OBJECT

private Q_SLOTS:
    void theAuditNamesRowColumnAndLimit_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("field");
        QTest::newRow("plate") << int(kPlateColumn) << int(TextField::Plate);
        QTest::newRow("owner") << int(kOwnerColumn) << int(TextField::Owner);
        QTest::newRow("telephone") << int(kTelephoneColumn) << int(TextField::Telephone);
        QTest::newRow("identity") << int(kIdentityColumn) << int(TextField::Identity);
        QTest::newRow("model") << int(kModelColumn) << int(TextField::Model);
    }
    void theAuditNamesRowColumnAndLimit() {
        QFETCH(int, column);
        QFETCH(int, field);
        const auto kind = TextField(field);
        const int limit = FieldLimit(kind);
        SheetRows rows = {Row(QStringLiteral("京A1")), Row(QStringLiteral("京A2")),
                          Row(QStringLiteral("京A3"))};
        // At the limit is fine; one more is refused, on the row that holds it.
        rows[0][size_t(column)] = QString(limit, QLatin1Char('8'));
        rows[2][size_t(column)] = QString(limit + 1, QLatin1Char('8'));
        const AuditResult audit = AuditSheet(rows);
        QCOMPARE(int(audit.outcome), int(AuditResult::Outcome::Refused));
        QCOMPARE(audit.row, qsizetype(3));
        const QString text = AuditRefusalText(audit.row, audit.message);
        QVERIFY2(text.startsWith(QStringLiteral("第 3 行：")), qPrintable(text));
        QVERIFY2(text.contains(SheetHeadings()[column]), qPrintable(text));
        QVERIFY2(text.contains(QString::number(limit)), qPrintable(text));

        // The import refuses it too, before anything is written.
        const ImportResult imported = ImportSheet(rows);
        QCOMPARE(int(imported.outcome), int(ImportResult::Outcome::Refused));
        QCOMPARE(imported.row, qsizetype(3));
        QCOMPARE(Customers(), 0);
    }

    // A million-character name from a doctored sheet never reaches the file.
    void aHugeFieldIsRefusedNotCut() {
        SheetRows rows = {Row(QStringLiteral("京B1"))};
        rows[0][kOwnerColumn] = QString(1000000, QChar(0x5f20));
        const ImportResult imported = ImportSheet(rows);
        QCOMPARE(int(imported.outcome), int(ImportResult::Outcome::Refused));
        QVERIFY2(imported.message.contains(QStringLiteral("1000000")),
                 qPrintable(imported.message.left(200)));
        QCOMPARE(Customers(), 0);
    }

    void theStoreRefusesOnSave() {
        Customer c = TestDatabase::sampleCustomer(QStringLiteral("{C1}"), QStringLiteral("京C1"),
                                                  QStringLiteral("王五"));
        c.key.clear();
        c.model = QString(FieldLimit(TextField::Model) + 1, QLatin1Char('x'));
        const DbResult<CustomerAdd> added = AddCustomer(c);
        QVERIFY(!added.ok());
        QVERIFY2(added.error().contains(QStringLiteral("车型")), qPrintable(added.error()));
        QCOMPARE(Customers(), 0);

        c.model = QStringLiteral("大众");
        QCOMPARE(*AddCustomer(c), CustomerAdd::Added);
        std::optional<Customer> stored = *FindCustomerByPlate(QStringLiteral("京C1"));
        QVERIFY(stored);
        Customer edited = *stored;
        edited.telephone = QString(FieldLimit(TextField::Telephone) + 1, QLatin1Char('1'));
        QVERIFY(!UpdateCustomer(edited, *stored).ok());
        QVERIFY(!UpdateCustomer(edited).ok());
        QCOMPARE((*FindCustomerByPlate(QStringLiteral("京C1")))->telephone, stored->telephone);
    }
};

QTEST_GUILESS_MAIN(TestFieldLimits)
#include "test_field_limits.moc"
