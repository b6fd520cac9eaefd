#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "data/backup.h"

class QThread;

// The daily quick check of the database, run on a thread of its own with a read-only
// connection of its own while the shop works. A sound result is recorded in the data folder, so
// the check runs once a day; damage is reported with an offer to open "数据恢复". Destroying the
// object stops a check that is still running.
class DatabaseCheck : public QObject {
    Q_OBJECT

public:
    // Starts the check of the open database file when it is due; null when it is not, or when
    // the database is on a server.
    static std::unique_ptr<DatabaseCheck> StartIfDue();
    ~DatabaseCheck() override;

    bool isFinished() const { return finished_; }
    const FileCheck& result() const { return result_; }

Q_SIGNALS:
    // The check ended and anything it had to say has been said.
    void finished();

private:
    DatabaseCheck(const QString& dataDir, const QString& path, const QDate& day);
    void checked();
    void reportDamage();

    QString dataDir_;
    QDate day_;
    QThread* thread_ = nullptr;
    std::atomic<bool> stop_{false};
    FileCheck result_;
    bool finished_ = false;
};
