#pragma once

#include <QObject>
#include <atomic>
#include <memory>

#include "masterdata/day_backup.h"

class QThread;

// Runs MakeDayBackup on a thread of its own while the shop works. The outcome is handed back on
// the GUI thread by finished(). Closing the database (at the end of the program, for a restore)
// stops a backup that still runs and waits for it, as does destroying the object: its draft is
// removed and nothing is reported.
class BackgroundBackup : public QObject {
    Q_OBJECT

public:
    explicit BackgroundBackup(const DayBackupRequest& request, const BackupOptions& options = {});
    ~BackgroundBackup() override;

    const DayBackupRequest& request() const { return request_; }
    // Set once finished() has been emitted.
    bool isFinished() const { return finished_; }
    const DayBackupOutcome& outcome() const { return outcome_; }
    // Ends the backup early and waits until its thread is over; finished() follows, stopped.
    void stop();

Q_SIGNALS:
    void finished();

private:
    void ended();

    DayBackupRequest request_;
    // Written by the thread alone until it has ended.
    DayBackupOutcome outcome_;
    std::atomic<bool> stop_{false};
    QThread* thread_ = nullptr;
    int readerId_ = 0;
    bool finished_ = false;
};
