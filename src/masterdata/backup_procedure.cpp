#include "masterdata/backup_procedure.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

#include "core/clock.h"
#include "core/date_text.h"
#include "core/number_text.h"
#include "data/database.h"
#include "data/server_backup.h"
#include "masterdata/backup_folder.h"
#include "ui/message_box.h"

namespace {

const QString kTitle = QStringLiteral("提示！");
const QString kExists = QStringLiteral("备份文件已存在，是否替换？");
const QString kDone = QStringLiteral("数据备份成功，备份文件路径:");
const QString kFailed = QStringLiteral("数据备份失败：");
const QString kProgress = QStringLiteral("正在备份数据，请稍候......");
const QString kProgressFolder = QStringLiteral("正在复制备份到备份文件夹，请稍候......");
const QString kSavedInFolder = QStringLiteral("已备份到备份文件夹:%1");
const QString kFolderFailed = QStringLiteral("未能备份到备份文件夹“%1”：%2");
const QString kDailyFolderFailed = QStringLiteral("今天的自动备份未能复制到备份文件夹“%1”：%2");
const QString kFolderStale = QStringLiteral("备份文件夹“%1”中最近的备份是 %2 的，已超过 %3 天。");
const QString kFolderEmpty = QStringLiteral("已设置备份文件夹“%1”，但其中还没有备份。");
const QString kPlugIn =
    QStringLiteral("请插上U盘（或连接网络文件夹）后重新启动程序，或在系统管理中点击“数据备份”。");
const QString kNoSpace = QStringLiteral(
    "磁盘剩余空间不足，今天的自动备份没有进行：备份需要 %1，磁盘剩余 %2（共 %3），"
    "备份后剩余空间将少于 %4。\n请清理磁盘或删除旧的备份。");
const QString kDamagedByBackup = QStringLiteral("今天的自动备份发现数据库文件已损坏：%1");
// A copy quicker than this shows only the busy cursor.
constexpr int kProgressAfterMs = 400;
constexpr int kTickMs = 50;

// Holds back the operator's input to every window while work runs in the background, so no
// window starts something new (or closes) halfway through; painting goes on.
class InputHold : public QObject {
public:
    InputHold() { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
                return true;
            case QEvent::Close:
                if (watched->isWidgetType()) {
                    event->ignore();
                    return true;
                }
                return false;
            default:
                return false;
        }
    }
};

void Report(QWidget* parent, const QString& text, ui::MessageBox::Icon icon) {
    ui::MessageBox::show(parent, kTitle, text, icon, ui::MessageBox::Buttons::Ok);
}

// The lists show when a backup was taken by the program's clock.
BackupOptions Stamped(BackupOptions options, const QDateTime& now) {
    options.written = now;
    return options;
}

// A dump (when `server` is set) is copied as it is; a database file as a checked copy.
DbResult<QString> CopyToFolder(QWidget* parent, const QString& source, const QString& folder,
                               const QDateTime& now, const ServerBackupTarget* server) {
    DbResult<QString> copied = DbResult<QString>::failure(QString());
    RunWithProgress(parent, kProgressFolder, [&](const BackupOptions& options) {
        copied = server ? CopyDumpToBackupFolder(server->tools, source, folder, now.date(),
                                                 Stamped(options, now))
                        : CopyToBackupFolder(source, folder, now.date(), Stamped(options, now));
        return copied ? DbOk() : DbStatus::failure(copied.error());
    });
    if (copied) {
        RecordBackupFolderCopy(Database::DataDir(), now.date());
    }
    return copied;
}

// What the day's backup in the folder has to tell: a copy that failed and, once its newest copy
// is a week old, a reminder.
QStringList FolderLines(const QString& folder, const DayBackupOutcome& outcome,
                        const QDate& today) {
    QStringList lines;
    if (!outcome.folderError.isEmpty()) {
        lines << kDailyFolderFailed.arg(QDir::toNativeSeparators(folder), outcome.folderError);
    }
    const QDate newest = outcome.newestInFolder;
    if (BackupFolderCopyStale(newest, today)) {
        lines << (newest.isValid()
                      ? kFolderStale.arg(QDir::toNativeSeparators(folder), DateText(newest))
                            .arg(kBackupFolderMaxAgeDays)
                      : kFolderEmpty.arg(QDir::toNativeSeparators(folder))) +
                     QLatin1Char('\n') + kPlugIn;
    }
    return lines;
}

}  // namespace

DbStatus RunWithProgress(QWidget* parent, const QString& label,
                         const std::function<DbStatus(const BackupOptions&)>& work) {
    struct Progress {
        std::atomic<qint64> done{0};
        std::atomic<qint64> total{0};
    };
    auto progress = std::make_shared<Progress>();
    BackupOptions options;
    options.progress = [progress](qint64 done, qint64 total) {
        progress->done = done;
        progress->total = total;
    };

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    InputHold hold;
    DbStatus result = DbStatus::failure(QString());
    QThread* worker = QThread::create([&result, &work, options] { result = work(options); });

    QProgressDialog dialog(label, QString(), 0, 100, parent);
    dialog.setObjectName(QStringLiteral("backupProgress"));
    dialog.setWindowTitle(kTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setCancelButton(nullptr);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(kProgressAfterMs);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &dialog, [&dialog, progress] {
        const qint64 total = progress->total;
        if (total > 0) {
            dialog.setValue(int(progress->done * 100 / total));
        }
    });

    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    tick.start(kTickMs);
    loop.exec();
    worker->wait();
    delete worker;
    tick.stop();
    QGuiApplication::restoreOverrideCursor();
    return result;
}

