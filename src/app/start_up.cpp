#include "app/start_up.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/login_window.h"
#include "core/clock.h"
#include "data/backup.h"
#include "data/database.h"
#include "masterdata/background_backup.h"
#include "masterdata/backup_folder.h"
#include "masterdata/backup_grid.h"
#include "masterdata/backup_procedure.h"
#include "masterdata/database_check.h"
#include "masterdata/recovery_window.h"
#include "repairs/duplicate_order_numbers.h"
#include "session/current_operator.h"
#include "ui/message_box.h"
#include "ui/window_host.h"
#include "ui/window_placement.h"

namespace {

const QString kTitle = QStringLiteral("系统提示");
const QString kChecking = QStringLiteral("正在检查备份文件，请稍候......");
const QString kNoBackup = QStringLiteral("数据文件夹中没有检查无误的备份，无法从备份恢复。");
const QString kNoBackupEither =
    QStringLiteral("数据文件夹和备份文件夹中都没有检查无误的备份，无法从备份恢复。");
const QString kDamaged = QStringLiteral("数据库文件已损坏。");
const QString kReadOnly =
    QStringLiteral("数据库只能查看，不能保存：%1\n可以查看和打印，但不能保存任何修改。");
const QString kServerRefused = QStringLiteral("无法打开数据库服务器上的数据库：\n%1");
const QString kTryAgain = QStringLiteral("是否重新连接数据库服务器？");
const QString kUseFileInstead = QStringLiteral(
    "是否改用本机数据文件夹中的数据库文件继续？\n%1\n\n"
    "注意：在本机数据库文件中保存的资料不会出现在数据库服务器上。选“否”退出程序。");
// A report waits while another modal window is up or a copy holds the input.
constexpr int kReportRetryMs = 250;
// How often a running program looks whether a new day has begun.
constexpr int kNextDayLookMs = 5 * 60 * 1000;

LoginWindow* ShowLogin() {
    SetSessionEndHandler(&LogInAgain);
    auto* login = new LoginWindow;
    ui::PlaceWindow(login, nullptr);
    login->show();
    return login;
}

enum class AfterRefusal { TryAgain, UseFile, End };

// A new file in the folder would be a second, empty shop beside the server's: only a file the
// shop already has is offered.
AfterRefusal AskAfterRefusal(const QString& message, const QString& dataDir) {
    const QString problem = kServerRefused.arg(message);
    if (ui::MessageBox::show(nullptr, kTitle, problem + QStringLiteral("\n\n") + kTryAgain,
                             ui::MessageBox::Icon::Question, ui::MessageBox::Buttons::YesNo,
                             ui::MessageBox::Answer::Yes) == ui::MessageBox::Answer::Yes) {
        return AfterRefusal::TryAgain;
    }
    const QString file = QDir(dataDir).filePath(Database::FileName());
    if (!QFileInfo(file).isFile()) {
        return AfterRefusal::End;
    }
    return ui::MessageBox::show(nullptr, kTitle,
                                kUseFileInstead.arg(QDir::toNativeSeparators(file)),
                                ui::MessageBox::Icon::Question, ui::MessageBox::Buttons::YesNo,
                                ui::MessageBox::Answer::No) == ui::MessageBox::Answer::Yes
               ? AfterRefusal::UseFile
               : AfterRefusal::End;
}

// An older file may repeat an order number; the shop hears which ones once, not at every start.
// A look that fails is made again at the next start.
void ReportDuplicatedOrderNumbers(const QString& dataDir) {
    if (OrderNumbersChecked(dataDir)) {
        return;
    }
    const DbResult<QStringList> duplicated = DuplicatedOrderNumbers();
    if (!duplicated) {
        return;
    }
    if (!duplicated->isEmpty()) {
        ui::MessageBox::show(nullptr, kTitle, DuplicatedOrderNumbersText(*duplicated),
                             ui::MessageBox::Icon::Information, ui::MessageBox::Buttons::Ok);
    }
    SetOrderNumbersChecked(dataDir);
}

// Offers the recovery once the event loop is free of modal windows: the read that met the damage
// is still in the middle of its work, and says its own error first.
void OfferRecoveryWhenFree(const QString& dataDir, const QString& problem) {
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(kReportRetryMs, qApp,
                           [dataDir, problem] { OfferRecoveryWhenFree(dataDir, problem); });
        return;
    }
    // The folder may have changed since (a restore reopened it, another folder was chosen).
    if (Database::DamageSeen() && QDir(Database::DataDir()) == QDir(dataDir)) {
        OfferRecovery(dataDir, problem, true);
    }
}

}  // namespace

