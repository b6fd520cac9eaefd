#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <cstring>

#include "core/clock.h"
#include "data/backup.h"
#include "masterdata/backup_folder.h"
#include "masterdata/backup_window.h"
#include "masterdata/system_panel_window.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/scratch_settings.h"
#include "support/window_test.h"
#include "ui/file_dialog.h"
#include "ui/window_host.h"

namespace {

const QDateTime kEvening(QDate(2026, 12, 7), QTime(17, 20, 30));
const QString kSameDisk = QStringLiteral(
    "文件夹“%1”与数据文件夹在同一个磁盘上，磁盘损坏时两处的备份会一起丢失。\n"
    "是否仍然使用这个文件夹？");
const QString kDone = QStringLiteral("数据备份成功，备份文件路径:");

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything in a folder, hidden files and drafts included.
QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Answers the folder picker with `answer`, once; a second request fails the test.
class FolderAnswer {
public:
    explicit FolderAnswer(const QString& answer) {
        previous_ = ui::FileDialog::setScriptHandler(
            [this, answer](const ui::FileDialog::Request& request) {
                [&] { QVERIFY(request.folder); }();
                [&] { QCOMPARE(++asked_, 1); }();
                return answer;
            });
    }
    ~FolderAnswer() { ui::FileDialog::setScriptHandler(std::move(previous_)); }
    FolderAnswer(const FolderAnswer&) = delete;
    FolderAnswer& operator=(const FolderAnswer&) = delete;
    int asked() const { return asked_; }

private:
    ui::FileDialog::Handler previous_;
    int asked_ = 0;
};

}  // namespace

class TestBackupWindow : public WindowTest {
    Q_OBJECT

    std::unique_ptr<ScratchSettings> settings_;

    QString todays(const QString& dir) const {
        return QDir(dir).filePath(BackupFileName(kEvening.date()));
    }

    // "数据备份" on the system management panel.
    BackupWindow* openFromPanel() {
        auto* panel = ui::WindowHost::instance<SystemPanelWindow>();
        ui::WindowHost::show(panel, ui::WindowHost::Mode::Modeless);
        panel->Picture30->click();
        return ui::WindowHost::find<BackupWindow>();
    }

    // The folder chosen by clicks, on the same disk as the data folder, as in every test here.
    void choose(BackupWindow* window, const QString& folder) {
        FolderAnswer answer(folder);
        MessageScript messages;
        messages.expect(kSameDisk.arg(Native(folder)), MessageScript::Answer::Ok);
        window->Command3->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(window->Text1->text(), Native(folder));
    }

private Q_SLOTS:
    void init() {
        WindowTest::init();
        settings_ = std::make_unique<ScratchSettings>();
        SetClock(kEvening);
    }

