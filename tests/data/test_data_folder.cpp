#include <sqlite3.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "data/backup.h"
#include "data/data_folder.h"
#include "data/database.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "platform/network_folder.h"
#include "support/database_fixture.h"
#include "support/read_only_view.h"

namespace {

// This test program started again as another program: with "--open DIR" it opens the data
// folder as the shop's program does (and "--save DIR" saves a row there too), with "--touch FILE"
// it only holds the file open; either way it says "ready" and waits until its input closes.
int RunChild(const char* mode, const char* path) {
    QByteArray problem;
    sqlite3* raw = nullptr;
    if (qstrcmp(mode, "--open") == 0 || qstrcmp(mode, "--save") == 0) {
        const Database::OpenResult opened = Database::Open(QFile::decodeName(path));
        if (!opened.ok) {
            problem = opened.message.toUtf8();
        } else if (qstrcmp(mode, "--save") == 0) {
            const Recordset saved =
                RunSql(QStringLiteral("insert into tele_nr (tele_nr_txt) values ('child')"));
            problem = saved.isNull() ? saved.error().toUtf8() : QByteArray();
        }
    } else if (sqlite3_open_v2(path, &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
               sqlite3_exec(raw, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) !=
                   SQLITE_OK) {
        problem = "cannot open";
    }
    std::printf("%s\n", problem.isEmpty() ? "ready" : problem.constData());
    std::fflush(stdout);
    char buffer[16];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    sqlite3_close_v2(raw);
    Database::Close();
    return 0;
}

class Child {
public:
    // `asUser`, when given, runs the child as that user (the test runs as root).
    Child(const char* mode, const QString& path, const QString& asUser = {}) {
        QStringList args{QString::fromLatin1(mode), path};
        QString program = QCoreApplication::applicationFilePath();
        if (!asUser.isEmpty()) {
            args = QStringList{QStringLiteral("-u"), asUser, QStringLiteral("--"), program} + args;
            program = QStringLiteral("runuser");
        }
        process_.start(program, args);
        process_.waitForReadyRead(30000);
        line_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    const QString& line() const { return line_; }
    qint64 pid() const { return process_.processId(); }
    void stop() {
        process_.closeWriteChannel();
        process_.waitForFinished(30000);
    }
    void kill() {
        process_.kill();
        process_.waitForFinished(30000);
    }

private:
    QProcess process_;
    QString line_;
};

bool RunCommand(const QString& program, const QStringList& args) {
    return QProcess::execute(program, args) == 0;
}

}  // namespace

class TestDataFolder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Database::Close(); }

    // A second program on the same folder is refused while the first runs, and the folder is
    // free again once the first has ended, however it ended.
    void oneProgramPerFolder_data() {
        QTest::addColumn<bool>("killed");
        QTest::newRow("first program quits") << false;
        QTest::newRow("first program is killed") << true;
    }
    void oneProgramPerFolder() {
        QFETCH(bool, killed);
        QTemporaryDir dir;
        {
            TestDatabase seeded;
            QFile::copy(seeded.filePath(), dir.filePath(Database::FileName()));
        }
        Child first("--open", dir.path());
        QCOMPARE(first.line(), QStringLiteral("ready"));

        const Database::OpenResult refused = Database::Open(dir.path());
        QVERIFY(!refused.ok);
        QVERIFY(refused.inUse);
        QCOMPARE(refused.message, QStringLiteral("该数据文件夹已被另一个Ruvaso程序使用。"));
        QVERIFY(!Database::IsOpen());

        if (killed) {
            first.kill();
            QVERIFY(QFile::exists(dir.filePath(FolderLock::FileName())));
        } else {
            first.stop();
        }
        const Database::OpenResult opened = Database::Open(dir.path());
        QVERIFY2(opened.ok, qPrintable(opened.message));
        QVERIFY(Database::HoldsFolderLock());
        Database::Close();
        QVERIFY(!QFile::exists(dir.filePath(FolderLock::FileName())));
    }

