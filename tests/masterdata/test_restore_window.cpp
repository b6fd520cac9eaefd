#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "app/start_up.h"
#include "core/clock.h"
#include "customers/customer_store.h"
#include "data/backup.h"
#include "data/database.h"
#include "masterdata/backup_folder.h"
#include "masterdata/restore_window.h"
#include "session/current_operator.h"
#include "support/database_fixture.h"
#include "support/message_script.h"
#include "support/scratch_settings.h"
#include "support/window_test.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/window_host.h"

namespace {

RestoreWindow* Open() {
    auto* window = ui::WindowHost::instance<RestoreWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    return window;
}

void ClickRow(ui::Grid* grid, int row) {
    const QPoint centre = grid->visualRect(grid->gridModel()->index(row, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

QWidget* OpenWindow(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Sets the schema version a copy says it has, as a later release of the program would.
bool SetVersion(const QString& path, int version) {
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v"));
        db.setDatabaseName(path);
        done = db.open() &&
               QSqlQuery(db).exec(QStringLiteral("update meta set version = %1").arg(version));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v"));
    return done;
}

// Every message shown while it lives, each answered OK.
class AnswerAll {
public:
    AnswerAll() {
        previous_ = ui::MessageBox::setScriptHandler([this](const ui::MessageBox::Message& m) {
            shown << m;
            return ui::MessageBox::Answer::Ok;
        });
    }
    ~AnswerAll() { ui::MessageBox::setScriptHandler(std::move(previous_)); }
    AnswerAll(const AnswerAll&) = delete;
    AnswerAll& operator=(const AnswerAll&) = delete;
    QList<ui::MessageBox::Message> shown;

private:
    ui::MessageBox::Handler previous_;
};

bool HasCustomer(const QString& key) {
    const auto customer = FindCustomerByKey(key);
    return customer.ok() && customer->has_value();
}

}  // namespace

class TestRestoreWindow : public WindowTest {
    Q_OBJECT

    std::unique_ptr<ScratchSettings> settings_;

    QString backupOf(const QDate& day) const {
        return db_->dir() + QLatin1Char('/') + BackupFileName(day);
    }

private Q_SLOTS:
    void init() {
        WindowTest::init();
        settings_ = std::make_unique<ScratchSettings>();
        // The shell's answer to a restore, as the program's start sets it.
        SetSessionEndHandler(&LogInAgain);
    }

    // The deleted customer comes back, what it replaced is kept, and everyone logs in again.
    void restoreBringsBackADeletedCustomer() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        const QString yesterday = backupOf(Today().addDays(-1));
        QVERIFY(CopyDatabaseFile(db_->filePath(), yesterday).ok());
        QVERIFY(RemoveCustomer(QStringLiteral("{C1}")).ok());
        TestDatabase::logInAs(QStringLiteral("小李"), Role::Administrator);
        auto* main = new MainWindow;
        main->show();

        RestoreWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("frmRestore"));
        ui::Grid* grid = window->grid1;
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->cellText(0, 1), QStringLiteral("备份时间"));
        QCOMPARE(grid->cellText(1, 0), yesterday);
        QCOMPARE(grid->cellText(1, 1), Today().addDays(-1).toString(Qt::ISODate));
        QVERIFY(grid->cellText(1, 2).endsWith(QLatin1String("KB")));
        QCOMPARE(grid->cellText(1, 3), QStringLiteral("每日备份"));
        ClickRow(grid, 1);

        const QString safety = db_->dir() + QLatin1Char('/') + SafetyCopyName(Now());
        MessageScript messages;
        messages
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("当前数据将被所选备份替换（恢复前会先另存一份），"
                                   "恢复后需要重新登录。是否恢复？"),
                    MessageScript::Icon::Question, MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("数据恢复成功，恢复前的数据已备份到:%1\n请重新登录。")
                        .arg(QDir::toNativeSeparators(safety)),
                    MessageScript::Icon::Information);
        QPointer<MainWindow> mainOpen(main);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(CheckDatabaseFile(safety), QString());
        QVERIFY(OpenWindow(QStringLiteral("Form9")));
        QVERIFY(!mainOpen);
        QVERIFY(!OpenWindow(QStringLiteral("frmRestore")));
        QCOMPARE(CurrentOperator(), QString());

        // The safety copy is offered next time, newest first.
        RestoreWindow* again = Open();
        QCOMPARE(again->grid1->rows(), 3);
        QCOMPARE(again->grid1->cellText(1, 0), safety);
        QCOMPARE(again->grid1->cellText(1, 3), QStringLiteral("恢复前的数据"));
    }