    // The folder is remembered; each backup lands in both places and a second one of the day
    // asks first, naming both files.
    void backupToAStick() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QTemporaryDir stick;
        BackupWindow* window = openFromPanel();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->objectName(), QStringLiteral("frmBackup"));
        QCOMPARE(window->Text1->text(), QString());
        QVERIFY(!window->Command4->isEnabled());
        QVERIFY(window->Label2->text().contains(Native(db_->dir())));
        choose(window, stick.path());
        QCOMPARE(window->Label4->text(), QStringLiteral("该文件夹中还没有备份。"));

        const QString data = todays(db_->dir());
        const QString outside = todays(stick.path());
        MessageScript messages;
        messages.expect(QStringLiteral("提示！"),
                        kDone + Native(data) + QLatin1Char('\n') + Native(outside),
                        MessageScript::Icon::Information);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(CheckDatabaseFile(data), QString());
        QCOMPARE(CheckDatabaseFile(outside), QString());
        QCOMPARE(window->Label4->text(), QStringLiteral("该文件夹中最近的备份：2026-12-07 17:20"));
        QCOMPARE(Entries(stick.path()), QStringList{BackupFileName(kEvening.date())});

        window->Command2->click();
        window = openFromPanel();
        QCOMPARE(window->Text1->text(), Native(stick.path()));
        QVERIFY(window->Command4->isEnabled());

        const QByteArray first = Bytes(outside);
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));
        const QString question =
            QStringLiteral("备份文件已存在，是否替换？\n%1\n%2").arg(Native(data), Native(outside));
        messages.expect(QStringLiteral("提示！"), question, MessageScript::Icon::Question,
                        MessageScript::Answer::Cancel);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Bytes(outside), first);

        messages.expect(question, MessageScript::Answer::Ok)
            .expect(kDone + Native(data) + QLatin1Char('\n') + Native(outside));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(Bytes(outside) != first);
        QCOMPARE(CheckDatabaseFile(outside), QString());
    }

    // Cancel, the data folder itself, a declined warning and "不再另存" all leave no folder set.
    void choosingTheFolder() {
        BackupWindow* window = openFromPanel();
        {
            FolderAnswer cancelled{QString()};
            window->Command3->click();
            QCOMPARE(cancelled.asked(), 1);
        }
        {
            FolderAnswer dataFolder(db_->dir());
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"),
                            QStringLiteral("不能使用文件夹“%1”：这就是数据文件夹，"
                                           "请选择U盘或其他磁盘上的文件夹")
                                .arg(Native(db_->dir())),
                            MessageScript::Icon::Stop);
            window->Command3->click();
            VERIFY_MESSAGES(messages);
        }
        QTemporaryDir stick;
        {
            FolderAnswer declined(stick.path());
            MessageScript messages;
            messages.expect(kSameDisk.arg(Native(stick.path())), MessageScript::Answer::Cancel);
            window->Command3->click();
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(BackupFolder(db_->dir()), QString());
        QCOMPARE(window->Text1->text(), QString());

        choose(window, stick.path());
        QCOMPARE(BackupFolder(db_->dir()), stick.path());
        window->Command4->click();
        QCOMPARE(BackupFolder(db_->dir()), QString());
        QCOMPARE(window->Text1->text(), QString());
        QVERIFY(!window->Command4->isEnabled());

        MessageScript messages;
        messages.expect(kDone + Native(todays(db_->dir())));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Entries(stick.path()), QStringList());
    }

    // A folder that cannot take the copy is named with the reason; the data folder's backup is
    // made all the same and neither place keeps a half-written file.
    void folderThatCannotTakeTheCopy_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unplugged") << "unplugged"
                                   << "找不到这个文件夹（U盘或网络文件夹是否已连接？）";
        QTest::newRow("write-protected") << "read-only"
                                         << "文件夹是只读的，不能写入";
        QTest::newRow("full") << "full"
                              << "磁盘空间不足：备份需要 ";
    }
    void folderThatCannotTakeTheCopy() {
        QFETCH(QString, how);
        QFETCH(QString, reason);
        QTemporaryDir parent;
        std::unique_ptr<MountedFolder> mount;
        QString folder = parent.filePath(QStringLiteral("STICK"));
        if (how != QLatin1String("unplugged")) {
            if (::geteuid() != 0) {
                QSKIP("mounting a read-only or a small file system needs root");
            }
            // The small one is smaller than the database.
            mount = std::make_unique<MountedFolder>(how == QLatin1String("full")
                                                        ? MountedFolder::Kind::Small
                                                        : MountedFolder::Kind::ReadOnly,
                                                    64 * 1024);
            QVERIFY(mount->ok());
            folder = mount->path();
        }
        if (how == QLatin1String("full")) {
            // Random calls, so that even the compressed backup is larger than the folder.
            TestDatabase::exec(QStringLiteral(
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < 200) "
                "insert into kh_tele_table (kh_tele_code, kh_tele_txnr) "
                "select 'T' || i, hex(randomblob(1000)) from n"));
        }
        SetBackupFolder(db_->dir(), folder);
        const QStringList before = Entries(folder);
        BackupWindow* window = openFromPanel();

        MessageScript messages;
        window->Command1->click();
        QCOMPARE(messages.shown().size(), 1);
        const ui::MessageBox::Message shown = messages.shown().first();
        messages.takeProblems();
        const QString prefix = kDone + Native(todays(db_->dir())) +
                               QStringLiteral("\n\n未能备份到备份文件夹“%1”：").arg(Native(folder));
        QVERIFY2(shown.text.startsWith(prefix + reason), qPrintable(shown.text));
        QCOMPARE(shown.icon, ui::MessageBox::Icon::Exclamation);
        QCOMPARE(CheckDatabaseFile(todays(db_->dir())), QString());
        QCOMPARE(Entries(folder), before);
        QCOMPARE(
            QDir(db_->dir()).entryList({QStringLiteral("*.part*")}, QDir::Files | QDir::Hidden),
            QStringList());
        QVERIFY(!LastBackupFolderCopy(db_->dir()).isValid());
    }

    // A folder the operator may not write: as an unprivileged user, since root writes anywhere.
    void folderWithoutPermission() {
        if (::geteuid() == 0) {
            if (QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty()) {
                QSKIP("runuser is needed to run this case as an unprivileged user");
            }
            QProcess child;
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QStringLiteral("runuser"),
                        {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                         QCoreApplication::applicationFilePath(),
                         QStringLiteral("folderWithoutPermission")});
            QVERIFY(child.waitForFinished(120000));
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     child.readAll().constData());
            return;
        }
        QTemporaryDir stick;
        QVERIFY(
            QFile::setPermissions(stick.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        {
            BackupWindow* window = openFromPanel();
            FolderAnswer answer(stick.path());
            MessageScript messages;
            messages.expect(QStringLiteral("不能使用文件夹“%1”：没有写入这个文件夹的权限")
                                .arg(Native(stick.path())));
            window->Command3->click();
            VERIFY_MESSAGES(messages);
        }
        // Chosen while it could be written, read-only now.
        SetBackupFolder(db_->dir(), stick.path());
        MessageScript messages;
        messages.expect(QStringLiteral("提示！"),
                        kDone + Native(todays(db_->dir())) +
                            QStringLiteral("\n\n未能备份到备份文件夹“%1”：没有写入这个文件夹的权限")
                                .arg(Native(stick.path())),
                        MessageScript::Icon::Exclamation);
        ui::WindowHost::find<BackupWindow>()->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Entries(stick.path()), QStringList());
        QFile::setPermissions(
            stick.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // When the data folder cannot take the copy, the database itself goes to the stick.
    void dataFolderFailsTheStickStillTakesIt() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QTemporaryDir stick;
        SetBackupFolder(db_->dir(), stick.path());
        const QString data = todays(db_->dir());
        QVERIFY(QDir().mkpath(data + QStringLiteral("/keep")));
        BackupWindow* window = openFromPanel();
        const QString outside = todays(stick.path());
        MessageScript messages;
        messages
            .expect(QStringLiteral("备份文件已存在，是否替换？\n") + Native(data),
                    MessageScript::Answer::Ok)
            .expect(QStringLiteral("提示！"),
                    QStringLiteral("数据备份失败：无法写入“%1”：%2\n\n已备份到备份文件夹:%3")
                        .arg(Native(data), QString::fromLocal8Bit(std::strerror(EISDIR)),
                             Native(outside)),
                    MessageScript::Icon::Exclamation);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(CheckDatabaseFile(outside), QString());
        QCOMPARE(LastBackupFolderCopy(db_->dir()), kEvening.date());
    }
};

QTEST_MAIN(TestBackupWindow)
#include "test_backup_window.moc"