    // A restore swaps the file only when no other process has it open: whatever that process
    // wrote afterwards would go into a file that is gone.
    void restoreWaitsUntilNobodyElseHasTheFile() {
        TestDatabase db;
        QVERIFY(db.ok());
        const QString backup = db.dir() + QStringLiteral("/2026-12-01.db");
        QVERIFY(CopyDatabaseFile(db.filePath(), backup));
        TestDatabase::exec(QStringLiteral("insert into tele_nr (tele_nr_txt) values ('后来的')"));

        Child reader("--touch", db.filePath());
        QCOMPARE(reader.line(), QStringLiteral("ready"));
        QCOMPARE(OtherProcessesUsing(db.filePath()).size(), 1);
        const DbResult<QString> refused =
            RestoreDatabase(backup, QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        QVERIFY(!refused);
        QVERIFY2(refused.error().startsWith(QStringLiteral("数据库正被其他程序使用")),
                 qPrintable(refused.error()));
        QVERIFY(Database::IsOpen());
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from tele_nr")).toInt(), 1);

        reader.stop();
        QVERIFY(OtherProcessesUsing(db.filePath()).isEmpty());
        const DbResult<QString> restored =
            RestoreDatabase(backup, QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        QVERIFY2(restored, qPrintable(restored.error()));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from tele_nr")).toInt(), 0);
    }

    // A database the program cannot write opens for reading, says why once, and every save
    // says it is read-only instead of failing with the engine's words alone.
    void readOnlyDatabaseOpensForReading() {
        TestDatabase db;
        QVERIFY(db.ok());
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{R}"), QStringLiteral("京R1"), QStringLiteral("甲")));
        Database::Close();

        std::unique_ptr<ReadOnlyView> view;
        QString folder = db.dir();
        if (::geteuid() == 0) {
            view = std::make_unique<ReadOnlyView>(db.dir());
            QVERIFY(view->mounted());
            folder = view->path();
        } else {
            QFile::setPermissions(db.filePath(), QFileDevice::ReadOwner);
        }
        const Database::OpenResult opened = Database::Open(folder);
        QVERIFY2(opened.ok, qPrintable(opened.message));
        QVERIFY(opened.readOnly);
        QVERIFY(Database::IsReadOnly());
        QVERIFY2(opened.message.contains(QStringLiteral("只读")), qPrintable(opened.message));

        QCOMPARE(TestDatabase::scalar(QStringLiteral("select kh_cph from kh_table")).toString(),
                 QStringLiteral("京R1"));
        const Recordset added =
            RunSql(QStringLiteral("insert into kh_table (kh_code, kh_cph) values ('{S}', '京R2')"));
        QVERIFY(added.isNull());
        QVERIFY2(added.error().startsWith(QStringLiteral("数据文件是只读的（")),
                 qPrintable(added.error()));
        Transaction save;
        QVERIFY(!save.isActive());
        QVERIFY2(save.error().startsWith(QStringLiteral("数据文件是只读的（")),
                 qPrintable(save.error()));
    }

    // The shared-memory index left by another user (or with a mode this user cannot write)
    // keeps the engine from opening the database; with nobody else using it, it is a leftover.
    void leftoverIndexOfAnotherUserIsReplaced() {
        if (::geteuid() != 0) {
            QSKIP("another user's file needs root to make");
        }
        QTemporaryDir dir;
        {
            TestDatabase seeded;
            TestDatabase::exec(QStringLiteral("insert into tele_nr (tele_nr_txt) values ('留')"));
            QFile::copy(seeded.filePath(), dir.filePath(Database::FileName()));
        }
        QFile index(dir.filePath(Database::FileName() + QStringLiteral("-shm")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write(QByteArray(32768, '\0'));
        index.close();
        QVERIFY(RunCommand(QStringLiteral("chown"), {QStringLiteral("nobody:"), dir.path(),
                                                     dir.filePath(Database::FileName())}));
        Child other("--save", dir.path(), QStringLiteral("nobody"));
        if (other.line().isEmpty()) {
            QSKIP("this test program cannot run as another user here");
        }
        QCOMPARE(other.line(), QStringLiteral("ready"));
        other.stop();
    }

    // A data folder the user cannot write, holding a database the user can: the lock file and
    // the engine's log cannot be made there, so the database opens for viewing, and a save says
    // it is read-only.
    void aReadOnlyFolderOpensForViewing() {
        if (::geteuid() != 0) {
            QSKIP("a folder of another user needs root to make");
        }
        QTemporaryDir dir;
        {
            TestDatabase seeded;
            QFile::copy(seeded.filePath(), dir.filePath(Database::FileName()));
        }
        QVERIFY(QFile::setPermissions(
            dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                            QFileDevice::ReadOther | QFileDevice::ExeOther));
        QVERIFY(RunCommand(QStringLiteral("chown"),
                           {QStringLiteral("nobody:"), dir.filePath(Database::FileName())}));
        Child viewer("--open", dir.path(), QStringLiteral("nobody"));
        if (viewer.line().isEmpty()) {
            QSKIP("this test program cannot run as another user here");
        }
        QCOMPARE(viewer.line(), QStringLiteral("ready"));
        viewer.stop();
        Child saver("--save", dir.path(), QStringLiteral("nobody"));
        QVERIFY2(saver.line().contains(QStringLiteral("只读")), qPrintable(saver.line()));
        saver.stop();
        QVERIFY(!QFileInfo::exists(dir.filePath(FolderLock::FileName())));
    }

    // A session on a read-only database file leaves its log with the file's read-only mode;
    // once the file is writable again, the next start in the (writable) folder mends it
    // instead of staying read-only for good.
    void aReadOnlySessionsLogDoesNotBlockSaving_data() {
        QTest::addColumn<bool>("holdsPages");
        QTest::newRow("empty log") << false;
        QTest::newRow("log with pages") << true;
    }
    void aReadOnlySessionsLogDoesNotBlockSaving() {
        QFETCH(bool, holdsPages);
        if (::geteuid() != 0) {
            QSKIP("another user's file needs root to make");
        }
        QTemporaryDir dir;
        {
            TestDatabase seeded;
            QFile::copy(seeded.filePath(), dir.filePath(Database::FileName()));
        }
        const QString log = dir.filePath(Database::FileName() + QStringLiteral("-wal"));
        if (holdsPages) {
            // A log with a committed change not yet folded in: what a killed program leaves.
            // Both files are copied while the change is only in the log.
            const QString file = dir.filePath(Database::FileName());
            sqlite3* raw = nullptr;
            QVERIFY(sqlite3_open(QFile::encodeName(file), &raw) == SQLITE_OK);
            sqlite3_exec(raw, "pragma wal_autocheckpoint = 0", nullptr, nullptr, nullptr);
            QVERIFY(sqlite3_exec(raw, "insert into tele_nr (tele_nr_txt) values ('日志里')",
                                 nullptr, nullptr, nullptr) == SQLITE_OK);
            QVERIFY(QFile::copy(file, file + QStringLiteral(".keep")));
            QVERIFY(QFile::copy(log, log + QStringLiteral(".keep")));
            sqlite3_close(raw);
            for (const QString& path : {file, log}) {
                QFile::remove(path);
                QVERIFY(QFile::rename(path + QStringLiteral(".keep"), path));
            }
            QVERIFY(QFileInfo(log).size() > 0);
        } else {
            QFile empty(log);
            QVERIFY(empty.open(QIODevice::WriteOnly));
        }
        QFile::remove(dir.filePath(Database::FileName() + QStringLiteral("-shm")));
        QVERIFY(QFile::setPermissions(log, QFileDevice::ReadOwner | QFileDevice::ReadOther));
        QVERIFY(RunCommand(QStringLiteral("chown"), {QStringLiteral("nobody:"), dir.path(),
                                                     dir.filePath(Database::FileName()), log}));
        Child saver("--save", dir.path(), QStringLiteral("nobody"));
        if (saver.line().isEmpty()) {
            QSKIP("this test program cannot run as another user here");
        }
        QCOMPARE(saver.line(), QStringLiteral("ready"));
        saver.stop();
        if (holdsPages) {
            QVERIFY(Database::Open(dir.path()).ok);
            QCOMPARE(RunSql(QStringLiteral("select count(*) from tele_nr where tele_nr_txt = "
                                           "'日志里'"))
                         .Text(0),
                     QStringLiteral("1"));
            Database::Close();
        }
    }

    // A full disk at start-up is a full disk, not a damaged file that tempts the owner to
    // "repair" it.
    void fullDiskAtStartIsToldAsSuch_data() {
        QTest::addColumn<int>("leftFree");
        QTest::newRow("no room at all") << 0;
        QTest::newRow("room for the lock file only") << 8192;
    }
    void fullDiskAtStartIsToldAsSuch() {
        QFETCH(int, leftFree);
        if (::geteuid() != 0) {
            QSKIP("mounting a small file system needs root");
        }
        QTemporaryDir mount;
        TestDatabase db;
        QVERIFY(db.ok());
        Database::Close();
        const qint64 size = QFileInfo(db.filePath()).size();
        QVERIFY(RunCommand(QStringLiteral("mount"),
                           {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                            QStringLiteral("size=%1").arg(size + 64 * 1024),
                            QStringLiteral("tmpfs"), mount.path()}));
        auto unmount = qScopeGuard([&mount] {
            Database::Close();
            RunCommand(QStringLiteral("umount"), {mount.path()});
        });
        const QString dir = mount.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(QFile::copy(db.filePath(), dir + QStringLiteral("/") + Database::FileName()));
        QFile filler(mount.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        QVERIFY(filler.resize(std::max<qint64>(0, filler.size() - leftFree)));

        const Database::OpenResult opened = Database::Open(dir);
        if (opened.ok) {
            // The engine found room for its index: then the first save must say the disk is full.
            const Recordset added = RunSql(
                QStringLiteral("insert into tele_nr (tele_nr_txt) select hex(randomblob(50000))"));
            QVERIFY(added.isNull());
            QVERIFY2(added.error().startsWith(QStringLiteral("磁盘空间不足（")),
                     qPrintable(added.error()));
        } else {
            QVERIFY2(opened.message.contains(QStringLiteral("磁盘空间不足")),
                     qPrintable(opened.message));
            QVERIFY(!opened.damaged);
            QVERIFY2(!opened.message.contains(QStringLiteral("损坏")), qPrintable(opened.message));
        }
    }

    void networkFileSystemsAreNamed_data() {
        QTest::addColumn<qlonglong>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("nfs") << 0x6969LL << QStringLiteral("NFS");
        QTest::newRow("cifs") << 0xff534d42LL << QStringLiteral("SMB/CIFS");
        QTest::newRow("smb2") << 0xfe534d42LL << QStringLiteral("SMB/CIFS");
        QTest::newRow("ext4") << 0xef53LL << QString();
        QTest::newRow("tmpfs") << 0x01021994LL << QString();
        QTest::newRow("btrfs") << 0x9123683eLL << QString();
    }
    void networkFileSystemsAreNamed() {
        QFETCH(qlonglong, type);
        QFETCH(QString, name);
        QCOMPARE(platform::NetworkFileSystemName(long(type)), name);
    }

    void localFolderIsNotANetworkFolder() {
        QTemporaryDir dir;
        QCOMPARE(NetworkFileSystem(dir.path()), QString());
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && argv[1][0] == '-' && argv[1][1] == '-') {
        QCoreApplication app(argc, argv);
        return RunChild(argv[1], argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestDataFolder test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_data_folder.moc"
