#include <QTest>

#include "followup/call_record.h"
#include "followup/phrases.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

int Count(const QString& table) {
    return TestDatabase::scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

CallRecord Call(const QString& key) {
    CallRecord call;
    call.customerKey = key;
    call.plate = QStringLiteral("京A1");
    call.owner = QStringLiteral("甲");
    call.content = QStringLiteral("提醒保养");
    call.response = QStringLiteral("好");
    call.nextReminder = QDate(2027, 1, 15);
    call.callDate = QDate(2026, 12, 7);
    call.operatorName = QStringLiteral("小李");
    return call;
}

}  // namespace

class TestCallRecord : public RuleTest {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        RuleTest::init();
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{1}"), QStringLiteral("京A1"), QStringLiteral("甲")));
    }

    void saveStoresTheCallAndMarksTheCustomer() {
        const DbResult<CallSave> saved = SaveCall(Call(QStringLiteral("{1}")));
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(*saved, CallSave::Saved);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_sfdgdh||kh_txdate from kh_table"))
                     .toString(),
                 QStringLiteral("12027-01-15"));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select kh_tele_txdate||'|'||kh_tele_date||'|'||kh_tele_czr "
                                    "from kh_tele_table"))
                     .toString(),
                 QStringLiteral("2027-01-15|2026-12-07|小李"));
    }

    void aDeletedCustomerStillGetsTheCall() {
        const DbResult<CallSave> saved = SaveCall(Call(QStringLiteral("{gone}")));
        QCOMPARE(*saved, CallSave::SavedWithoutCustomer);
        QCOMPARE(Count(QStringLiteral("kh_tele_table")), 1);
    }

    // When marking the customer fails, the call is not kept either.
    void bothWritesOrNeither() {
        TestDatabase::refuse(QStringLiteral("update on kh_table"), QString(),
                             QStringLiteral("locked"));
        const DbResult<CallSave> saved = SaveCall(Call(QStringLiteral("{1}")));
        QVERIFY(!saved.ok());
        QVERIFY2(saved.error().contains(QStringLiteral("locked")), qPrintable(saved.error()));
        QCOMPARE(Count(QStringLiteral("kh_tele_table")), 0);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_sfdgdh from kh_table")).toString(),
                 QStringLiteral("0"));
    }

    void phrasesAreStoredOnce() {
        for (const PhraseList* list : {&ContentPhrases(), &ResponsePhrases()}) {
            QCOMPARE(*StorePhraseOnce(*list, QStringLiteral("好的")), PhraseStore::Stored);
            QCOMPARE(*StorePhraseOnce(*list, QStringLiteral("好的")), PhraseStore::AlreadyStored);
            QCOMPARE(*StorePhraseOnce(*list, QStringLiteral("好的 ")), PhraseStore::Stored);
            QCOMPARE(*LoadPhrases(*list),
                     QStringList({QStringLiteral("好的"), QStringLiteral("好的 ")}));
            QVERIFY(DeletePhrase(*list, QStringLiteral("好的")).ok());
            QCOMPARE(*LoadPhrases(*list), QStringList({QStringLiteral("好的 ")}));
        }
    }
};

QTEST_GUILESS_MAIN(TestCallRecord)
#include "test_call_record.moc"
