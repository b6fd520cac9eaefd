#include "masterdata/background_backup.h"

#include <QThread>

#include "data/database.h"

BackgroundBackup::BackgroundBackup(const DayBackupRequest& request, const BackupOptions& options)
    : request_(request) {
    BackupOptions stoppable = options;
    stoppable.stop = &stop_;
    thread_ = QThread::create([this, stoppable] { outcome_ = MakeDayBackup(request_, stoppable); });
    // Queued to this object's (the GUI) thread: the outcome is read only after the thread ended.
    connect(thread_, &QThread::finished, this, &BackgroundBackup::ended, Qt::QueuedConnection);
    readerId_ = Database::AddBackgroundReader([this] { stop(); });
    thread_->start(QThread::LowPriority);
}

BackgroundBackup::~BackgroundBackup() {
    Database::RemoveBackgroundReader(readerId_);
    stop();
    delete thread_;
}

void BackgroundBackup::stop() {
    stop_ = true;
    thread_->requestInterruption();
    thread_->wait();
}

void BackgroundBackup::ended() {
    if (finished_) {
        return;
    }
    finished_ = true;
    // Stopped for a restore or the end of the program: what it found is of no use any more.
    outcome_.stopped = outcome_.stopped || stop_;
    Q_EMIT finished();
}
