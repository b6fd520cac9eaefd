#include <QFile>
#include <QTest>

#include "app/start_up.h"
#include "data/database.h"
#include "data/run_sql.h"
#include "import/customer_import.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/window_test.h"

namespace {

const QString kDamaged = QStringLiteral("数据库文件已损坏");

SheetRows OneRow() {
    return {{QStringLiteral("2026-12-01"), QStringLiteral("沪Z1"), QStringLiteral("张三"),
             QStringLiteral("先生"), QString(), QString(), QString(), QString()}};
}

}  // namespace

// A damaged page met while the shop works, not only by the day's check: the read says the file
// is damaged, the program offers the recovery it offers at start, and an import writes nothing
// into such a file.
class TestDamageSeenWindow : public WindowTest {
    Q_OBJECT

    // Enough customers for the table to span pages, then garbage over the page every read of
    // the table starts from. The file still opens: only its list is damaged.
    bool damageTheCustomerList() {
        TestDatabase::exec(QStringLiteral(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
            "insert into kh_table (kh_code, kh_cph, kh_czname, kh_cx) select printf('{D%06d}', "
            "i), printf('津D%05d', i), '顾客', hex(randomblob(60)) from n"));
        const int pageSize = TestDatabase::scalar(QStringLiteral("pragma page_size")).toInt();
        const int root =
            TestDatabase::scalar(QStringLiteral("select rootpage from sqlite_master where name = "
                                                "'kh_table'"))
                .toInt();
        Database::Close();
        QFile file(db_->filePath());
        if (pageSize <= 0 || root <= 1 || !file.open(QIODevice::ReadWrite) ||
            !file.seek(qint64(root - 1) * pageSize) ||
            file.write(QByteArray(pageSize, '\x5a')) != pageSize) {
            return false;
        }
        file.close();
        return Database::Open(db_->dir()).ok;
    }

private Q_SLOTS:
    void aListThatMeetsDamageOffersTheRecovery() {
        SKIP_ON_SERVER("pages of a file");
        QVERIFY(damageTheCustomerList());
        QVERIFY(!Database::DamageSeen());
        WatchForDamage(db_->dir());
        MessageScript messages;
        const Recordset list = RunSql(QStringLiteral("select * from kh_table order by kh_cph"));
        QVERIFY(list.isNull());
        QVERIFY2(list.error().startsWith(kDamaged), qPrintable(list.error()));
        QVERIFY(Database::DamageSeen());
        // The offer comes from the event loop; with no checked backup in the folder it says so.
        QTRY_COMPARE(messages.shown().size(), 1);
        const QString said = messages.shown().first().text;
        QVERIFY2(said.startsWith(kDamaged) && said.contains(QStringLiteral("无法从备份恢复")),
                 qPrintable(said));
        // Said once: the next failing read shows only its own error.
        QVERIFY(RunSql(QStringLiteral("select * from kh_table")).isNull());
        QTest::qWait(50);
        QCOMPARE(messages.shown().size(), 1);
        messages.takeProblems();
        Database::SetDamageHook({});
    }

    // The import looks the whole file over first: the damaged page need not be one it reads.
    void anImportWritesNothingIntoADamagedFile() {
        SKIP_ON_SERVER("pages of a file");
        QVERIFY(damageTheCustomerList());
        const ImportResult imported = ImportSheet(OneRow());
        QCOMPARE(int(imported.outcome), int(ImportResult::Outcome::Failed));
        QVERIFY2(imported.message.startsWith(kDamaged), qPrintable(imported.message));
        QVERIFY(Database::DamageSeen());
    }
};

QTEST_MAIN(TestDamageSeenWindow)
#include "test_damage_seen_window.moc"
