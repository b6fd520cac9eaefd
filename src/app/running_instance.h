#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

// One program per data folder. The program that holds a folder listens on a local socket named
// after it; a second start of the same folder asks it to bring its windows to the front and
// ends, as staff who start the program again from the menu expect, instead of only being told
// that the folder is in use.

// The local socket's path for `dataDir`, in the user's runtime folder: the same for every
// spelling of the folder, different for every folder and every user.
QString RunningInstanceName(const QString& dataDir);

// Asks the program running on `dataDir` to show itself; true when it answered within
// `timeoutMs`. False when none listens (a command-line action holds the folder, or a program
// of another user) or when it is too busy to answer.
bool ShowRunningInstance(const QString& dataDir, int timeoutMs = 2000);

// Listens for later starts on `dataDir` while it lives and brings this program's windows to the
// front when one asks. Only to be made while this program holds the folder's lock: a socket
// left by a program that was killed is removed first.
class RunningInstanceListener : public QObject {
    Q_OBJECT

public:
    explicit RunningInstanceListener(const QString& dataDir);
    ~RunningInstanceListener() override;

    bool listening() const;

Q_SIGNALS:
    // After the windows have been brought to the front.
    void shown();

private:
    void answer();

    std::unique_ptr<QLocalServer> server_;
};

// Restores this program's minimised windows and raises them, the modal window (if one is up)
// last and active.
void BringWindowsToFront();
