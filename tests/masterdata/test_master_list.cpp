#include <QTest>

#include "data/run_sql.h"
#include "masterdata/master_list.h"
#include "support/database_fixture.h"

namespace {

struct Stored {
    QString name;
    double amount;
};

Stored Item(const QString& key) {
    Recordset row =
        RunSql(QStringLiteral("select xm_name, xm_je from xm_table where xm_code=?"), {key});
    return row.Eof() ? Stored{QStringLiteral("<gone>"), -1}
                     : Stored{row.Text(0), row.Field(QStringLiteral("xm_je")).toDouble()};
}

// Every price-list record as "name:amount", in key order.
QString Items() {
    QStringList all;
    for (Recordset rows = RunSql(QStringLiteral("select xm_name, xm_je from xm_table order by "
                                                "xm_code"));
         !rows.Eof(); rows.MoveNext()) {
        all << rows.Text(0) + QLatin1Char(':') +
                   QString::number(rows.Field(QStringLiteral("xm_je")).toDouble());
    }
    return all.join(QLatin1Char(','));
}

QString Describe(const QList<MasterConflict>& conflicts) {
    QStringList all;
    for (const MasterConflict& c : conflicts) {
        all << QString::number(c.row) + QLatin1Char('=') +
                   (c.stored ? c.stored->name + QLatin1Char(':') + c.stored->amount
                             : QStringLiteral("gone"));
    }
    return all.join(QLatin1Char(','));
}

}  // namespace

class TestMasterList : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db_;