void WatchForDamage(const QString& dataDir) {
    // Once per opened file: a shop that chose to work on sees each failed read's own message,
    // not the offer again.
    auto offered = std::make_shared<bool>(false);
    Database::SetDamageHook([dataDir, offered](const QString& reason) {
        if (*offered || !qApp) {
            return;
        }
        *offered = true;
        QTimer::singleShot(0, qApp, [dataDir, reason] { OfferRecoveryWhenFree(dataDir, reason); });
    });
}

bool OfferRecovery(const QString& dataDir, const QString& problem, bool databaseOpen) {
    Recovery recovery;
    recovery.dataDir = dataDir;
    recovery.problem = problem;
    recovery.databaseOpen = databaseOpen;
    // The backup folder's copies are offered too: they may be all that is left sound.
    const QString folder = BackupFolder(dataDir);
    const bool folderThere = !folder.isEmpty() && QFileInfo(folder).isDir();
    RunWithProgress(nullptr, kChecking, [&](const BackupOptions& options) {
        recovery.backups = UsableBackups(recovery.dataDir, options, &recovery.rejected);
        if (folderThere) {
            int rejected = 0;
            recovery.backups =
                MergeBackups(recovery.backups, UsableBackups(folder, options, &rejected));
            recovery.rejected += rejected;
        }
        return DbOk();
    });
    if (recovery.backups.isEmpty()) {
        const QString text = databaseOpen ? kDamaged + QLatin1Char('\n') + problem : problem;
        ui::MessageBox::show(
            nullptr, kTitle,
            text + QStringLiteral("\n\n") + (folderThere ? kNoBackupEither : kNoBackup),
            ui::MessageBox::Icon::Stop, ui::MessageBox::Buttons::Ok);
        return false;
    }
    bool recovered = false;
    auto* window = ui::WindowHost::instance<RecoveryWindow>();
    window->load(recovery);
    QObject::connect(window, &RecoveryWindow::recovered, [&recovered] { recovered = true; });
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
    return recovered;
}

StartOfDayWork::StartOfDayWork(const QString& dataDir, const BackupOptions& backupOptions)
    : dataDir_(dataDir), backupOptions_(backupOptions) {
    startDay();
    nextDay_.setInterval(kNextDayLookMs);
    connect(&nextDay_, &QTimer::timeout, this, &StartOfDayWork::startNextDayIfDue);
    nextDay_.start();
}

void StartOfDayWork::startDay() {
    day_ = Today();
    backupDone_ = false;
    check_.reset();
    backup_ =
        std::make_unique<BackgroundBackup>(database_modu::StartOfDayRequest(), backupOptions_);
    connect(backup_.get(), &BackgroundBackup::finished, this, &StartOfDayWork::report);
}

void StartOfDayWork::startNextDayIfDue() {
    // A modal window may be a restore, which must not meet a backup; a busy cursor is work the
    // operator waits for.
    if (Today() <= day_ || !backupDone_ || (check_ && !check_->isFinished()) ||
        QApplication::activeModalWidget() || QGuiApplication::overrideCursor()) {
        return;
    }
    startDay();
}

StartOfDayWork::~StartOfDayWork() = default;