    // A clerk who reaches the window all the same is told why nothing is restored.
    void aClerkCannotRestore() {
        const QString backup = backupOf(Today().addDays(-1));
        QVERIFY(CopyDatabaseFile(db_->filePath(), backup).ok());
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        TestDatabase::logInAs(QStringLiteral("小王"), Role::Clerk);
        RestoreWindow* window = Open();
        ClickRow(window->grid1, 1);
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"),
                        QStringLiteral("只有管理员可以恢复数据，当前用户“小王”是店员。"),
                        MessageScript::Icon::Stop);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QVERIFY(window->isVisible());
        QCOMPARE(CurrentOperator(), QStringLiteral("小王"));
    }

    void restoreNeedsAChoiceAndAYes() {
        QVERIFY(CopyDatabaseFile(db_->filePath(), backupOf(Today())).ok());
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        RestoreWindow* window = Open();
        MessageScript messages;
        messages.expect(QStringLiteral("系统提示"), QStringLiteral("请选择要恢复的备份！"),
                        MessageScript::Icon::Stop);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        ClickRow(window->grid1, 1);
        messages.expect(QStringLiteral("当前数据将被所选备份替换（恢复前会先另存一份），"
                                       "恢复后需要重新登录。是否恢复？"),
                        MessageScript::Answer::Cancel);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QVERIFY(window->isVisible());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
    }

    // A damaged backup is refused; the database in use and the windows stay as they were.
    void aDamagedBackupChangesNothing() {
        {
            QFile file(backupOf(Today()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, 'x'));
        }
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        RestoreWindow* window = Open();
        ClickRow(window->grid1, 1);
        QList<ui::MessageBox::Message> shown;
        const ui::MessageBox::Handler previous =
            ui::MessageBox::setScriptHandler([&shown](const ui::MessageBox::Message& message) {
                shown << message;
                return ui::MessageBox::Answer::Ok;
            });
        window->Command1->click();
        ui::MessageBox::setScriptHandler(previous);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].icon, ui::MessageBox::Icon::Stop);
        QVERIFY2(shown[1].text.startsWith(QStringLiteral("数据恢复失败：所选备份文件不能使用：")),
                 qPrintable(shown[1].text));
        QVERIFY(window->isVisible());
        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
    }

    // A damaged database in use does not stop the restore: it is kept as it was on disk.
    void restoreOverADamagedDatabase() {
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QVERIFY(CopyDatabaseFile(db_->filePath(), backupOf(Today().addDays(-1))).ok());
        QVERIFY(db_->damageButKeepOpenable());
        Database::Close();
        const QByteArray damaged = Bytes(db_->filePath());
        QVERIFY(Database::Open(db_->dir()).ok);

        RestoreWindow* window = Open();
        ClickRow(window->grid1, 1);
        const QString kept = db_->dir() + QLatin1Char('/') + DamagedCopyName(Now());
        MessageScript messages;
        messages
            .expect(QStringLiteral("当前数据将被所选备份替换（恢复前会先另存一份），"
                                   "恢复后需要重新登录。是否恢复？"),
                    MessageScript::Answer::Ok)
            .expect(QStringLiteral("系统提示"),
                    QStringLiteral("数据恢复成功。恢复前的数据库文件已损坏，已原样保留为:%1\n"
                                   "请重新登录。")
                        .arg(QDir::toNativeSeparators(kept)),
                    MessageScript::Icon::Information);
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
        QCOMPARE(TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt(), 1);
        QCOMPARE(Bytes(kept), damaged);
        QVERIFY(OpenWindow(QStringLiteral("Form9")));
        // The damaged file is not offered as a backup.
        QCOMPARE(ListBackups(db_->dir()).size(), 1);
    }

    // Both folders, newest first, with the time each copy was taken; a row of the stick
    // restores like any other.
    void listsBothFoldersWithTheirTimes() {
        SetClock(QDateTime(QDate(2026, 12, 7), QTime(8, 30)));
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QTemporaryDir stick;
        SetBackupFolder(db_->dir(), stick.path());
        BackupOptions at;
        at.written = QDateTime(QDate(2026, 12, 6), QTime(18, 5, 40));
        const QString evening = stick.filePath(BackupFileName(QDate(2026, 12, 6)));
        QVERIFY(CopyDatabaseFile(db_->filePath(), evening, at).ok());
        QVERIFY(RemoveCustomer(QStringLiteral("{C1}")).ok());
        at.written = QDateTime(QDate(2026, 12, 5), QTime(9, 0));
        QVERIFY(CopyDatabaseFile(db_->filePath(), backupOf(QDate(2026, 12, 5)), at).ok());
        WriteFile(db_->dir() + QLatin1Char('/') +
                      SafetyCopyName(QDateTime(QDate(2026, 12, 6), QTime(12, 0, 15))),
                  "s");
        // Copied in by hand later: the name tells the day, nothing tells the time.
        at.written = QDateTime(QDate(2026, 12, 3), QTime(10, 0));
        QVERIFY(CopyDatabaseFile(db_->filePath(), backupOf(QDate(2026, 12, 1)), at).ok());

        RestoreWindow* window = Open();
        ui::Grid* grid = window->grid1;
        QCOMPARE(grid->rows(), 5);
        QCOMPARE(grid->cellText(0, 4), QStringLiteral("位置"));
        const QStringList expected = {
            "2026-12-06 18:05|每日备份|备份文件夹", "2026-12-06 12:00|恢复前的数据|数据文件夹",
            "2026-12-05 09:00|每日备份|数据文件夹", "2026-12-01|每日备份|数据文件夹"};
        for (int row = 1; row < grid->rows(); ++row) {
            QCOMPARE(QStringList(
                         {grid->cellText(row, 1), grid->cellText(row, 3), grid->cellText(row, 4)})
                         .join('|'),
                     expected[row - 1]);
        }
        QCOMPARE(grid->cellText(1, 0), evening);
        QVERIFY(window->Label2->text().endsWith(QStringLiteral("备份文件夹：") +
                                                QDir::toNativeSeparators(stick.path())));

        ClickRow(grid, 1);
        AnswerAll answers;
        window->Command1->click();
        QCOMPARE(answers.shown.size(), 2);
        QCOMPARE(answers.shown[1].icon, ui::MessageBox::Icon::Information);
        QVERIFY(Database::IsOpen());
        QVERIFY(HasCustomer(QStringLiteral("{C1}")));
    }

    // A file picked anywhere goes through the same checks and the same safety copy; a file
    // that fails them changes nothing.
    void restoreFromAPickedFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("refusal");  // empty when it restores
        QTest::newRow("sound backup") << "sound" << QString();
        QTest::newRow("damaged") << "damaged"
                                 << "数据恢复失败：所选备份文件不能使用：";
        QTest::newRow("another program's database")
            << "foreign"
            << "数据恢复失败：所选备份文件不能使用：不是本系统的数据库";
        QTest::newRow("newer version") << "newer"
                                       << "数据恢复失败：恢复的数据库无法打开：";
    }
    void restoreFromAPickedFile() {
        QFETCH(QString, file);
        QFETCH(QString, refusal);
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C1}", QStringLiteral("京A11111"), "张三"));
        QTemporaryDir stick;
        const QString picked = stick.filePath(QStringLiteral("店里的备份.db"));
        if (file == QLatin1String("damaged")) {
            QVERIFY(CopyDatabaseFile(db_->filePath(), picked).ok());
            QByteArray bytes = Bytes(picked);
            bytes.replace(bytes.size() - 4096, 4096, QByteArray(4096, 'x'));
            WriteFile(picked, bytes);
        } else if (file == QLatin1String("foreign")) {
            QSqlDatabase other =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            other.setDatabaseName(picked);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("create table t (x)")));
            other.close();
            other = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        } else {
            QVERIFY(CopyDatabaseFile(db_->filePath(), picked).ok());
            if (file == QLatin1String("newer")) {
                QVERIFY(SetVersion(picked, Database::kSchemaVersion + 1));
            }
        }
        QVERIFY(RemoveCustomer(QStringLiteral("{C1}")).ok());
        TestDatabase::addCustomer(
            TestDatabase::sampleCustomer("{C2}", QStringLiteral("京B22222"), "李四"));

        RestoreWindow* window = Open();
        const ui::FileDialog::Handler previous =
            ui::FileDialog::setScriptHandler([&](const ui::FileDialog::Request& request) {
                [&] { QVERIFY(!request.saving && !request.folder); }();
                return picked;
            });
        AnswerAll answers;
        window->Command3->click();
        ui::FileDialog::setScriptHandler(previous);
        QVERIFY(answers.shown.size() == 2);
        QCOMPARE(answers.shown[0].text,
                 QStringLiteral("当前数据将被备份文件“%1”替换（恢复前会先另存一份），"
                                "恢复后需要重新登录。是否恢复？")
                     .arg(QDir::toNativeSeparators(picked)));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(Database::IsOpen());
        if (refusal.isEmpty()) {
            QCOMPARE(answers.shown[1].icon, ui::MessageBox::Icon::Information);
            QVERIFY(HasCustomer(QStringLiteral("{C1}")));
            QVERIFY(!HasCustomer(QStringLiteral("{C2}")));
            QCOMPARE(ListBackups(db_->dir()).size(), 1);
            QVERIFY(ListBackups(db_->dir()).first().safetyCopy);
            QVERIFY(OpenWindow(QStringLiteral("Form9")));
        } else {
            QCOMPARE(answers.shown[1].icon, ui::MessageBox::Icon::Stop);
            QVERIFY2(answers.shown[1].text.startsWith(refusal), qPrintable(answers.shown[1].text));
            QVERIFY(window->isVisible());
            QVERIFY(HasCustomer(QStringLiteral("{C2}")));
            QVERIFY(!HasCustomer(QStringLiteral("{C1}")));
            QCOMPARE(ListBackups(db_->dir()).size(), 0);
            QCOMPARE(QDir(db_->dir())
                         .entryList({QStringLiteral("*.part*"), QStringLiteral("*.restore*"),
                                     QStringLiteral("*.previous")},
                                    QDir::Files | QDir::Hidden),
                     QStringList());
        }
    }

    // Picking the database in use is refused before anything is asked.
    void theDatabaseInUseIsNoBackup() {
        RestoreWindow* window = Open();
        const ui::FileDialog::Handler previous = ui::FileDialog::setScriptHandler(
            [this](const ui::FileDialog::Request&) { return db_->filePath(); });
        MessageScript messages;
        messages.expect(QStringLiteral("“%1”是正在使用的数据库，不能用来恢复。请选择备份文件。")
                            .arg(QDir::toNativeSeparators(db_->filePath())));
        window->Command3->click();
        ui::FileDialog::setScriptHandler(previous);
        VERIFY_MESSAGES(messages);
        QVERIFY(Database::IsOpen());
    }

    void showsTheSpaceBackupsTake() {
        const QDateTime first(QDate(2026, 1, 1), QTime(9, 0));
        for (int i = 0; i < 2; ++i) {
            WriteFile(db_->dir() + QLatin1Char('/') + SafetyCopyName(first.addDays(i)),
                      QByteArray(3 * 1024 * 1024, 's'));
        }
        for (int i = 1; i <= 3; ++i) {
            WriteFile(backupOf(Today().addDays(-i)), QByteArray(512 * 1024, 'd'));
        }
        RestoreWindow* window = Open();
        QCOMPARE(window->grid1->rows(), 6);
        QCOMPARE(window->Label2->text(), QStringLiteral("备份共占用 7.5 MB\n每日备份 3 个，1.5 MB；"
                                                        "恢复前的数据 2 个，6.0 MB"));
    }
};

QTEST_MAIN(TestRestoreWindow)
#include "test_restore_window.moc"
