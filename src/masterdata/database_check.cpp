#include "masterdata/database_check.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

#include "core/clock.h"
#include "data/database.h"
#include "masterdata/restore_window.h"
#include "ui/message_box.h"
#include "ui/window_host.h"

namespace {

const QString kTitle = QStringLiteral("系统提示");
const QString kDamaged = QStringLiteral(
    "数据库文件已损坏（%1）。\n请尽快从备份恢复，以免丢失更多数据。是否打开“数据恢复”？");
// A report waits while another modal window or a backup is under way.
constexpr int kRetryMs = 1000;

}  // namespace

std::unique_ptr<DatabaseCheck> DatabaseCheck::StartIfDue() {
    const QString dir = Database::DataDir();
    const QDate today = Today();
    // A server checks its own pages; only a file of ours is checked here.
    if (dir.isEmpty() || Database::FilePath().isEmpty() || !QuickCheckDue(dir, today)) {
        return nullptr;
    }
    return std::unique_ptr<DatabaseCheck>(new DatabaseCheck(dir, Database::FilePath(), today));
}

DatabaseCheck::DatabaseCheck(const QString& dataDir, const QString& path, const QDate& day)
    : dataDir_(dataDir), day_(day) {
    thread_ = QThread::create([this, path] { result_ = QuickCheckDatabaseFile(path, &stop_); });
    connect(thread_, &QThread::finished, this, &DatabaseCheck::checked);
    thread_->start(QThread::LowPriority);
}

DatabaseCheck::~DatabaseCheck() {
    stop_ = true;
    thread_->wait();
    delete thread_;
}

void DatabaseCheck::checked() {
    switch (result_.health) {
        case FileCheck::Health::Sound:
            RecordGoodCheck(dataDir_, day_);
            break;
        case FileCheck::Health::Damaged:
            reportDamage();
            return;
        case FileCheck::Health::Unknown:
            break;  // stopped, or the file went away: try again next start
    }
    finished_ = true;
    Q_EMIT finished();
}

void DatabaseCheck::reportDamage() {
    // Never on top of a modal window or a copy in progress, whose loop would wait under it.
    if (QApplication::activeModalWidget() || QGuiApplication::overrideCursor()) {
        QTimer::singleShot(kRetryMs, this, &DatabaseCheck::reportDamage);
        return;
    }
    const ui::MessageBox::Answer answer = ui::MessageBox::show(
        QApplication::activeWindow(), kTitle, kDamaged.arg(result_.detail),
        ui::MessageBox::Icon::Stop, ui::MessageBox::Buttons::OkCancel, ui::MessageBox::Answer::Ok);
    if (answer == ui::MessageBox::Answer::Ok) {
        ui::WindowHost::show(ui::WindowHost::instance<RestoreWindow>(),
                             ui::WindowHost::Mode::Modeless);
    }
    finished_ = true;
    Q_EMIT finished();
}
