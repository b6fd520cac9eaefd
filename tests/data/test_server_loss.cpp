#include <QTemporaryDir>
#include <QTest>

#include "data/database.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "support/pg_server.h"

namespace {

const QString kLost = QStringLiteral("数据库连接中断：");

PgServer& Server() {
    static PgServer server;
    return server;
}

Recordset AddPlate(const QString& plate) {
    return RunSql(QStringLiteral("insert into kh_table (kh_code, kh_cph) values (?, ?)"),
                  {QStringLiteral("{%1}").arg(plate), plate});
}

int Plates() {
    return RunSql(QStringLiteral("select count(*) from kh_table")).Text(0).toInt();
}

}  // namespace

// What the shop sees when the server restarts or the network goes: the next action says the
// connection was lost, nothing half-saved remains, and work goes on once the server is back.
class TestServerLoss : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(Server().ok(), qPrintable(Server().message())); }

    void init() {
        const QString name = Server().createDatabase();
        QVERIFY2(!name.isEmpty(), qPrintable(Server().message()));
        const Database::OpenResult opened = Database::OpenServer(Server().uri(name), dir_.path());
        QVERIFY2(opened.ok, qPrintable(opened.message));
    }

    void cleanup() {
        Database::Close();
        if (!Server().running()) {
            QVERIFY2(Server().start(), qPrintable(Server().message()));
        }
    }

    void theNextActionSaysSoAndTheOneAfterReconnects() {
        QVERIFY(!AddPlate(QStringLiteral("京A1")).isNull());
        QVERIFY(Server().stop());
        const Recordset failed = RunSql(QStringLiteral("select kh_cph from kh_table"));
        QVERIFY(failed.isNull());
        QVERIFY2(failed.error().startsWith(kLost), qPrintable(failed.error()));
        // Still down: said again, without waiting for anything.
        QVERIFY(RunSql(QStringLiteral("select 1")).error().startsWith(kLost));
        QVERIFY2(Server().start(), qPrintable(Server().message()));
        const Recordset back = RunSql(QStringLiteral("select kh_cph from kh_table"));
        QVERIFY2(!back.isNull(), qPrintable(back.error()));
        QCOMPARE(back.Text(0), QStringLiteral("京A1"));
    }

    // A save cut off halfway keeps nothing and says it did not commit; repeated once the
    // server is back, it stores everything.
    void aSaveCutOffKeepsNothingAndCanBeRepeated() {
        // Two rows in one transaction; the server stops after the first when asked to.
        auto save = [](bool stopHalfway) {
            Transaction t;
            if (!t.isActive()) {
                return DbStatus::failure(t.error());
            }
            for (const QString& plate : {QStringLiteral("京B1"), QStringLiteral("京B2")}) {
                const Recordset added = AddPlate(plate);
                if (added.isNull()) {
                    return DbStatus::failure(added.error());
                }
                if (stopHalfway && Server().running()) {
                    Server().stop();
                }
            }
            return t.commit();
        };
        const DbStatus cut = save(true);
        QVERIFY(!cut.ok());
        QVERIFY2(cut.error().startsWith(kLost), qPrintable(cut.error()));
        QVERIFY2(Server().start(), qPrintable(Server().message()));
        // The first statement after the loss reconnects; nothing of the cut save is there.
        QCOMPARE(Plates(), 0);
        const DbStatus repeated = save(false);
        QVERIFY2(repeated.ok(), qPrintable(repeated.error()));
        QCOMPARE(Plates(), 2);
    }

    // A long list being read when the server goes away ends with the reason, not a hang.
    void aWalkInProgressEndsWithTheReason() {
        QVERIFY(!RunSql(QStringLiteral("insert into kh_table (kh_code, kh_cph) select 'k' || i, "
                                       "'p' || i from generate_series(1, 50000) i"))
                     .isNull());
        Recordset rows = RunSql(QStringLiteral("select kh_cph from kh_table"));
        QVERIFY(!rows.Eof());
        QVERIFY(Server().stop());
        int read = 0;
        for (; !rows.Eof(); rows.MoveNext()) {
            ++read;
        }
        QVERIFY(read < 50000);
        QVERIFY2(rows.error().startsWith(kLost), qPrintable(rows.error()));
    }
};

QTEST_GUILESS_MAIN(TestServerLoss)
#include "test_server_loss.moc"
