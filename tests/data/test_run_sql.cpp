#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

void AddCustomer(const QString& key, const QString& plate, const QString& name,
                 const QString& reminder = QStringLiteral("2026-12-06")) {
    Customer customer = TestDatabase::sampleCustomer(key, plate, name);
    customer.reminderDate = QDate::fromString(reminder, Qt::ISODate);
    TestDatabase::addCustomer(customer);
}

int CustomerCount() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

QStringList Plates(Recordset rs) {
    QStringList plates;
    for (; !rs.Eof(); rs.MoveNext()) {
        plates << rs.Text(QStringLiteral("kh_cph"));
    }
    return plates;
}

}  // namespace

class TestRunSql : public RuleTest {
    Q_OBJECT

private Q_SLOTS:
    void routesByFirstWord_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("opensRows");
        QTest::newRow("select") << "select * from kh_table" << true;
        QTest::newRow("SELECT") << "SELECT * FROM kh_table" << true;
        QTest::newRow("SeLeCt") << "SeLeCt * from kh_table" << true;
        QTest::newRow("spaces around") << "   select * from kh_table  " << true;
        QTest::newRow("tab after word") << "select\t* from kh_table" << true;
        QTest::newRow("delete") << "delete from kh_table where kh_code='{X}'" << false;
        QTest::newRow("DELETE") << "DELETE from kh_table where kh_code='{X}'" << false;
        QTest::newRow("leading space delete")
            << "  Delete from kh_table where kh_code='{X}'" << false;
    }
    void routesByFirstWord() {
        QFETCH(QString, statement);
        QFETCH(bool, opensRows);
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QStringLiteral("张三"));
        Recordset rs = RunSql(statement);
        QVERIFY2(!rs.isNull(), qPrintable(rs.error()));
        if (opensRows) {
            QVERIFY(!rs.Eof());
            QCOMPARE(rs.Text(QStringLiteral("kh_cph")), QStringLiteral("京A1"));
        } else {
            QVERIFY(rs.Eof());
            QCOMPARE(rs.rowsAffected(), 0);
        }
        QCOMPARE(CustomerCount(), 1);
    }

    void commandsChangeRows() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QStringLiteral("张三"));
        AddCustomer(QStringLiteral("{B}"), QStringLiteral("京A2"), QStringLiteral("李四"));
        Recordset deleted =
            RunSql(QStringLiteral("delete from kh_table where kh_code=?"), {QStringLiteral("{A}")});
        QVERIFY(!deleted.isNull());
        QCOMPARE(deleted.rowsAffected(), 1);
        QVERIFY(!RunSql(QStringLiteral("update kh_table set kh_czname=? where kh_code=?"),
                        {QStringLiteral("王五"), QStringLiteral("{B}")})
                     .isNull());
        QVERIFY(!RunSql(QStringLiteral("insert into tele_nr (tele_nr_txt) values (?)"),
                        {QStringLiteral("保养")})
                     .isNull());
        QCOMPARE(Plates(RunSql(QStringLiteral("select * from kh_table"))),
                 QStringList{QStringLiteral("京A2")});
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_czname from kh_table")).toString(),
                 QStringLiteral("王五"));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from tele_nr")).toInt(), 1);
    }

    void noMatchIsAtEofAtOnce() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QStringLiteral("张三"));
        Recordset rs = RunSql(QStringLiteral("select * from kh_table where kh_cph=?"),
                              {QStringLiteral("京A9")});
        QVERIFY(!rs.isNull());
        QVERIFY(rs.Eof());
        rs.MoveNext();
        rs.MoveLast();
        QVERIFY(rs.Eof());
        QVERIFY(!rs.Field(QStringLiteral("kh_cph")).isValid());
    }

    // Values reach the engine bound, never spliced: every character is kept and matched as typed.
    void awkwardValuesRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("single quote") << "O'Brien";
        QTest::newRow("quote injection") << "x' or '1'='1";
        QTest::newRow("double quote") << "say \"hi\"";
        QTest::newRow("percent") << "50%";
        QTest::newRow("underscore") << "a_b";
        QTest::newRow("backslash") << "C:\\temp\\";
        QTest::newRow("chinese") << "京A·粤B 张三丰";
        QTest::newRow("trailing space") << "京A123 ";
        QTest::newRow("semicolon") << "a'; delete from kh_table; --";
    }
    void awkwardValuesRoundTrip() {
        QFETCH(QString, value);
        AddCustomer(QStringLiteral("{OTHER}"), QStringLiteral("京A1"), QStringLiteral("other"));

        Recordset rs = RunSql(QStringLiteral("select * from kh_table"));
        rs.AddNew();
        rs.SetField(QStringLiteral("kh_code"), NewRecordKey());
        rs.SetField(QStringLiteral("kh_cph"), value);
        rs.SetField(QStringLiteral("kh_czname"), value);
        QVERIFY2(rs.Update(), qPrintable(rs.error()));
        rs.Close();

        Recordset exact = RunSql(QStringLiteral("select * from kh_table where kh_cph=?"), {value});
        QCOMPARE(QString::fromUtf8(exact.Utf8(exact.FieldIndex(QStringLiteral("kh_czname")))),
                 value);
        QCOMPARE(Plates(exact), QStringList{value});
        Recordset like =
            RunSql(QStringLiteral("select * from kh_table where kh_czname like ? escape '\\'"),
                   {ContainsPattern(value)});
        QCOMPARE(Plates(like), QStringList{value});
        QCOMPARE(CustomerCount(), 2);
    }

    void likeFindsTextAnywhere() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A13579"), QStringLiteral("张三"));
        AddCustomer(QStringLiteral("{B}"), QStringLiteral("京B24680"), QStringLiteral("李四"));
        AddCustomer(QStringLiteral("{C}"), QStringLiteral("京C00000"), QStringLiteral("张小三"));
        const QString statement = QStringLiteral(
            "select * from kh_table where kh_cph like ? escape '\\' or kh_czname like ? escape "
            "'\\'");
        QCOMPARE(Plates(RunSql(statement, {ContainsPattern(QStringLiteral("35")),
                                           ContainsPattern(QStringLiteral("35"))})),
                 QStringList{QStringLiteral("京A13579")});
        QCOMPARE(Plates(RunSql(statement, {ContainsPattern(QStringLiteral("三")),
                                           ContainsPattern(QStringLiteral("三"))})),
                 (QStringList{QStringLiteral("京A13579"), QStringLiteral("京C00000")}));
        QCOMPARE(Plates(RunSql(statement, {ContainsPattern(QStringLiteral("%")),
                                           ContainsPattern(QStringLiteral("%"))})),
                 QStringList{});
    }

    void dateRangeWithStrIsInclusive() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("before"), QString(),
                    QStringLiteral("2026-11-30"));
        AddCustomer(QStringLiteral("{B}"), QStringLiteral("from"), QString(),
                    QStringLiteral("2026-12-01"));
        AddCustomer(QStringLiteral("{C}"), QStringLiteral("inside"), QString(),
                    QStringLiteral("2026-12-05"));
        AddCustomer(QStringLiteral("{D}"), QStringLiteral("to"), QString(),
                    QStringLiteral("2026-12-10"));
        AddCustomer(QStringLiteral("{E}"), QStringLiteral("after"), QString(),
                    QStringLiteral("2026-12-11"));
        const QString statement = QStringLiteral(
            "select * from kh_table where str(kh_txdate) >= ? and str(kh_txdate) <= ?");
        QCOMPARE(
            Plates(RunSql(statement, {QDate(2026, 12, 1), QDate(2026, 12, 10)})),
            (QStringList{QStringLiteral("from"), QStringLiteral("inside"), QStringLiteral("to")}));
        QCOMPARE(Plates(RunSql(statement, {QDate(2026, 12, 10), QDate(2026, 12, 1)})),
                 QStringList{});
    }

    void failuresReturnNullAndKeepTheReason_data() {
        QTest::addColumn<QString>("statement");
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << "   ";
        QTest::newRow("syntax") << "select * form kh_table";
        QTest::newRow("no table") << "select * from no_such_table";
        QTest::newRow("bad delete") << "delete from no_such_table where x='1'";
    }
    void failuresReturnNullAndKeepTheReason() {
        QFETCH(QString, statement);
        const Recordset rs = RunSql(statement);
        QVERIFY(rs.isNull());
        QVERIFY(rs.Eof());
        QVERIFY(!rs.error().isEmpty());
        // The reason stays with the failed recordset, whatever runs next.
        const QString reason = rs.error();
        const Recordset next = RunSql(QStringLiteral("select * from kh_table"));
        QVERIFY(!next.isNull());
        QVERIFY(next.error().isEmpty());
        QCOMPARE(rs.error(), reason);
    }

    // Rows are written back by row id: an ordered walk still changes the row it is on.
    void updateChangesTheCurrentRowWhateverTheOrder() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QStringLiteral("甲"));
        AddCustomer(QStringLiteral("{B}"), QStringLiteral("京A2"), QStringLiteral("乙"));
        AddCustomer(QStringLiteral("{C}"), QStringLiteral("京A3"), QStringLiteral("丙"));
        Recordset rs = RunSql(QStringLiteral("select * from kh_table order by kh_cph desc"));
        rs.MoveNext();
        QCOMPARE(rs.Text(QStringLiteral("kh_cph")), QStringLiteral("京A2"));
        rs.SetField(QStringLiteral("KH_CZNAME"), QStringLiteral("新名字"));
        QCOMPARE(rs.Text(QStringLiteral("kh_czname")), QStringLiteral("新名字"));
        QVERIFY(rs.Update());
        // Reads by position see the written value too.
        QCOMPARE(rs.Text(rs.FieldIndex(QStringLiteral("kh_czname"))), QStringLiteral("新名字"));
        QCOMPARE(QString::fromUtf8(rs.Utf8(rs.FieldIndex(QStringLiteral("kh_czname")))),
                 QStringLiteral("新名字"));
        QCOMPARE(rs.FieldIndex(QStringLiteral("no_such_column")), -1);
        QCOMPARE(rs.Text(-1), QString());
        rs.Close();
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select kh_czname from kh_table where kh_code=?"),
                                 {QStringLiteral("{B}")})
                .toString(),
            QStringLiteral("新名字"));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(*) from kh_table where kh_czname='新名字'"))
                     .toInt(),
                 1);
    }

    void updateReportsFailure() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QStringLiteral("甲"));

        // The row went away under the recordset.
        Recordset gone = RunSql(QStringLiteral("select * from kh_table where kh_code=?"),
                                {QStringLiteral("{A}")});
        QVERIFY(
            !RunSql(QStringLiteral("delete from kh_table where kh_code=?"), {QStringLiteral("{A}")})
                 .isNull());
        gone.SetField(QStringLiteral("kh_czname"), QStringLiteral("乙"));
        QVERIFY(!gone.Update());
        QVERIFY(!gone.error().isEmpty());

        // Rows that are not whole rows of one table cannot be written back.
        AddCustomer(QStringLiteral("{B}"), QStringLiteral("京A2"), QStringLiteral("乙"));
        Recordset counted =
            RunSql(QStringLiteral("select kh_cph, count(*) as n from kh_table group by kh_cph"));
        QVERIFY(!counted.isNull());
        counted.SetField(QStringLiteral("kh_cph"), QStringLiteral("x"));
        QVERIFY(!counted.Update());

        // An unknown column writes nothing at all.
        Recordset rs = RunSql(QStringLiteral("select * from kh_table"));
        rs.SetField(QStringLiteral("kh_czname"), QStringLiteral("丙"));
        rs.SetField(QStringLiteral("no_such_column"), QStringLiteral("x"));
        QVERIFY(!rs.Update());
        rs.Close();
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_czname from kh_table")).toString(),
                 QStringLiteral("乙"));

        // A closed recordset cannot write.
        QVERIFY(!rs.Update());
    }

    void addNewStoresAWholeRow() {
        Recordset rs = RunSql(QStringLiteral("select * from kh_wx_table"));
        QVERIFY(rs.Eof());
        rs.AddNew();
        rs.SetField(QStringLiteral("kh_wx_code"), NewRecordKey());
        rs.SetField(QStringLiteral("kh_wx_hj"), QStringLiteral("12.50"));
        rs.SetField(QStringLiteral("kh_wx_date"), QDate(2026, 1, 2));
        QVERIFY(rs.Update());
        QVERIFY(!rs.Eof());
        QCOMPARE(rs.Field(QStringLiteral("kh_wx_hj")).toDouble(), 12.5);
        QCOMPARE(rs.Text(QStringLiteral("kh_wx_date")), QStringLiteral("2026-01-02"));
        QCOMPARE(rs.Text(QStringLiteral("kh_wx_cph")), QString());
        rs.Close();
        // Amounts are numbers the engine can add; nothing unassigned is null.
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select sum(kh_wx_hj) + 1 from kh_wx_table"))
                     .toDouble(),
                 13.5);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_table where "
                                                     "kh_wx_cph is null or kh_wx_wxjs is null"))
                     .toInt(),
                 0);
    }

    void moveLastReachesTheLastRow() {
        for (int i = 1; i <= 5; ++i) {
            AddCustomer(QStringLiteral("{%1}").arg(i), QStringLiteral("京A%1").arg(i), QString());
        }
        Recordset rs = RunSql(QStringLiteral("select * from kh_table order by kh_cph"));
        rs.MoveLast();
        QVERIFY(!rs.Eof());
        QCOMPARE(rs.Text(QStringLiteral("kh_cph")), QStringLiteral("京A5"));
        rs.SetField(QStringLiteral("kh_czname"), QStringLiteral("最后"));
        QVERIFY(rs.Update());
        rs.MoveNext();
        QVERIFY(rs.Eof());
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select kh_cph from kh_table where kh_czname='最后'"))
                     .toString(),
                 QStringLiteral("京A5"));
    }

    void twoRecordsetsAtOnce() {
        AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QStringLiteral("甲"));
        AddCustomer(QStringLiteral("{B}"), QStringLiteral("京A2"), QStringLiteral("乙"));
        QStringList seen;
        for (Recordset outer = RunSql(QStringLiteral("select * from kh_table")); !outer.Eof();
             outer.MoveNext()) {
            Recordset inner = RunSql(QStringLiteral("select * from kh_table where kh_code=?"),
                                     {outer.Text(QStringLiteral("kh_code"))});
            inner.SetField(QStringLiteral("kh_sfdgdh"), QStringLiteral("1"));
            QVERIFY(inner.Update());
            seen << inner.Text(QStringLiteral("kh_czname"));
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
        QCOMPARE(TestDatabase::scalar(
                     QStringLiteral("select count(*) from kh_table where kh_sfdgdh='1'"))
                     .toInt(),
                 2);
    }

    // Numbers come out alike on both engines: integers and doubles as numbers, a double's text
    // as the shortest that reads back the same, a comparison as 1 or 0.
    void numbersReadAlikeOnEveryEngine_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 100.0 << "100";
        QTest::newRow("cents") << 12.5 << "12.5";
        QTest::newRow("sum of tenths") << 0.1 + 0.2 << "0.30000000000000004";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("large") << 1e20 << "1e+20";
        QTest::newRow("small") << 1e-5 << "1e-05";
        QTest::newRow("seventeen digits") << 123456789012345678.0 << "123456789012345680";
    }
    void numbersReadAlikeOnEveryEngine() {
        QFETCH(double, value);
        QFETCH(QString, text);
        Recordset row = RunSql(QStringLiteral("select cast(? as real) as amount, count(*) as n, "
                                              "1 = 1 as yes from kh_table"),
                               {value});
        QVERIFY2(!row.isNull(), qPrintable(row.error()));
        QCOMPARE(row.Text(QStringLiteral("amount")), text);
        QCOMPARE(row.Field(QStringLiteral("amount")).typeId(), int(QMetaType::Double));
        QCOMPARE(row.Field(QStringLiteral("amount")).toDouble(), value);
        QCOMPARE(row.Field(QStringLiteral("n")).typeId(), int(QMetaType::LongLong));
        QCOMPARE(row.Text(QStringLiteral("yes")), QStringLiteral("1"));
    }

    void recordKeysAreFreshRegistryGuids() {
        static const QRegularExpression shape(
            QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
        QSet<QString> keys;
        for (int i = 0; i < 1000; ++i) {
            const QString key = NewRecordKey();
            QCOMPARE(key.size(), 38);
            QVERIFY2(shape.match(key).hasMatch(), qPrintable(key));
            keys.insert(key);
        }
        QCOMPARE(keys.size(), 1000);
    }

    void transactionKeepsAllOrNothing() {
        {
            Transaction t;
            QVERIFY(t.isActive());
            AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QString());
            AddCustomer(QStringLiteral("{B}"), QStringLiteral("京A2"), QString());
        }
        QCOMPARE(CustomerCount(), 0);
        {
            Transaction t;
            AddCustomer(QStringLiteral("{A}"), QStringLiteral("京A1"), QString());
            {
                Transaction inner;
                AddCustomer(QStringLiteral("{B}"), QStringLiteral("京A2"), QString());
            }
            {
                Transaction inner;
                AddCustomer(QStringLiteral("{C}"), QStringLiteral("京A3"), QString());
                QVERIFY(inner.commit());
            }
            QVERIFY(t.commit());
        }
        QCOMPARE(Plates(RunSql(QStringLiteral("select * from kh_table order by kh_cph"))),
                 (QStringList{QStringLiteral("京A1"), QStringLiteral("京A3")}));
        // A failing statement inside does not commit the others by itself.
        {
            Transaction t;
            AddCustomer(QStringLiteral("{D}"), QStringLiteral("京A4"), QString());
            QVERIFY(RunSql(QStringLiteral("insert into kh_table (kh_code) values (?)"),
                           {QStringLiteral("{A}")})
                        .isNull());
        }
        QCOMPARE(CustomerCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestRunSql)
#include "test_run_sql.moc"
