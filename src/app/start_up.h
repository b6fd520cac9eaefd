#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "app/running_instance.h"
#include "data/backup.h"

class BackgroundBackup;
class DatabaseCheck;
class LoginWindow;

// What a start leaves running while the shop works: the day's backup on a connection of its
// own, then the day's check of the database when it is still due. What they find is told on the
// GUI thread once no other modal window is up; destroying the object stops what still runs.
// A program left running overnight does the same for each new day, a few minutes after
// midnight, so a shop that never closes it still has a backup of every day.
class StartOfDayWork : public QObject {
    Q_OBJECT

public:
    StartOfDayWork(const QString& dataDir, const BackupOptions& backupOptions);
    ~StartOfDayWork() override;

    // Starts the new day's backup (and check) once the clock has passed into a day after the
    // last one's, that day's work has ended and no modal window is up; otherwise does nothing.
    // A timer calls it every few minutes.
    void startNextDayIfDue();

    // The backup has ended and everything it had to say has been said.
    bool backupDone() const { return backupDone_; }
    // Lets the windows go on until then (tests and measurements).
    void waitForBackup();
    BackgroundBackup* backup() const { return backup_.get(); }
    DatabaseCheck* check() const { return check_.get(); }

Q_SIGNALS:
    void backupReported();

private:
    void startDay();
    void report();

    QString dataDir_;
    BackupOptions backupOptions_;
    QDate day_;
    QTimer nextDay_;
    std::unique_ptr<BackgroundBackup> backup_;
    std::unique_ptr<DatabaseCheck> check_;
    bool backupDone_ = false;
};

// The interactive start on a data folder: removes what a killed backup or restore left and the
// oldest safety copies, opens the database (offering a restore from a checked backup when the
// file is damaged), shows the login window at once and starts the day's backup and check in the
// background. `backupOptions` reach the background backup (tests pause it through them).
struct StartUp {
    LoginWindow* login = nullptr;  // shown; null when the program should end
    // Null when the database can only be read.
    std::unique_ptr<StartOfDayWork> work;
    // Brings this program forward when the folder is started again; null on a server or a
    // folder that can only be read, which this program does not hold alone.
    std::unique_ptr<RunningInstanceListener> listener;
    // The folder's program was already running and has come to the front: this one just ends.
    bool handedOver = false;
};
StartUp StartProgram(const QString& dataDir, const BackupOptions& backupOptions = {});

// The shell's answer to a session that ended under it (session/current_operator.h): shows the
// login again and closes every other window, as they show data that is gone. The start sets
// it as the session's end.
void LogInAgain();
// The interactive start on the shop's database on a server (`serverUri`, a libpq connection
// URI); `dataDir` stays the folder of what the program keeps beside the database. A server
// that cannot be reached or refuses is said so, with the offer to try again, to go on with the
// data folder's own file (when it has one) or to end; nothing is switched without asking. There
// are no drafts, safety copies or file checks to look after on a server.
StartUp StartProgramOnServer(const QString& serverUri, const QString& dataDir,
                             const BackupOptions& backupOptions = {});
// From now on, a damaged page that any read of the open file meets (a list, a save, a search)
// is told with the same offer of a checked backup as at start, once for the file.
void WatchForDamage(const QString& dataDir);
// Offers to put a checked backup in place of the damaged database of `dataDir`; says so when
// there is none. Returns whether a backup is in place and the database open.
bool OfferRecovery(const QString& dataDir, const QString& problem, bool databaseOpen);