void StartOfDayWork::waitForBackup() {
    if (backupDone_) {
        return;
    }
    QEventLoop loop;
    connect(this, &StartOfDayWork::backupReported, &loop, &QEventLoop::quit);
    loop.exec();
}

void StartOfDayWork::report() {
    if (QApplication::activeModalWidget() || QGuiApplication::overrideCursor()) {
        QTimer::singleShot(kReportRetryMs, this, &StartOfDayWork::report);
        return;
    }
    const database_modu::StartOfDay day =
        database_modu::ReportStartOfDay(nullptr, backup_->request(), backup_->outcome());
    // Working on with a damaged file is the operator's choice; the day's check would only tell
    // again what the operator has just been told.
    const bool declined = day.damaged && !OfferRecovery(dataDir_, day.problem, true);
    // The check waited for the backup: both read the whole file, and a backup that passed its
    // check makes it needless.
    if (!declined && !backup_->outcome().stopped) {
        check_ = DatabaseCheck::StartIfDue();
    }
    backupDone_ = true;
    Q_EMIT backupReported();
}

StartUp StartProgram(const QString& dataDir, const BackupOptions& backupOptions) {
    StartUp started;
    const Database::OpenResult opened = Database::Open(dataDir);
    // Tidying needs the folder's lock, which an open that refused a damaged file keeps too:
    // the drafts may be another running program's otherwise.
    if (opened.damaged || (opened.ok && !opened.readOnly)) {
        RemoveDrafts(dataDir);
        PruneSafetyCopies(dataDir);
    }
    if (!opened.ok) {
        if (!opened.damaged) {
            if (opened.inUse && ShowRunningInstance(dataDir)) {
                started.handedOver = true;
                return started;
            }
            ui::MessageBox::show(nullptr, kTitle, opened.message, ui::MessageBox::Icon::Stop,
                                 ui::MessageBox::Buttons::Ok);
            return started;
        }
        if (!OfferRecovery(dataDir, opened.message, false)) {
            return started;
        }
    }
    if (opened.readOnly) {
        ui::MessageBox::show(nullptr, kTitle, kReadOnly.arg(opened.message),
                             ui::MessageBox::Icon::Exclamation, ui::MessageBox::Buttons::Ok);
    }
    WatchForDamage(dataDir);
    ReportDuplicatedOrderNumbers(dataDir);

    started.login = ShowLogin();
    // A folder that cannot be written can keep neither a backup nor the day of a check.
    if (!opened.readOnly) {
        started.work = std::make_unique<StartOfDayWork>(dataDir, backupOptions);
        started.listener = std::make_unique<RunningInstanceListener>(dataDir);
    }
    return started;
}

StartUp StartProgramOnServer(const QString& serverUri, const QString& dataDir,
                             const BackupOptions& backupOptions) {
    for (;;) {
        const Database::OpenResult opened = Database::OpenServer(serverUri, dataDir);
        if (opened.ok) {
            break;
        }
        switch (AskAfterRefusal(opened.message, dataDir)) {
            case AfterRefusal::TryAgain:
                continue;
            case AfterRefusal::UseFile:
                return StartProgram(dataDir, backupOptions);
            case AfterRefusal::End:
                return {};
        }
    }
    // What a killed dump left, and the oldest safety dumps; then the day's dump in the
    // background, as for the file (the file's check does not apply on the server).
    RemoveDrafts(dataDir);
    PruneSafetyCopies(dataDir, 5, BackupKind::Dump);
    StartUp started;
    started.login = ShowLogin();
    started.work = std::make_unique<StartOfDayWork>(dataDir, backupOptions);
    return started;
}

void LogInAgain() {
    auto* login = new LoginWindow;
    ui::PlaceWindow(login, nullptr);
    login->show();
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != login && !window->parentWidget() && window->isVisible()) {
            windows << window;
        }
    }
    for (const QPointer<QWidget>& window : windows) {
        if (window) {
            window->close();
        }
    }
}
