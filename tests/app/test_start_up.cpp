#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>

#include "app/login_window.h"
#include "app/start_up.h"
#include "core/clock.h"
#include "data/backup.h"
#include "data/data_folder.h"
#include "data/database.h"
#include "masterdata/background_backup.h"
#include "masterdata/backup_folder.h"
#include "masterdata/database_check.h"
#include "masterdata/recovery_window.h"
#include "masterdata/restore_window.h"
#include "session/connection_settings.h"
#include "support/message_script.h"
#include "support/modal_driver.h"
#include "support/pg_server.h"
#include "support/scratch_settings.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ClickRow(ui::Grid* grid, int row) {
    const QPoint centre = grid->visualRect(grid->gridModel()->index(row, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

// One start, once its background backup has ended and said what it had to say.
StartUp StartAndWait(const QString& dir) {
    StartUp started = StartProgram(dir);
    if (started.work) {
        started.work->waitForBackup();
    }
    return started;
}

// Holds a background backup after its first copy step, its read transaction open, until
// released or stopped.
struct BackupGate {
    QSemaphore reached;
    QSemaphore release;

    static BackupOptions options(const std::shared_ptr<BackupGate>& gate) {
        BackupOptions options;
        options.pagesPerStep = 1;
        options.progress = [gate, first = std::make_shared<std::atomic<bool>>(true)](qint64,
                                                                                     qint64) {
            if (!first->exchange(false)) {
                return;
            }
            gate->reached.release();
            while (!gate->release.tryAcquire(1, 10) &&
                   !QThread::currentThread()->isInterruptionRequested()) {
            }
        };
        return options;
    }
};

// Counted in a plain copy: backups are kept compressed.
int CustomersIn(const QString& path) {
    int count = -1;
    QTemporaryDir scratch;
    const QString plain = scratch.filePath(QStringLiteral("copy.db"));
    if (!CopyDatabaseFile(path, plain)) {
        return count;
    }
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copy"));
        db.setDatabaseName(plain);
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("select count(*) from kh_table")) &&
            query.next()) {
            count = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("copy"));
    return count;
}

int Customers() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

}  // namespace

class TestStartUp : public WindowTest {
    Q_OBJECT

    std::unique_ptr<ScratchSettings> settings_;
    std::unique_ptr<PgServer> server_;

    // Started by the first test that needs it, for the rest of the run.
    PgServer& pgServer() {
        if (!server_) {
            server_ = std::make_unique<PgServer>();
        }
        [&] { QVERIFY2(server_->ok(), qPrintable(server_->message())); }();
        return *server_;
    }

    // One start of the program on `day`, after the last one has ended.
    void startOn(const QDate& day, StartUp* started) {
        started->work.reset();
        Database::Close();
        SetClock(QDateTime(day, QTime(8, 15)));
        *started = StartAndWait(db_->dir());
        QVERIFY(started->login);
    }

    QString file(const QString& name) const { return db_->dir() + QLatin1Char('/') + name; }
    QString damagedCopy() const { return file(DamagedCopyName(Now())); }

    // A backup of yesterday holding one customer, and one of the day before that is garbage.
    void makeBackups() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QVERIFY(CopyDatabaseFile(db_->filePath(), file(BackupFileName(Today().addDays(-1)))).ok());
        QFile bad(file(BackupFileName(Today().addDays(-2))));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(8192, 'x'));
    }