private Q_SLOTS:
    void init() {
        db_ = std::make_unique<TestDatabase>();
        QVERIFY2(db_->ok(), qPrintable(db_->message()));
        TestDatabase::exec(QStringLiteral(
            "insert into xm_table values ('{I1}', '更换机油', 120), ('{I2}', '补胎', 35.5), "
            "('{I3}', '补胎', 0.1)"));
    }
    void cleanup() { db_.reset(); }

    void amountValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::addColumn<double>("value");
        QTest::newRow("empty counts as 0") << "" << true << 0.0;
        QTest::newRow("blanks count as 0") << "   " << true << 0.0;
        QTest::newRow("whole") << "120" << true << 120.0;
        QTest::newRow("decimals, blanks around") << " 35.50 " << true << 35.5;
        QTest::newRow("negative") << "-5" << true << -5.0;
        QTest::newRow("words") << "一百" << false << 0.0;
        QTest::newRow("unit after the number") << "120元" << false << 0.0;
        QTest::newRow("two points") << "1.2.3" << false << 0.0;
        QTest::newRow("thousands separator") << "1,200" << false << 0.0;
        QTest::newRow("not finite") << "inf" << false << 0.0;
    }
    void amountValue() {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QFETCH(double, value);
        const std::optional<double> amount = AmountValue(text);
        QCOMPARE(amount.has_value(), number);
        if (number) {
            QCOMPARE(*amount, value);
        }
    }

    void listsInStoredOrderWithPlainAmounts() {
        Recordset rows = OpenMasterList(RepairItemTable());
        QStringList seen;
        for (; !rows.Eof(); rows.MoveNext()) {
            seen << QStringLiteral("%1|%2|%3").arg(rows.Text(0), rows.Text(1), rows.Text(2));
        }
        QCOMPARE(seen,
                 QStringList({QStringLiteral("{I1}|更换机油|120"), QStringLiteral("{I2}|补胎|35.5"),
                              QStringLiteral("{I3}|补胎|0.1")}));
    }

    // Rows are written by key: two of one name stay apart, a gone key is skipped.
    void savesEachRowToItsOwnKey() {
        const DbResult<MasterSave> saved = SaveMasterRows(
            RepairItemTable(),
            {{QStringLiteral("{I3}"), QStringLiteral("补胎(大)"), QStringLiteral("50")},
             {QStringLiteral("{GONE}"), QStringLiteral("x"), QStringLiteral("1")},
             {QStringLiteral("{I2}"), QStringLiteral("补胎"), QString()}});
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(saved->badAmountRow, 0);
        QCOMPARE(Item(QStringLiteral("{I3}")).name, QStringLiteral("补胎(大)"));
        QCOMPARE(Item(QStringLiteral("{I3}")).amount, 50.0);
        QCOMPARE(Item(QStringLiteral("{I2}")).amount, 0.0);
        QCOMPARE(Item(QStringLiteral("{I1}")).amount, 120.0);
        QCOMPARE(TestDatabase::scalar("select count(*) from xm_table").toInt(), 3);
    }

    void anAmountThatIsNoNumberWritesNothing() {
        const DbResult<MasterSave> saved = SaveMasterRows(
            RepairItemTable(),
            {{QStringLiteral("{I1}"), QStringLiteral("换油"), QStringLiteral("99")},
             {QStringLiteral("{I2}"), QStringLiteral("补胎"), QStringLiteral("30")},
             {QStringLiteral("{I3}"), QStringLiteral("补胎"), QStringLiteral("三十")}});
        QVERIFY(saved.ok());
        QCOMPARE(saved->badAmountRow, 3);
        QCOMPARE(Item(QStringLiteral("{I1}")).name, QStringLiteral("更换机油"));
        QCOMPARE(Item(QStringLiteral("{I1}")).amount, 120.0);
    }

    // Another station saved the price list between this window reading and saving it. A row
    // changed here whose record changed or went meanwhile refuses the whole save; a row left
    // alone here is not written, so the other station's change stays.
    void changesElsewhereAreNotWrittenOver_data() {
        QTest::addColumn<QString>("otherStation");
        QTest::addColumn<QString>("firstAmount");  // typed here into row 1; "120" is as read
        QTest::addColumn<QString>("secondName");   // typed here into row 2; "补胎" is as read
        QTest::addColumn<QString>("conflicts");
        QTest::addColumn<QString>("items");
        QTest::newRow("nobody else saved") << ""
                                           << "130"
                                           << "补胎(小)"
                                           << ""
                                           << "更换机油:130,补胎(小):35.5,补胎:0.1";
        QTest::newRow("a row changed on both")
            << "update xm_table set xm_je = 125 where xm_code = '{I1}'"
            << "130"
            << "补胎(小)"
            << "1=更换机油:125"
            << "更换机油:125,补胎:35.5,补胎:0.1";
        QTest::newRow("two rows changed on both") << "update xm_table set xm_name = xm_name || '!'"
                                                  << "130"
                                                  << "补胎(小)"
                                                  << "1=更换机油!:120,2=补胎!:35.5"
                                                  << "更换机油!:120,补胎!:35.5,补胎!:0.1";
        QTest::newRow("a row changed there only")
            << "update xm_table set xm_name = '补胎(大)' where xm_code = '{I2}'"
            << "130"
            << "补胎"
            << ""
            << "更换机油:130,补胎(大):35.5,补胎:0.1";
        QTest::newRow("a row deleted there, changed here")
            << "delete from xm_table where xm_code = '{I1}'"
            << "130"
            << "补胎"
            << "1=gone"
            << "补胎:35.5,补胎:0.1";
        QTest::newRow("a row deleted there, left alone here")
            << "delete from xm_table where xm_code = '{I2}'"
            << "130"
            << "补胎"
            << ""
            << "更换机油:130,补胎:0.1";
        QTest::newRow("the same change on both")
            << "update xm_table set xm_je = 130 where xm_code = '{I1}'"
            << "130.00"
            << "补胎"
            << ""
            << "更换机油:130,补胎:35.5,补胎:0.1";
        QTest::newRow("an amount retyped in another form is no change")
            << "update xm_table set xm_je = 125 where xm_code = '{I1}'"
            << "120.00"
            << "补胎"
            << ""
            << "更换机油:125,补胎:35.5,补胎:0.1";
    }
    void changesElsewhereAreNotWrittenOver() {
        QFETCH(QString, otherStation);
        QFETCH(QString, firstAmount);
        QFETCH(QString, secondName);
        QFETCH(QString, conflicts);
        QFETCH(QString, items);
        QList<MasterRow> rows;
        Recordset read = OpenMasterList(RepairItemTable());
        for (; !read.Eof(); read.MoveNext()) {
            rows.append({read.Text(0), read.Text(1), read.Text(2),
                         MasterValues{read.Text(1), read.Text(2)}});
        }
        read.Close();
        QCOMPARE(rows.size(), 3);
        if (!otherStation.isEmpty()) {
            TestDatabase::exec(otherStation);
        }
        rows[0].amount = firstAmount;
        rows[1].name = secondName;

        const DbResult<MasterSave> saved = SaveMasterRows(RepairItemTable(), rows);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(saved->badAmountRow, 0);
        QCOMPARE(Describe(saved->conflicts), conflicts);
        QCOMPARE(Items(), items);
    }

    // An amount the list shows to 15 digits reads back as a number a digit away from the stored
    // one; that is the same amount, not another station's change.
    void anAmountReadAsShownIsNoConflict() {
        TestDatabase::exec(QStringLiteral("update xm_table set xm_je = 0.1 + 0.2"));
        QList<MasterRow> rows;
        Recordset read = OpenMasterList(RepairItemTable());
        for (; !read.Eof(); read.MoveNext()) {
            rows.append({read.Text(0), read.Text(1) + QStringLiteral("(新)"), read.Text(2),
                         MasterValues{read.Text(1), read.Text(2)}});
        }
        read.Close();
        QCOMPARE(rows.first().amount, QStringLiteral("0.3"));
        const DbResult<MasterSave> saved = SaveMasterRows(RepairItemTable(), rows);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QCOMPARE(Describe(saved->conflicts), QString());
        QCOMPARE(Items(), QStringLiteral("更换机油(新):0.3,补胎(新):0.3,补胎(新):0.3"));
    }

    void techniciansHaveNoAmount() {
        const DbResult<QString> key = AddMasterRow(TechnicianTable());
        QVERIFY(key.ok());
        QCOMPARE(key->size(), 38);
        QCOMPARE(TestDatabase::scalar("select wxjs_name from wxjs_table where wxjs_code=?", {*key}),
                 QVariant(QString()));
        QVERIFY(SaveMasterRows(TechnicianTable(),
                               {{*key, QStringLiteral("李师傅"), QStringLiteral("x")}})
                    .ok());
        QCOMPARE(TestDatabase::scalar("select wxjs_name from wxjs_table where wxjs_code=?", {*key})
                     .toString(),
                 QStringLiteral("李师傅"));
        QVERIFY(DeleteMasterRow(TechnicianTable(), *key).ok());
        QCOMPARE(TestDatabase::scalar("select count(*) from wxjs_table").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMasterList)
#include "test_master_list.moc"
