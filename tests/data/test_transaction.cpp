#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>

#include "data/database.h"
#include "data/engine_error.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

namespace {

Recordset AddPlate(const QString& plate, const QByteArray& padding = {}) {
    return RunSql(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_czname, kh_sfzh) "
                                 "values (?, ?, '甲', ?)"),
                  {QStringLiteral("{%1}").arg(plate), plate, QString::fromLatin1(padding)});
}

int CustomerCount() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

// Another program's connection to the same file, holding the write lock while it lives.
class OtherWriter {
public:
    explicit OtherWriter(const QString& path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        locked_ = sqlite3_exec(db_,
                               "begin immediate; insert into tele_nr (tele_nr_txt) values "
                               "('other');",
                               nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OtherWriter() { sqlite3_close_v2(db_); }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;

    bool locked() const { return locked_; }
    void commit() { sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr); }

private:
    sqlite3* db_ = nullptr;
    bool locked_ = false;
};

}  // namespace

class TestTransaction : public RuleTest {
    Q_OBJECT

private Q_SLOTS:
    // Whatever made a statement fail, a refused row or a full disk, nothing of the transaction
    // is kept and nothing more is written in its name, not even outside it.
    void failedStatementEndsTheWholeTransaction_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reason");
        QTest::newRow("refused row")
            << QStringLiteral("trigger") << QStringLiteral("数据库拒绝保存这些数据（refused）");
        QTest::newRow("full disk")
            << QStringLiteral("full") << QStringLiteral("磁盘空间不足（database or disk is full）");
    }
    void failedStatementEndsTheWholeTransaction() {
        QFETCH(QString, cause);
        QFETCH(QString, reason);
        QByteArray padding;
        if (cause == QLatin1String("trigger")) {
            TestDatabase::refuse(QStringLiteral("insert on kh_table"),
                                 QStringLiteral("new.kh_cph = '京B2'"), QStringLiteral("refused"));
        } else {
            SKIP_ON_SERVER("a full disk is simulated with a SQLite page limit");
            const int pages = TestDatabase::scalar(QStringLiteral("pragma page_count")).toInt();
            TestDatabase::exec(QStringLiteral("pragma max_page_count = %1").arg(pages + 8));
            padding = QByteArray(64 * 1024, 'x');
        }
        {
            Transaction t;
            QVERIFY(t.isActive());
            QVERIFY(!AddPlate(QStringLiteral("京B1")).isNull());
            const Recordset failed = AddPlate(QStringLiteral("京B2"), padding);
            QVERIFY(failed.isNull());
            QCOMPARE(failed.error(), reason);

            const Recordset later = AddPlate(QStringLiteral("京B3"));
            QVERIFY(later.isNull());
            QCOMPARE(later.error(), reason);
            Transaction inner;
            QVERIFY(!inner.isActive());
            const DbStatus committed = t.commit();
            QVERIFY(!committed);
            QCOMPARE(committed.error(), reason);
        }
        QCOMPARE(CustomerCount(), 0);
        // The next save starts afresh.
        Transaction next;
        QVERIFY(!AddPlate(QStringLiteral("京B4")).isNull());
        QVERIFY(next.commit());
        QCOMPARE(CustomerCount(), 1);
    }

    // A save that meets another program's write waits for it, with the busy cursor, instead
    // of failing at once.
    void saveWaitsForAnotherWriter() {
        SKIP_ON_SERVER("the wait for a SQLite file's writer lock");
        OtherWriter other(db_->filePath());
        QVERIFY(other.locked());
        QList<bool> hook;
        Database::SetBusyWaitHook([&hook](bool waiting) { hook << waiting; });
        QThread* release = QThread::create([&other] {
            QThread::msleep(300);
            other.commit();
        });
        release->start();
        {
            Transaction t;
            QVERIFY2(t.isActive(), qPrintable(t.error()));
            // A save reads before it writes (an order checks its customer first).
            QCOMPARE(RunSql(QStringLiteral("select count(*) from kh_table")).Text(0),
                     QStringLiteral("0"));
            const Recordset added = AddPlate(QStringLiteral("京C1"));
            QVERIFY2(!added.isNull(), qPrintable(added.error()));
            QVERIFY(t.commit());
        }
        release->wait();
        delete release;
        Database::SetBusyWaitHook({});
        QCOMPARE(hook, (QList<bool>{true, false}));
        QCOMPARE(CustomerCount(), 1);
        QCOMPARE(
            TestDatabase::scalar(QStringLiteral("select count(*) from tele_nr where tele_nr_txt "
                                                "= 'other'"))
                .toInt(),
            1);
    }

    // A writer that does not finish within the busy timeout: the save gives up with the busy
    // message and writes nothing, in a transaction or not.
    void saveGivesUpWhenTheDatabaseStaysBusy() {
        SKIP_ON_SERVER("the wait for a SQLite file's writer lock");
        OtherWriter other(db_->filePath());
        QVERIFY(other.locked());
        QElapsedTimer clock;
        clock.start();
        Transaction t;
        QVERIFY(!t.isActive());
        QVERIFY2(t.error().startsWith(BusyText()), qPrintable(t.error()));
        QVERIFY2(clock.elapsed() >= 4000, qPrintable(QString::number(clock.elapsed())));
        const Recordset alone = AddPlate(QStringLiteral("京C2"));
        QVERIFY(alone.isNull());
        QVERIFY2(alone.error().startsWith(BusyText()), qPrintable(alone.error()));
        other.commit();
        QCOMPARE(CustomerCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTransaction)
#include "test_transaction.moc"
