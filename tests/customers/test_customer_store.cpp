#include <QTest>

#include "customers/customer_store.h"
#include "customers/plate_text.h"
#include "support/database_fixture.h"
#include "support/other_station.h"
#include "support/rule_test.h"

namespace {

QString StoredRow(const QString& key) {
    return TestDatabase::scalar(
               QStringLiteral("select kh_code||'|'||kh_cph||'|'||kh_czname||'|'||kh_xb||'|'||"
                              "kh_tele||'|'||kh_djdate||'|'||kh_txdate||'|'||kh_sfzh||'|'||"
                              "kh_cx||'|'||kh_sfdgdh from kh_table where kh_code=?"),
               {key})
        .toString();
}

int Count() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

}  // namespace

class TestCustomerStore : public RuleTest {
    Q_OBJECT

private Q_SLOTS:

    // What is added comes back field for field, by key and by plate, and texts that look like
    // SQL or patterns are stored as typed.
    void addedCustomerReadsBackUnchanged() {
        Customer c = TestDatabase::sampleCustomer(QString(), QStringLiteral("京A'1%_\\"),
                                                  QStringLiteral("O'Neil \"老王\""));
        c.sex = QStringLiteral("女士");
        c.reminderDate = QDate(2027, 2, 28);
        c.calledFlag = QStringLiteral("1");  // ignored: a new customer has not been called
        const DbResult<CustomerAdd> added = AddCustomer(c);
        QVERIFY2(added.ok(), qPrintable(added.error()));
        QCOMPARE(*added, CustomerAdd::Added);

        const auto byPlate = FindCustomerByPlate(c.plate);
        QVERIFY(byPlate && *byPlate);
        const Customer stored = **byPlate;
        QCOMPARE(stored.key.size(), 38);
        QCOMPARE(stored.plate, c.plate);
        QCOMPARE(stored.owner, c.owner);
        QCOMPARE(stored.sex, c.sex);
        QCOMPARE(stored.telephone, c.telephone);
        QCOMPARE(stored.entryDate, c.entryDate);
        QCOMPARE(stored.reminderDate, c.reminderDate);
        QCOMPARE(stored.identity, c.identity);
        QCOMPARE(stored.model, c.model);
        QCOMPARE(stored.calledFlag, QStringLiteral("0"));

        const auto byKey = FindCustomerByKey(stored.key);
        QVERIFY(byKey && *byKey);
        QCOMPARE((*byKey)->plate, c.plate);

        const auto missing = FindCustomerByPlate(QStringLiteral("京A'1%"));
        QVERIFY(missing && !*missing);
    }

    void aStoredPlateIsNotAddedTwice_data() {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("added");
        QTest::newRow("same plate") << QStringLiteral("京A12345") << false;
        QTest::newRow("trailing blank") << QStringLiteral("京A12345 ") << false;
        QTest::newRow("lower case") << QStringLiteral("京a12345") << false;
        QTest::newRow("full-width") << QStringLiteral("京ａ１２３４５") << false;
        QTest::newRow("another plate") << QStringLiteral("京A123456") << true;
    }
    void aStoredPlateIsNotAddedTwice() {
        QFETCH(QString, second);
        QFETCH(bool, added);
        QCOMPARE(*AddCustomer(TestDatabase::sampleCustomer(
                     QStringLiteral("{1}"), QStringLiteral("京A12345"), QStringLiteral("甲"))),
                 CustomerAdd::Added);
        const auto result = AddCustomer(
            TestDatabase::sampleCustomer(QStringLiteral("{2}"), second, QStringLiteral("乙")));
        QVERIFY(result.ok());
        QCOMPARE(*result, added ? CustomerAdd::Added : CustomerAdd::PlateTaken);
        QCOMPARE(Count(), added ? 2 : 1);
    }

