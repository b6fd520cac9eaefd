#include "masterdata/backup_procedure.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

#include "core/clock.h"
#include "core/number_text.h"
#include "data/database.h"
#include "ui/message_box.h"

namespace {

const QString kTitle = QStringLiteral("提示！");
const QString kExists = QStringLiteral("备份文件已存在，是否替换？");
const QString kDone = QStringLiteral("数据备份成功，备份文件路径:");
const QString kFailed = QStringLiteral("数据备份失败：");
const QString kProgress = QStringLiteral("正在备份数据，请稍候......");
const QString kNoSpace = QStringLiteral(
    "磁盘剩余空间不足，今天的自动备份没有进行：备份需要 %1，磁盘剩余 %2（共 %3），"
    "备份后剩余空间将少于 %4%。\n请清理磁盘或删除旧的备份。");
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
    // Taken once, so the file and the message name the same day.
    const QString target = Database::DataDir() + QLatin1Char('/') + BackupFileName(Today());
    if (QFileInfo::exists(target) &&
        ui::MessageBox::show(parent, kTitle,
                             kExists + QLatin1Char('\n') + QDir::toNativeSeparators(target),
                             ui::MessageBox::Icon::Question,
                             ui::MessageBox::Buttons::OkCancel) != ui::MessageBox::Answer::Ok) {
        return false;
    }
    const QString source = Database::FilePath();
    const DbStatus copied = RunWithProgress(parent, kProgress, [&](const BackupOptions& options) {
        return CopyDatabaseFile(source, target, options);
    });
    if (!copied) {
        Report(parent, kFailed + copied.error(), ui::MessageBox::Icon::Stop);
        return false;
    }
    Report(parent, kDone + QDir::toNativeSeparators(target), ui::MessageBox::Icon::Information);
    return true;
}

StartOfDay StartOfDayBackup(QWidget* parent) {
    const QDate today = Today();
    const QString dir = Database::DataDir();
    if (QFileInfo::exists(dir + QLatin1Char('/') + BackupFileName(today))) {
        PruneBackups(dir);
        return {};
    }
    const DailyBackupPolicy policy;
    DbResult<DailyBackup> daily = DbResult<DailyBackup>::failure(QString());
    bool damaged = false;
    const DbStatus ran = RunWithProgress(parent, kProgress, [&](const BackupOptions& options) {
        daily = MakeDailyBackup(today, policy, options, &damaged);
        return daily ? DbOk() : DbStatus::failure(daily.error());
    });
    if (!ran) {
        if (damaged) {
            return {true, kDamagedByBackup.arg(ran.error())};
        }
        Report(parent, kFailed + ran.error(), ui::MessageBox::Icon::Stop);
        return {};
    }
    if (daily->skippedForSpace) {
        Report(parent,
               kNoSpace
                   .arg(FileSizeText(daily->needed), FileSizeText(daily->space.available),
                        FileSizeText(daily->space.total))
                   .arg(qRound(policy.minFreeShare * 100)),
               ui::MessageBox::Icon::Exclamation);
    } else if (daily->made) {
        // The copy passed the full check: the database was sound a moment ago.
        RecordGoodCheck(dir, today);
    }
    return {};
}

}  // namespace database_modu