private Q_SLOTS:
    void init() {
        WindowTest::init();
        settings_ = std::make_unique<ScratchSettings>();
    }

    // A file that does not open is kept as it is, a checked backup goes in its place, and the
    // day goes on as usual: the day's backup, then the login.
    void damagedFileIsRecoveredFromABackup_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("empty") << "empty";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("bad first page") << "header";
    }
    void damagedFileIsRecoveredFromABackup() {
        QFETCH(QString, damage);
        makeBackups();
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));
        Database::Close();
        {
            QFile live(db_->filePath());
            QVERIFY(live.open(QIODevice::ReadWrite));
            if (damage == QLatin1String("empty")) {
                QVERIFY(live.resize(0));
            } else if (damage == QLatin1String("truncated")) {
                QVERIFY(live.resize(1000));
            } else {
                live.write(QByteArray(100, 'x'));
            }
        }
        const QByteArray damaged = Bytes(db_->filePath());

        MessageScript messages;
        bool shown = false;
        ScopedModalDriver driver([&](QWidget* window) {
            auto* recovery = qobject_cast<RecoveryWindow*>(window);
            QVERIFY(recovery);
            shown = true;
            QCOMPARE(recovery->objectName(), QStringLiteral("frmRecover"));
            QCOMPARE(recovery->Label1->text(), QStringLiteral("数据库文件已损坏"));
            QVERIFY(recovery->Label2->text().contains(QDir::toNativeSeparators(db_->filePath())));
            QVERIFY(recovery->Label3->text().contains(
                QStringLiteral("另有 1 个备份文件未通过检查，没有列出。")));
            QCOMPARE(recovery->Command2->text(), QStringLiteral("退出"));
            // Only the sound backup is offered.
            QCOMPARE(recovery->grid1->rows(), 2);
            QCOMPARE(recovery->grid1->cellText(1, 1), Today().addDays(-1).toString(Qt::ISODate));
            QVERIFY(recovery->grid1->cellText(1, 2).endsWith(QLatin1String("KB")));
            ClickRow(recovery->grid1, 1);
            messages
                .expect(QStringLiteral("系统提示"),
                        QStringLiteral("将用 %1 的备份替换已损坏的数据库文件。是否恢复？")
                            .arg(Today().addDays(-1).toString(Qt::ISODate)),
                        MessageScript::Icon::Question, MessageScript::Answer::Ok)
                .expect(QStringLiteral("系统提示"),
                        QStringLiteral("数据恢复成功。已损坏的数据库文件已原样保留为:%1")
                            .arg(QDir::toNativeSeparators(damagedCopy())),
                        MessageScript::Icon::Information);
            recovery->Command1->click();
            QVERIFY(!recovery->isVisible());
        });
        StartUp started = StartAndWait(db_->dir());
        VERIFY_MESSAGES(messages);
        QVERIFY(shown);
        QVERIFY(started.login);
        QVERIFY(started.login->isVisible());
        QVERIFY(Database::IsOpen());
        QCOMPARE(Customers(), 1);
        QCOMPARE(Bytes(damagedCopy()), damaged);
        QCOMPARE(CheckDatabaseFile(db_->filePath()), QString());
        // The day's backup was made from the restored file, which counts as today's check.
        QCOMPARE(CheckDatabaseFile(file(BackupFileName(Today()))), QString());
        QVERIFY(!started.work->check());
        QVERIFY(!QFileInfo::exists(db_->filePath() + QStringLiteral(".restore")));
    }

    // Without a backup to offer, or when the operator declines, the program ends as before and
    // the file is left exactly as it was.
    void damagedFileWithoutRecoveryEnds_data() {
        QTest::addColumn<bool>("withBackup");
        QTest::newRow("no sound backup") << false;
        QTest::newRow("declined") << true;
    }
    void damagedFileWithoutRecoveryEnds() {
        QFETCH(bool, withBackup);
        if (withBackup) {
            makeBackups();
        }
        Database::Close();
        {
            QFile live(db_->filePath());
            QVERIFY(live.open(QIODevice::ReadWrite));
            live.write(QByteArray(100, 'x'));
        }
        const QByteArray damaged = Bytes(db_->filePath());
        const Database::OpenResult refused = Database::Open(db_->dir());
        QVERIFY(refused.damaged);

        MessageScript messages;
        if (!withBackup) {
            messages.expect(
                QStringLiteral("系统提示"),
                refused.message +
                    QStringLiteral("\n\n数据文件夹中没有检查无误的备份，无法从备份恢复。"),
                MessageScript::Icon::Stop);
        }
        ScopedModalDriver driver([&](QWidget* window) {
            auto* recovery = qobject_cast<RecoveryWindow*>(window);
            QVERIFY(withBackup && recovery);
            recovery->Command2->click();
        });
        const StartUp started = StartAndWait(db_->dir());
        VERIFY_MESSAGES(messages);
        QVERIFY(!started.login);
        QVERIFY(!Database::IsOpen());
        QCOMPARE(Bytes(db_->filePath()), damaged);
        QVERIFY(!QFileInfo::exists(damagedCopy()));
    }

    // Damage that lets the file open is found by the check of the day's backup: the operator
    // is told and offered the same restore, and no failed backup is reported.
    void damageFoundByTheDailyBackupOffersARestore_data() {
        QTest::addColumn<bool>("restore");
        QTest::newRow("restored") << true;
        QTest::newRow("not now") << false;
    }
    void damageFoundByTheDailyBackupOffersARestore() {
        QFETCH(bool, restore);
        makeBackups();
        QVERIFY(db_->damageButKeepOpenable());
        Database::Close();
        const QByteArray damaged = Bytes(db_->filePath());

        MessageScript messages;
        ScopedModalDriver driver([&](QWidget* window) {
            auto* recovery = qobject_cast<RecoveryWindow*>(window);
            QVERIFY(recovery);
            QVERIFY2(recovery->Label2->text().startsWith(
                         QStringLiteral("今天的自动备份发现数据库文件已损坏：")),
                     qPrintable(recovery->Label2->text()));
            QCOMPARE(recovery->Command2->text(), QStringLiteral("暂不恢复"));
            if (!restore) {
                recovery->Command2->click();
                return;
            }
            ClickRow(recovery->grid1, 1);
            messages
                .expect(QStringLiteral("将用 %1 的备份替换已损坏的数据库文件。是否恢复？")
                            .arg(Today().addDays(-1).toString(Qt::ISODate)),
                        MessageScript::Answer::Ok)
                .expect(QStringLiteral("数据恢复成功。已损坏的数据库文件已原样保留为:%1")
                            .arg(QDir::toNativeSeparators(damagedCopy())));
            recovery->Command1->click();
        });
        StartUp started = StartAndWait(db_->dir());
        VERIFY_MESSAGES(messages);
        QVERIFY(started.login && started.login->isVisible());
        QVERIFY(Database::IsOpen());
        QVERIFY(!QFileInfo::exists(file(BackupFileName(Today()))));
        if (restore) {
            QCOMPARE(Customers(), 1);
            QCOMPARE(Bytes(damagedCopy()), damaged);
            QCOMPARE(CheckDatabaseFile(db_->filePath()), QString());
        } else {
            QCOMPARE(Bytes(db_->filePath()), damaged);
            QVERIFY(!QFileInfo::exists(damagedCopy()));
        }
        // Nothing recorded the damaged file as checked, and the operator who chose to go on is
        // not told again by the day's check.
        QVERIFY(!LastGoodCheck(db_->dir()).isValid());
        QCOMPARE(bool(started.work->check()), restore);
    }

    // What a killed backup or restore left goes at the next start, and so do the oldest
    // safety copies beyond five.
    void startRemovesDraftsAndOldSafetyCopies() {
        const QStringList drafts = {
            QStringLiteral("database.db.restore"),
            QString(BackupFileName(Today()) + QStringLiteral(".a1B2c3.part")),
            SafetyCopyName(Now()) + QStringLiteral(".part")};
        const QDateTime first(QDate(2026, 1, 1), QTime(9, 0));
        QStringList safety;
        for (int i = 0; i < 7; ++i) {
            safety << SafetyCopyName(first.addDays(i));
        }
        for (const QString& name : drafts + safety + QStringList{QStringLiteral("notes.part")}) {
            QFile made(file(name));
            QVERIFY(made.open(QIODevice::WriteOnly));
            made.write("x");
        }
        Database::Close();
        StartUp started = StartAndWait(db_->dir());
        QVERIFY(started.login);
        for (const QString& name : drafts) {
            QVERIFY2(!QFileInfo::exists(file(name)), qPrintable(name));
        }
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(QFileInfo::exists(file(safety[i])), i >= 2);
        }
        QVERIFY(QFileInfo::exists(file(QStringLiteral("notes.part"))));
        QCOMPARE(CheckDatabaseFile(file(BackupFileName(Today()))), QString());
    }

    // A file that repeats order numbers (an older program let it) says which ones at the first
    // start, and not again.
    void repeatedOrderNumbersAreToldOnce() {
        TestDatabase::exec(QStringLiteral("drop index kh_wx_table_dh"));
        TestDatabase::exec(QStringLiteral("create index kh_wx_table_dh on kh_wx_table (kh_wx_dh)"));
        for (const char* number : {" 20261206001", " 20261206001", " 20261206002", " 20261207005",
                                   " 20261207005", " 20261207005"}) {
            TestDatabase::addOrder(
                TestDatabase::sampleOrder(QString::fromLatin1(number), QStringLiteral("京A1"), 10));
        }
        Database::Close();
        {
            MessageScript messages;
            messages.expect(
                QStringLiteral("系统提示"),
                QStringLiteral("数据库中有重复的维修单号：20261206-001、20261207-005。\n"
                               "这些维修单都已保留，查询和统计照常；"
                               "新的维修单不会再使用重复的单号。"),
                MessageScript::Icon::Information);
            StartUp started = StartAndWait(db_->dir());
            VERIFY_MESSAGES(messages);
            QVERIFY(started.login);
            QCOMPARE(
                TestDatabase::scalar(QStringLiteral("select count(*) from kh_wx_table")).toInt(),
                6);
        }
        MessageScript none;
        StartUp again;
        startOn(Today(), &again);
        VERIFY_MESSAGES(none);
    }

    // Another program of ours has the folder: its drafts are its own business.
    void draftsOfAProgramInTheFolderStay() {
        const QString draft = file(BackupFileName(Today()) + QStringLiteral(".a1B2c3.part"));
        {
            QFile made(draft);
            QVERIFY(made.open(QIODevice::WriteOnly));
        }
        Database::Close();
        FolderLock other(db_->dir());
        QCOMPARE(other.outcome(), FolderLock::Outcome::Locked);
        QList<ui::MessageBox::Message> shown;
        const ui::MessageBox::Handler previous =
            ui::MessageBox::setScriptHandler([&shown](const ui::MessageBox::Message& message) {
                shown << message;
                return ui::MessageBox::Answer::Ok;
            });
        const StartUp started = StartAndWait(db_->dir());
        ui::MessageBox::setScriptHandler(previous);
        QVERIFY(!started.login);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, ui::MessageBox::Icon::Stop);
        QVERIFY(QFileInfo::exists(draft));
    }

    // The stick gets the day's copy whenever it is plugged in at a start, and keeps the data
    // folder's retention. Left at home, it is passed over in silence for a week; after that
    // every start says so once.
    void dailyCopyToTheBackupFolder_data() {
        QTest::addColumn<int>("daysAway");
        QTest::addColumn<bool>("everCopied");
        QTest::addColumn<bool>("told");
        QTest::newRow("a week away") << 7 << true << false;
        QTest::newRow("eight days away") << 8 << true << true;
        QTest::newRow("never plugged in") << 3 << false << true;
    }
    void dailyCopyToTheBackupFolder() {
        QFETCH(int, daysAway);
        QFETCH(bool, everCopied);
        QFETCH(bool, told);
        const QDate first(2026, 11, 2);
        QTemporaryDir parent;
        const QString stick = parent.filePath(QStringLiteral("STICK"));
        const QString away = parent.filePath(QStringLiteral("away"));
        SetBackupFolder(db_->dir(), stick);
        QVERIFY(QDir().mkpath(everCopied ? stick : away));
        // Older copies on the stick, more than the retention keeps.
        QList<QDate> days{first};
        for (int i = 1; i <= 10; ++i) {
            days << QDate(2026, 10, i);
            QFile old(QDir(everCopied ? stick : away).filePath(BackupFileName(days.last())));
            QVERIFY(old.open(QIODevice::WriteOnly));
        }
        auto expectReminder = [&](MessageScript& messages) {
            const QString text =
                everCopied ? QStringLiteral("备份文件夹“%1”中最近的备份是 %2 的，已超过 7 天。")
                                 .arg(QDir::toNativeSeparators(stick), first.toString(Qt::ISODate))
                           : QStringLiteral("已设置备份文件夹“%1”，但其中还没有备份。")
                                 .arg(QDir::toNativeSeparators(stick));
            messages.expect(QStringLiteral("提示！"),
                            text + QStringLiteral("\n请插上U盘（或连接网络文件夹）后重新启动程序，"
                                                  "或在系统管理中点击“数据备份”。"),
                            MessageScript::Icon::Exclamation);
        };

        StartUp started;
        {
            MessageScript messages;
            if (!everCopied) {
                expectReminder(messages);
            }
            startOn(first, &started);
            VERIFY_MESSAGES(messages);
        }
        if (everCopied) {
            QCOMPARE(CheckDatabaseFile(QDir(stick).filePath(BackupFileName(first))), QString());
            QCOMPARE(LastBackupFolderCopy(db_->dir()), first);
            QList<QDate> left;
            for (const BackupFile& copy : ListBackups(stick)) {
                left << copy.taken.date();
            }
            QCOMPARE(left, BackupDaysToKeep(days));
            QVERIFY(QDir().rename(stick, away));
        }
        QCOMPARE(CheckDatabaseFile(file(BackupFileName(first))), QString());

        // Without the stick, the days of the first week go by without a word.
        for (int day = 1; day <= daysAway; ++day) {
            MessageScript messages;
            if (!everCopied || (told && day == daysAway)) {
                expectReminder(messages);
            }
            startOn(first.addDays(day), &started);
            VERIFY_MESSAGES(messages);
            QCOMPARE(CheckDatabaseFile(file(BackupFileName(first.addDays(day)))), QString());
        }
        QVERIFY(!QFileInfo::exists(stick));

        // Plugged in again: today's copy goes there at the next start, unasked.
        QVERIFY(QDir().rename(away, stick));
        const QDate back = first.addDays(daysAway + 1);
        MessageScript messages;
        startOn(back, &started);
        VERIFY_MESSAGES(messages);
        QCOMPARE(CheckDatabaseFile(QDir(stick).filePath(BackupFileName(back))), QString());
        QCOMPARE(LastBackupFolderCopy(db_->dir()), back);
    }

    // A stick that is plugged in but cannot take the copy is named with the reason.
    void aWriteProtectedStickIsTold() {
        if (::geteuid() != 0) {
            QSKIP("mounting a read-only view of a folder needs root");
        }
        MountedFolder stick(MountedFolder::Kind::ReadOnly);
        QVERIFY(stick.ok());
        QVERIFY(CopyDatabaseFile(db_->filePath(),
                                 QDir(stick.source()).filePath(BackupFileName(Today())))
                    .ok());
        SetBackupFolder(db_->dir(), stick.path());
        QVERIFY(QFile::remove(QDir(stick.source()).filePath(BackupFileName(Today()))));
        MessageScript messages;
        messages.expect(QStringLiteral("提示！"),
                        QStringLiteral("今天的自动备份未能复制到备份文件夹“%1”：文件夹是只读的，"
                                       "不能写入\n\n已设置备份文件夹“%1”，但其中还没有备份。\n"
                                       "请插上U盘（或连接网络文件夹）后重新启动程序，"
                                       "或在系统管理中点击“数据备份”。")
                            .arg(QDir::toNativeSeparators(stick.path())),
                        MessageScript::Icon::Exclamation);
        StartUp started;
        startOn(Today(), &started);
        VERIFY_MESSAGES(messages);
        QCOMPARE(CheckDatabaseFile(file(BackupFileName(Today()))), QString());
    }

    // A dead data folder's backups are no help: the stick's are offered too.
    void recoveryOffersTheBackupFolder() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QTemporaryDir stick;
        SetBackupFolder(db_->dir(), stick.path());
        QVERIFY(
            CopyDatabaseFile(db_->filePath(), stick.filePath(BackupFileName(Today().addDays(-1))))
                .ok());
        Database::Close();
        {
            QFile live(db_->filePath());
            QVERIFY(live.open(QIODevice::ReadWrite));
            live.write(QByteArray(100, 'x'));
        }
        MessageScript messages;
        bool shown = false;
        ScopedModalDriver driver([&](QWidget* window) {
            auto* recovery = qobject_cast<RecoveryWindow*>(window);
            QVERIFY(recovery);
            shown = true;
            QCOMPARE(recovery->grid1->rows(), 2);
            QCOMPARE(recovery->grid1->cellText(1, 4), QStringLiteral("备份文件夹"));
            ClickRow(recovery->grid1, 1);
            messages
                .expect(QStringLiteral("将用 %1 的备份替换已损坏的数据库文件。是否恢复？")
                            .arg(recovery->grid1->cellText(1, 1)),
                        MessageScript::Answer::Ok)
                .expect(QStringLiteral("数据恢复成功。已损坏的数据库文件已原样保留为:%1")
                            .arg(QDir::toNativeSeparators(damagedCopy())));
            recovery->Command1->click();
        });
        StartUp started = StartAndWait(db_->dir());
        VERIFY_MESSAGES(messages);
        QVERIFY(shown);
        QVERIFY(started.login);
        QCOMPARE(Customers(), 1);
    }

    // The login is up while the day's backup still copies, and a save meanwhile neither waits
    // for it nor lands in it: the copy shows the database as it was when it began.
    void loginAndSavesDoNotWaitForTheBackup() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        Database::Close();
        auto gate = std::make_shared<BackupGate>();
        StartUp started = StartProgram(db_->dir(), BackupGate::options(gate));
        QVERIFY(started.login && started.login->isVisible());
        QVERIFY(gate->reached.tryAcquire(1, 20000));
        QVERIFY(!started.work->backupDone());

        bool waited = false;
        Database::SetBusyWaitHook([&waited](bool waiting) { waited = waited || waiting; });
        QElapsedTimer timer;
        timer.start();
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));
        const qint64 savedMs = timer.elapsed();
        Database::SetBusyWaitHook({});
        QVERIFY(!waited);
        QVERIFY2(savedMs < 1000, qPrintable(QString::number(savedMs)));
        QCOMPARE(Customers(), 2);

        gate->release.release();
        started.work->waitForBackup();
        const QString todays = file(BackupFileName(Today()));
        QCOMPARE(CheckDatabaseFile(todays), QString());
        QCOMPARE(LastGoodCheck(db_->dir()), Today());
        QVERIFY(!started.work->check());
        QCOMPARE(CustomersIn(todays), 1);
    }

    // Quitting, or a restore, while the backup runs stops it: its draft goes, nothing is
    // reported, and the next start makes the day's backup.
    void quitOrRestoreStopsTheBackup_data() {
        QTest::addColumn<bool>("restore");
        QTest::newRow("quit") << false;
        QTest::newRow("restore") << true;
    }
    void quitOrRestoreStopsTheBackup() {
        QFETCH(bool, restore);
        const QString yesterday = file(BackupFileName(Today().addDays(-1)));
        QVERIFY(CopyDatabaseFile(db_->filePath(), yesterday).ok());
        Database::Close();
        auto gate = std::make_shared<BackupGate>();
        MessageScript messages;
        StartUp started = StartProgram(db_->dir(), BackupGate::options(gate));
        QVERIFY(gate->reached.tryAcquire(1, 20000));
        QPointer<BackgroundBackup> backup = started.work->backup();
        if (restore) {
            const DbResult<QString> restored = RestoreDatabase(yesterday, Now());
            QVERIFY2(restored.ok(), qPrintable(restored.error()));
            QVERIFY(backup->outcome().stopped);
            started.work->waitForBackup();
            QVERIFY(!started.work->check());
        } else {
            started.work.reset();
            QVERIFY(!backup);
        }
        VERIFY_MESSAGES(messages);
        QVERIFY(!QFileInfo::exists(file(BackupFileName(Today()))));
        QCOMPARE(QDir(db_->dir()).entryList({QStringLiteral("*.part*")}), QStringList());

        started.work.reset();
        Database::Close();
        started = StartAndWait(db_->dir());
        QCOMPARE(CheckDatabaseFile(file(BackupFileName(Today()))), QString());
    }

    // The day's check runs in the background when the last good one is not of today; damage
    // is reported with the offer to open the restore.
    void backgroundCheckReportsDamage_data() {
        QTest::addColumn<bool>("open");
        QTest::newRow("open the restore") << true;
        QTest::newRow("not now") << false;
    }
    void backgroundCheckReportsDamage() {
        QFETCH(bool, open);
        QVERIFY(RecordGoodCheck(db_->dir(), Today().addDays(-1)));
        QVERIFY(db_->damageButKeepOpenable());
        MessageScript messages;
        std::unique_ptr<DatabaseCheck> check = DatabaseCheck::StartIfDue();
        QVERIFY(check);
        messages.expect(
            QStringLiteral("系统提示"),
            QStringLiteral("数据库文件已损坏（%1）。\n请尽快从备份恢复，以免丢失更多数据。"
                           "是否打开“数据恢复”？")
                .arg(QuickCheckDatabaseFile(db_->filePath()).detail),
            MessageScript::Icon::Stop,
            open ? MessageScript::Answer::Ok : MessageScript::Answer::Cancel);
        QTRY_VERIFY_WITH_TIMEOUT(check->isFinished(), 20000);
        VERIFY_MESSAGES(messages);
        QCOMPARE(int(check->result().health), int(FileCheck::Health::Damaged));
        QCOMPARE(ui::WindowHost::find<RestoreWindow>() != nullptr, open);
        QCOMPARE(LastGoodCheck(db_->dir()), Today().addDays(-1));
    }

    // A program left running overnight backs up each new day after midnight, as a start would,
    // and only once a day.
    void runningOvernightBacksUpTheNewDay() {
        const QDate day(2026, 3, 9);
        StartUp started;
        startOn(day, &started);
        QVERIFY(QFileInfo::exists(file(BackupFileName(day))));
        BackgroundBackup* const first = started.work->backup();
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C9}", QStringLiteral("京A99999"), "李四"));
        started.work->startNextDayIfDue();
        QCOMPARE(started.work->backup(), first);

        SetClock(QDateTime(day.addDays(1), QTime(0, 5)));
        QTRY_VERIFY_WITH_TIMEOUT(
            (started.work->startNextDayIfDue(), started.work->backup() != first), 20000);
        BackgroundBackup* const second = started.work->backup();
        started.work->waitForBackup();
        QCOMPARE(CustomersIn(file(BackupFileName(day.addDays(1)))), Customers());
        QCOMPARE(CustomersIn(file(BackupFileName(day))), Customers() - 1);
        started.work->startNextDayIfDue();
        QCOMPARE(started.work->backup(), second);
    }

    void backgroundCheckRunsOnceADay() {
        std::unique_ptr<DatabaseCheck> check = DatabaseCheck::StartIfDue();
        QVERIFY(check);
        QTRY_VERIFY_WITH_TIMEOUT(check->isFinished(), 20000);
        QCOMPARE(int(check->result().health), int(FileCheck::Health::Sound));
        QCOMPARE(LastGoodCheck(db_->dir()), Today());
        QVERIFY(!DatabaseCheck::StartIfDue());
    }

    // The server given on the command line, or stored by "数据库连接", is opened; the folder's
    // file is left alone and the day's file backup does not run.
    void startsOnTheServer_data() {
        QTest::addColumn<bool>("stored");
        QTest::newRow("command line") << false;
        QTest::newRow("stored") << true;
    }
    void startsOnTheServer() {
        QFETCH(bool, stored);
        PgServer& server = pgServer();
        const QString database = server.createDatabase();
        QVERIFY2(!database.isEmpty(), qPrintable(server.message()));
        QVERIFY(StoreServer(db_->dir(), {server.folder(), {}, database, {}}));
        const QString uri = stored ? StoredServerUri(db_->dir()) : server.uri(database);
        Database::Close();
        const QByteArray file = Bytes(db_->filePath());

        StartUp started = StartProgramOnServer(uri, db_->dir());
        QVERIFY(started.login && started.login->isVisible());
        QCOMPARE(Database::Engine(), sql::Engine::Postgres);
        QVERIFY2(Database::Location().endsWith(QLatin1Char('/') + database),
                 qPrintable(Database::Location()));
        QCOMPARE(started.login->databaseLabel->toolTip(),
                 QStringLiteral("数据库：") + Database::Location());
        // The day's backup is a dump of the server's database in the data folder.
        QVERIFY(started.work);
        started.work->waitForBackup();
        QVERIFY(QFileInfo::exists(db_->dir() + QLatin1Char('/') +
                                  Today().toString(QStringLiteral("yyyy-MM-dd")) +
                                  QStringLiteral(".dump")));
        // The seed the server's database got: the login offers its operator.
        QCOMPARE(started.login->Combo1->count(), 1);
        QCOMPARE(Bytes(db_->filePath()), file);
    }

    // A server that refuses is said so; the operator tries again, goes on with the folder's
    // file (only when there is one), or ends the program.
    void refusingServerOffersTheFileOrTheEnd_data() {
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<QList<bool>>("tryAgain");
        QTest::addColumn<bool>("useFile");
        QTest::newRow("end") << true << QList<bool>{false} << false;
        QTest::newRow("again, then the file") << true << QList<bool>{true, false} << true;
        QTest::newRow("no file to offer") << false << QList<bool>{false} << false;
    }
    void refusingServerOffersTheFileOrTheEnd() {
        QFETCH(bool, fileThere);
        QFETCH(QList<bool>, tryAgain);
        QFETCH(bool, useFile);
        const QString uri = pgServer().uri(QStringLiteral("no_such_shop"));
        QTemporaryDir empty;
        const QString dir = fileThere ? db_->dir() : empty.path();
        const QString refusal = Database::OpenServer(uri, dir).message;
        QVERIFY(refusal.contains(QStringLiteral("no_such_shop")));

        MessageScript messages;
        for (const bool again : tryAgain) {
            messages.expect(QStringLiteral("系统提示"),
                            QStringLiteral("无法打开数据库服务器上的数据库：\n") + refusal +
                                QStringLiteral("\n\n是否重新连接数据库服务器？"),
                            MessageScript::Icon::Question,
                            again ? MessageScript::Answer::Yes : MessageScript::Answer::No);
        }
        if (fileThere) {
            messages.expect(
                QStringLiteral("系统提示"),
                QStringLiteral("是否改用本机数据文件夹中的数据库文件继续？\n%1\n\n"
                               "注意：在本机数据库文件中保存的资料不会出现在数据库服务器上。"
                               "选“否”退出程序。")
                    .arg(QDir::toNativeSeparators(db_->filePath())),
                MessageScript::Icon::Question,
                useFile ? MessageScript::Answer::Yes : MessageScript::Answer::No);
        }
        StartUp started = StartProgramOnServer(uri, dir);
        VERIFY_MESSAGES(messages);
        QCOMPARE(bool(started.login), useFile);
        QCOMPARE(Database::IsOpen(), useFile);
        QVERIFY(!QFile::exists(empty.filePath(Database::FileName())));
        if (useFile) {
            QCOMPARE(Database::Engine(), sql::Engine::Sqlite);
            QCOMPARE(started.login->databaseLabel->toolTip(),
                     QStringLiteral("数据库：") + QDir::toNativeSeparators(db_->filePath()));
            QVERIFY(started.work);
            started.work->waitForBackup();
        }
    }
};

QTEST_MAIN(TestStartUp)
#include "test_start_up.moc"
