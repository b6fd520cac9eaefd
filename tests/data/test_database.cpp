#include <sqlite3.h>

#include <QCryptographicHash>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "data/database.h"
#include "data/password.h"
#include "data/run_sql.h"
#include "support/database_fixture.h"

namespace {

QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString Pragma(const QString& name) {
    QSqlQuery query(Database::Connection());
    query.exec(QStringLiteral("pragma ") + name);
    return query.next() ? query.value(0).toString() : QString();
}

}  // namespace

class TestDatabaseFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Database::Close(); }

    void newFolderGetsTheSeededDatabase() {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/nested/data");
        const Database::OpenResult opened = Database::Open(folder);
        QVERIFY2(opened.ok, qPrintable(opened.message));
        QVERIFY(opened.created);
        QCOMPARE(Database::FilePath(), folder + QStringLiteral("/database.db"));
        const auto mode = QFile::permissions(Database::FilePath());
        QVERIFY(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(!(mode & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther)));
        QVERIFY(!QFile::exists(Database::FilePath() + QStringLiteral(".new")));

        Recordset users = RunSql(QStringLiteral("select * from user_table"));
        QVERIFY(!users.Eof());
        QCOMPARE(users.Text(QStringLiteral("user_name")), QStringLiteral("管理员"));
        const QString stored = users.Text(QStringLiteral("user_pass"));
        QVERIFY2(stored.startsWith(QStringLiteral("$argon2id$")), qPrintable(stored));
        QCOMPARE(CheckPassword(stored, QStringLiteral("888888")), PasswordCheck::Match);
        users.MoveNext();
        QVERIFY(users.Eof());

        QCOMPARE(RunSql(QStringLiteral("select * from cp_table")).Text(QStringLiteral("cp_name")),
                 QStringLiteral("京A"));
        // The shop's row waits for the name the first login asks for: no made-up one.
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from regedit_table")).toInt(),
                 1);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select re_name || re_address || re_tele from "
                                                     "regedit_table"))
                     .toString(),
                 QString());
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select version from meta")).toInt(),
                 Database::kSchemaVersion);
        for (const char* table : {"kh_table", "kh_tele_table", "kh_wx_table", "kh_wx_mx_table",
                                  "xm_table", "wxjs_table", "tele_nr", "tele_hy"}) {
            const Recordset rs = RunSql(QStringLiteral("select * from ") + QLatin1String(table));
            QVERIFY2(!rs.isNull() && rs.Eof(), table);
        }
        QCOMPARE(Pragma(QStringLiteral("journal_mode")), QStringLiteral("wal"));
        QCOMPARE(Pragma(QStringLiteral("synchronous")), QStringLiteral("2"));
    }

    void existingFileIsKept() {
        TestDatabase db;
        QVERIFY(db.ok());
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{K}"), QStringLiteral("京A1"), QStringLiteral("甲")));
        TestDatabase::exec(QStringLiteral("update cp_table set cp_name = '沪B'"));
        Database::Close();
        const Database::OpenResult reopened = Database::Open(db.dir());
        QVERIFY(reopened.ok);
        QVERIFY(!reopened.created);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_cph from kh_table")).toString(),
                 QStringLiteral("京A1"));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from cp_table")).toInt(), 1);
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select cp_name from cp_table")).toString(),
                 QStringLiteral("沪B"));
    }

    // Our statements run on the handle Qt's driver opened, so Open insists that both use one
    // engine; the scratch connection it checks that on must not outlive the check.
    void driverAndDataLayerShareOneEngine() {
        QTemporaryDir dir;
        const QStringList connectionsBefore = QSqlDatabase::connectionNames();
        const Database::OpenResult opened = Database::Open(dir.path());
        QVERIFY2(opened.ok, qPrintable(opened.message));
        QCOMPARE(QSqlDatabase::connectionNames().size(), connectionsBefore.size() + 1);

        QSqlQuery query(Database::Connection());
        QVERIFY(query.exec(QStringLiteral("select sqlite_version()")) && query.next());
        QCOMPARE(query.value(0).toString(), QString::fromLatin1(sqlite3_libversion()));
        // A row written by our layer inside a transaction Qt began is seen by Qt before commit.
        QVERIFY(Database::Connection().transaction());
        QVERIFY(!RunSql(QStringLiteral("insert into cp_table (cp_name) values (?)"),
                        {QStringLiteral("津C")})
                     .isNull());
        QVERIFY(query.exec(QStringLiteral("select count(*) from cp_table where cp_name = '津C'")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QVERIFY(Database::Connection().rollback());
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from cp_table")).toInt(), 1);
    }

    // A file that is damaged or not ours is refused with a message and left exactly as it was.
    void foreignOrDamagedFileIsRefusedUntouched_data() {
        // Only a damaged file may be offered a restore from a backup; another program's file
        // or a newer one is not ours to replace.
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("text file") << "text" << true;
        QTest::newRow("garbage header") << "header" << true;
        QTest::newRow("truncated") << "truncated" << true;
        QTest::newRow("other sqlite file") << "foreign" << false;
        QTest::newRow("missing table") << "missing" << false;
        QTest::newRow("newer version") << "newer" << false;
        QTest::newRow("empty file") << "empty" << true;
    }
    void foreignOrDamagedFileIsRefusedUntouched() {
        QFETCH(QString, kind);
        QFETCH(bool, damaged);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/database.db");
        if (kind == QLatin1String("text") || kind == QLatin1String("empty")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == QLatin1String("text")) {
                file.write("车牌号,车主姓名\n京A12345,张三\n");
            }
        } else if (kind == QLatin1String("foreign")) {
            QSqlDatabase other =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery(other).exec(QStringLiteral("create table notes (body text)"));
            other.close();
            other = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
        } else {
            QVERIFY(Database::Open(dir.path()).ok);
            if (kind == QLatin1String("missing")) {
                TestDatabase::exec(QStringLiteral("drop table tele_hy"));
            } else if (kind == QLatin1String("newer")) {
                TestDatabase::exec(QStringLiteral("update meta set version = version + 1"));
            }
            TestDatabase::exec(QStringLiteral("pragma journal_mode = delete"));
            Database::Close();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (kind == QLatin1String("header")) {
                file.write(QByteArray(100, 'x'));
            } else if (kind == QLatin1String("truncated")) {
                QVERIFY(file.resize(1000));
            }
        }
        // Beside a file without a database header, the log of the last run (which may hold the
        // last of the shop's work) is left alone as well.
        const bool headerless = kind == QLatin1String("text") || kind == QLatin1String("empty") ||
                                kind == QLatin1String("header");
        const QString log = path + QStringLiteral("-wal");
        if (headerless) {
            QFile file(log);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'w'));
        }
        const QByteArray before = Digest(path);
        const QByteArray logBefore = Digest(log);
        const auto permissionsBefore = QFile::permissions(path);

        const Database::OpenResult opened = Database::Open(dir.path());
        QVERIFY(!opened.ok);
        QVERIFY(!opened.message.isEmpty());
        QCOMPARE(opened.damaged, damaged);
        QVERIFY(!Database::IsOpen());
        QVERIFY(RunSql(QStringLiteral("select * from kh_table")).isNull());
        QCOMPARE(Digest(path), before);
        QCOMPARE(QFile::permissions(path), permissionsBefore);
        QCOMPARE(Digest(log), logBefore);
        QCOMPARE(QFile::exists(log), headerless);
    }

    void passwordsAreHashed() {
        const QString hash = HashPassword(QStringLiteral("密码 '1\""));
        QVERIFY(IsPasswordHash(hash));
        QVERIFY(hash != HashPassword(QStringLiteral("密码 '1\"")));  // salted
        QCOMPARE(CheckPassword(hash, QStringLiteral("密码 '1\"")), PasswordCheck::Match);
        QCOMPARE(CheckPassword(hash, QStringLiteral("密码 '1")), PasswordCheck::NoMatch);
        QCOMPARE(CheckPassword(hash, QString()), PasswordCheck::NoMatch);
        // Plain text from an older file counts exactly, and asks to be replaced by a hash.
        QCOMPARE(CheckPassword(QStringLiteral("Abc "), QStringLiteral("Abc ")),
                 PasswordCheck::MatchNeedsRehash);
        QCOMPARE(CheckPassword(QStringLiteral("Abc "), QStringLiteral("abc ")),
                 PasswordCheck::NoMatch);
        QCOMPARE(CheckPassword(QString(), QString()), PasswordCheck::MatchNeedsRehash);
        QCOMPARE(CheckPassword(QString(), QStringLiteral(" ")), PasswordCheck::NoMatch);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseFile)
#include "test_database.moc"