namespace database_modu {

bool Backup(QWidget* parent) {
    // Taken once, so the files and the message name the same day.
    const QDate today = Today();
    const QString dir = Database::DataDir();
    const ServerBackupSource server = CurrentServerBackupSource();
    const BackupKind kind = server.onServer() ? BackupKind::Dump : BackupKind::File;
    const QString target = dir + QLatin1Char('/') + BackupFileName(today, kind);
    const QString folder = BackupFolder(dir);
    const QString folderTarget =
        folder.isEmpty() ? QString() : QDir(folder).filePath(BackupFileName(today, kind));
    // Today's file may still be a plain one an earlier version wrote: the new one replaces it.
    const QString replaced = ExistingBackupOf(dir, today, kind);
    QStringList existing;
    for (const QString& path :
         {replaced, folder.isEmpty() ? QString() : ExistingBackupOf(folder, today, kind)}) {
        if (!path.isEmpty()) {
            existing << QDir::toNativeSeparators(path);
        }
    }
    if (!existing.isEmpty() &&
        ui::MessageBox::show(parent, kTitle, kExists + QLatin1Char('\n') + existing.join('\n'),
                             ui::MessageBox::Icon::Question,
                             ui::MessageBox::Buttons::OkCancel) != ui::MessageBox::Answer::Ok) {
        return false;
    }
    const QString source = Database::FilePath();
    const QDateTime now = Now();
    std::optional<ServerBackupTarget> dumped;
    const DbStatus copied = RunWithProgress(parent, kProgress, [&](const BackupOptions& options) {
        if (!server.onServer()) {
            const DbStatus made = CopyDatabaseFile(source, target, Stamped(options, now));
            if (made && !replaced.isEmpty() && replaced != target) {
                QFile::remove(replaced);
            }
            return made;
        }
        const DbResult<ServerBackupTarget> tools = ServerBackupTargetFor(server);
        if (!tools) {
            return DbStatus::failure(tools.error());
        }
        dumped = *tools;
        return DumpServerDatabase(*tools, target, Stamped(options, now));
    });
    // Without a dump there is nothing for the backup folder: the server itself is no file.
    if (folder.isEmpty() || (server.onServer() && !copied)) {
        if (!copied) {
            Report(parent, kFailed + copied.error(), ui::MessageBox::Icon::Stop);
            return false;
        }
        Report(parent, kDone + QDir::toNativeSeparators(target), ui::MessageBox::Icon::Information);
        return true;
    }
    // When the data folder could not take the copy, its disk may be failing: the database
    // itself goes to the backup folder then.
    const DbResult<QString> outside =
        CopyToFolder(parent, copied ? target : source, folder, now, dumped ? &*dumped : nullptr);
    QString text;
    if (copied) {
        text = kDone + QDir::toNativeSeparators(target);
        if (outside) {
            text += QLatin1Char('\n') + QDir::toNativeSeparators(*outside);
        }
    } else {
        text = kFailed + copied.error();
        if (outside) {
            text += QStringLiteral("\n\n") + kSavedInFolder.arg(QDir::toNativeSeparators(*outside));
        }
    }
    if (!outside) {
        text += QStringLiteral("\n\n") +
                kFolderFailed.arg(QDir::toNativeSeparators(folder), outside.error());
    }
    const ui::MessageBox::Icon icon = copied && outside   ? ui::MessageBox::Icon::Information
                                      : copied || outside ? ui::MessageBox::Icon::Exclamation
                                                          : ui::MessageBox::Icon::Stop;
    Report(parent, text, icon);
    return copied || outside;
}

DayBackupRequest StartOfDayRequest() {
    DayBackupRequest request;
    request.dataDir = Database::DataDir();
    request.folder = BackupFolder(request.dataDir);
    request.now = Now();
    request.server = CurrentServerBackupSource();
    return request;
}

StartOfDay ReportStartOfDay(QWidget* parent, const DayBackupRequest& request,
                            const DayBackupOutcome& outcome) {
    if (outcome.stopped) {
        return {};
    }
    const QDate today = request.now.date();
    const DbResult<DailyBackup>& daily = outcome.daily;
    if (!daily) {
        if (outcome.damaged) {
            return {true, kDamagedByBackup.arg(daily.error())};
        }
        Report(parent, kFailed + daily.error(), ui::MessageBox::Icon::Stop);
    } else if (daily->skippedForSpace) {
        Report(parent,
               kNoSpace.arg(FileSizeText(daily->needed), FileSizeText(daily->space.available),
                            FileSizeText(daily->space.total), FileSizeText(daily->reserve)),
               ui::MessageBox::Icon::Exclamation);
    } else if (daily->made && !request.server.onServer()) {
        // The copy passed the full check: the database was sound a moment ago.
        RecordGoodCheck(request.dataDir, today);
    }
    if (outcome.folderCopied) {
        RecordBackupFolderCopy(request.dataDir, today);
    }
    if (!request.folder.isEmpty()) {
        if (const QStringList lines = FolderLines(request.folder, outcome, today);
            !lines.isEmpty()) {
            Report(parent, lines.join(QStringLiteral("\n\n")), ui::MessageBox::Icon::Exclamation);
        }
    }
    return {};
}

StartOfDay StartOfDayBackup(QWidget* parent) {
    const DayBackupRequest request = StartOfDayRequest();
    DayBackupOutcome outcome;
    RunWithProgress(parent, kProgress, [&](const BackupOptions& options) {
        outcome = MakeDayBackup(request, options);
        return DbOk();
    });
    return ReportStartOfDay(parent, request, outcome);
}

}  // namespace database_modu
