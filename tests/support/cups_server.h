#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private printing server for one test process: cupsd on a socket in a temporary folder, with
// its own configuration, spool, cache, state and logs, and queues whose device is a file.
//
// The constructor points the whole process at it: CUPS_SERVER (the socket), CUPS_SERVERROOT, and
// HOME and XDG_CONFIG_HOME (a temporary home, so the user's own lpoptions and settings are never
// touched). libcups reads these once, so make one server per process, before anything asks the
// printing system (initTestCase), and keep it until the end of the process. The server stops
// with the object, and also when the test process dies, since cupsd is told to follow its parent.
//
//     CupsServer cups;
//     QVERIFY2(cups.ok(), qPrintable(cups.message()));
//     QVERIFY2(cups.addQueue("slips"), qPrintable(cups.message()));
//     ... print to "slips" ...
//     QVERIFY2(cups.waitForOutput("slips"), qPrintable(cups.message()));
//     cups.output("slips")  // what the printer received
class CupsServer {
public:
    CupsServer();
    ~CupsServer();
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    bool ok() const { return ok_; }
    // Why the last step failed.
    QString message() const { return message_; }

    QString socketPath() const;
    QString serverRoot() const;
    QString homeDir() const;

    // Adds an enabled queue that writes every job, as sent, to outputFile(name).
    bool addQueue(const QString& name);
    bool removeQueue(const QString& name);
    // Makes the queue the server's own default (lpadmin -d), the one in force when the user
    // has chosen none.
    bool setServerDefault(const QString& name);
    // Removes every queue this object added, every job and the user's printer choice, so the
    // next test starts with an empty server.
    bool reset();

    QString outputFile(const QString& name) const;
    QByteArray output(const QString& name) const;
    // Waits until the queue has a job, none of its jobs is pending or printing, and the last one
    // completed; false (see message()) when a job was stopped or the time ran out.
    bool waitForOutput(const QString& name, int timeoutMs = 30000);

    // Runs one of the printing system's command-line tools against this server; false when it
    // could not run or failed. Its standard output goes to `out` when given.
    bool run(const QString& program, const QStringList& arguments, QString* out = nullptr);

private:
    bool start();
    bool waitUntilListening();
    QString logTail() const;

    QTemporaryDir dir_;
    QProcess cupsd_;
    QStringList queues_;
    bool ok_ = false;
    QString message_;
};