    // Plates are stored the way they are printed, and found however they are typed; a plate
    // stored in lower case before that is found too, and kept as it is.
    void platesAreStoredAsPrinted_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("lower case") << QStringLiteral("苏e88a66") << QStringLiteral("苏E88A66");
        QTest::newRow("full-width") << QStringLiteral("苏ｅ88ａ６６") << QStringLiteral("苏E88A66");
        QTest::newRow("blanks around")
            << QStringLiteral(" 苏E88A66\t") << QStringLiteral("苏E88A66");
        QTest::newRow("as printed") << QStringLiteral("苏E88A66") << QStringLiteral("苏E88A66");
        QTest::newRow("other characters kept")
            << QStringLiteral("使12345领") << QStringLiteral("使12345领");
        QTest::newRow("separators left out")
            << QStringLiteral("浙a·D 123-45") << QStringLiteral("浙AD12345");
    }
    void platesAreStoredAsPrinted() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(*AddCustomer(TestDatabase::sampleCustomer(QStringLiteral("{1}"), typed,
                                                           QStringLiteral("甲"))),
                 CustomerAdd::Added);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_cph from kh_table")).toString(),
                 stored);
        const auto found = FindCustomerByPlate(typed.toLower());
        QVERIFY(found && *found);
        QCOMPARE((*found)->key, QStringLiteral("{1}"));
    }

    void aPlateStoredInLowerCaseIsFoundAndKept() {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{OLD}"), QStringLiteral("苏e88a66"), QStringLiteral("甲")));
        const auto found = FindCustomerByPlate(QStringLiteral("苏E88A66"));
        QVERIFY(found && *found);
        QCOMPARE((*found)->plate, QStringLiteral("苏e88a66"));
        QCOMPARE(*AddCustomer(TestDatabase::sampleCustomer(
                     QStringLiteral("{NEW}"), QStringLiteral("苏E88A66"), QStringLiteral("乙"))),
                 CustomerAdd::PlateTaken);
        QCOMPARE(Count(), 1);
    }

    // A plate stored with a separator by an older version is found however it is typed now, is
    // not stored a second time, and keeps its stored spelling.
    void aPlateStoredWithSeparatorsIsFoundAndKept_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("as printed") << QStringLiteral("浙AD12345");
        QTest::newRow("as stored") << QStringLiteral("浙A·D12345");
        QTest::newRow("spaced") << QStringLiteral("浙A D12345");
        QTest::newRow("dashed, lower case") << QStringLiteral("浙a-d12345");
    }
    void aPlateStoredWithSeparatorsIsFoundAndKept() {
        QFETCH(QString, typed);
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{OLD}"), QStringLiteral("浙a·D12345"), QStringLiteral("甲")));
        const auto found = FindCustomerByPlate(typed);
        QVERIFY(found && *found);
        QCOMPARE((*found)->plate, QStringLiteral("浙a·D12345"));
        QCOMPARE(*AddCustomer(TestDatabase::sampleCustomer(QStringLiteral("{NEW}"), typed,
                                                           QStringLiteral("乙"))),
                 CustomerAdd::PlateTaken);
        QCOMPARE(Count(), 1);
    }

    // The lookup of a plate reads the index of normalised plates, not the whole table.
    void aPlateIsFoundThroughItsIndex() {
        const QString query = QStringLiteral("select * from kh_table where ") + PlateMatches();
        const QVariantList plates = {QStringLiteral("浙AD12345"), QStringLiteral("浙AD12345")};
        if (TestDatabase::onServer()) {
            // A table this small is read whole by choice; forbidding that shows what could be used.
            TestDatabase::exec(QStringLiteral("set enable_seqscan = off"));
            const QString plan = TestDatabase::rowsText(QStringLiteral("explain ") + query, plates);
            QVERIFY2(plan.contains(QStringLiteral("kh_table_cph_key")), qPrintable(plan));
            return;
        }
        const QString plan =
            TestDatabase::rowsText(QStringLiteral("explain query plan ") + query, plates);
        QVERIFY2(plan.contains(QStringLiteral("kh_table_cph_key")), qPrintable(plan));
        QVERIFY2(!plan.contains(QStringLiteral("SCAN")), qPrintable(plan));
    }

    // Only the editable fields change; an empty sex keeps the stored one.
    void updateWritesTheEditableFields() {
        Customer c = TestDatabase::sampleCustomer(QStringLiteral("{1}"), QStringLiteral("京A1"),
                                                  QStringLiteral("甲"));
        c.calledFlag = QStringLiteral("1");
        TestDatabase::addCustomer(c);
        Customer edited = c;
        edited.plate = QStringLiteral("京B9");    // never written
        edited.calledFlag = QStringLiteral("0");  // never written
        edited.owner = QStringLiteral("乙");
        edited.sex = QString();
        edited.reminderDate = QDate(2030, 1, 1);
        QCOMPARE(*UpdateCustomer(edited), CustomerUpdate::Updated);
        QCOMPARE(StoredRow(QStringLiteral("{1}")),
                 QStringLiteral("{1}|京A1|乙|先生|13800138000|2023-01-05|2030-01-01|"
                                "110101199001011234|捷达|1"));

        edited.key = QStringLiteral("{gone}");
        QCOMPARE(*UpdateCustomer(edited), CustomerUpdate::Gone);
    }

    // Another station saved the record between this one reading and saving it: a change to a
    // field this save writes would be lost, so nothing is written; a change to what it never
    // writes is no loss.
    void aRecordChangedSinceReadIsNotWrittenOver_data() {
        QTest::addColumn<QString>("otherStation");
        QTest::addColumn<int>("outcome");
        QTest::newRow("nobody else saved") << "" << int(CustomerUpdate::Updated);
        QTest::newRow("owner changed")
            << "update kh_table set kh_czname = '丙'" << int(CustomerUpdate::ChangedElsewhere);
        QTest::newRow("reminder moved by an order")
            << "update kh_table set kh_txdate = '2027-05-01'"
            << int(CustomerUpdate::ChangedElsewhere);
        QTest::newRow("sex chosen")
            << "update kh_table set kh_xb = '女士'" << int(CustomerUpdate::ChangedElsewhere);
        QTest::newRow("saved with the same values")
            << "update kh_table set kh_czname = kh_czname" << int(CustomerUpdate::Updated);
        QTest::newRow("marked as called")
            << "update kh_table set kh_sfdgdh = '1'" << int(CustomerUpdate::Updated);
        QTest::newRow("deleted") << "delete from kh_table" << int(CustomerUpdate::Gone);
    }
    void aRecordChangedSinceReadIsNotWrittenOver() {
        QFETCH(QString, otherStation);
        QFETCH(int, outcome);
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲")));
        const Customer loaded = **FindCustomerByKey(QStringLiteral("{1}"));
        if (!otherStation.isEmpty()) {
            TestDatabase::exec(otherStation);
        }
        const QString before = StoredRow(QStringLiteral("{1}"));
        Customer edited = loaded;
        edited.owner = QStringLiteral("乙");
        edited.model = QStringLiteral("速腾");

        const DbResult<CustomerUpdate> saved = UpdateCustomer(edited, loaded);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(int(*saved), outcome);
        if (outcome == int(CustomerUpdate::Updated)) {
            QVERIFY(StoredRow(QStringLiteral("{1}")).contains(QStringLiteral("|乙|")));
            QVERIFY(StoredRow(QStringLiteral("{1}")).contains(QStringLiteral("|速腾|")));
        } else {
            QCOMPARE(StoredRow(QStringLiteral("{1}")), before);
        }
    }

    // Two stations add the same new plate at once; the other one's write is still open when
    // this one saves. This save waits for it, finds the plate, and one customer is stored.
    void twoStationsAddingOnePlateStoreOne_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("typed alike") << QStringLiteral("京A12345");
        QTest::newRow("typed in lower case") << QStringLiteral("京a12345");
    }
    void twoStationsAddingOnePlateStoreOne() {
        QFETCH(QString, typed);
        SKIP_ON_SERVER("the other station is a second connection to the SQLite file");
        OtherStation other(db_->filePath());
        QVERIFY(other.ok());
        QVERIFY(other.beginWrite());
        QVERIFY(
            other.exec(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_czname) "
                                      "values ('{other}', '京A12345', '甲')")));
        other.commitAfter(150);

        const DbResult<CustomerAdd> added = AddCustomer(
            TestDatabase::sampleCustomer(QStringLiteral("{mine}"), typed, QStringLiteral("乙")));
        QVERIFY(other.committed());
        QVERIFY2(added.ok(), qPrintable(added.error()));
        QCOMPARE(*added, CustomerAdd::PlateTaken);
        QCOMPARE(Count(), 1);
        QCOMPARE(StoredRow(QStringLiteral("{other}")).section(QLatin1Char('|'), 2, 2),
                 QStringLiteral("甲"));
    }

    void removeDeletesOnlyThatCustomer() {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲")));
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{2}"), QStringLiteral("京A2"), QStringLiteral("乙")));
        QVERIFY(RemoveCustomer(QStringLiteral("{1}")).ok());
        QCOMPARE(Count(), 1);
        QVERIFY(StoredRow(QStringLiteral("{1}")).isEmpty());
    }

    // A refused write says why and is not reported as done.
    void failuresCarryTheEnginesReason() {
        TestDatabase::refuse(QStringLiteral("insert on kh_table"), QString(),
                             QStringLiteral("no room"));
        const auto added = AddCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲")));
        QVERIFY(!added.ok());
        QVERIFY2(added.error().contains(QStringLiteral("no room")), qPrintable(added.error()));
        QCOMPARE(Count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCustomerStore)
#include "test_customer_store.moc"
