#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private PostgreSQL server for one test process: a cluster made by initdb in a temporary
// folder under /tmp, listening only on a Unix socket in that folder (no TCP port), with
// durability switched off for speed.
//
// The server refuses to run as root, so when the tests run as root (CI) every server program
// runs as the system user kUser, created on first use; otherwise as the current user. The
// folder belongs to that user. The database superuser is named after the user the test runs
// as, so a URI without a user name connects.
//
// The server stops with the object. If the test process dies first (a crash, a kill, a
// timeout), a watchdog started with the server notices and stops it and removes its folder.
//
//     PgServer server;
//     QVERIFY2(server.ok(), qPrintable(server.message()));
//     const QString database = server.createDatabase();
//     PgConnection connection(server.uri(database));
class PgServer {
public:
    static constexpr char kUser[] = "ruvaso-pgtest";

    // Throwaway trades durability for speed (tests); Kept syncs to disk as a shop's server does
    // (figures of save latency).
    enum class Durability { Throwaway, Kept };

    explicit PgServer(Durability durability = Durability::Throwaway);
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool ok() const { return ok_; }
    // Why the last step failed.
    QString message() const { return message_; }

    // Where the server's programs (initdb, pg_ctl, psql, pg_dump) are.
    QString binDir() const { return binDir_; }
    // The folder holding the cluster (data/), its socket and its log.
    QString folder() const { return dir_.path(); }
    // A name unique to this server that every one of its processes shows in its command line,
    // for pgrep -f.
    QString processTag() const;
    // The libpq connection URI of a database on this server.
    QString uri(const QString& database) const;

    // Makes a new database and returns its name; an empty name (see message()) on failure. It is
    // empty, or a copy of the database `from` (which nobody may be connected to).
    QString createDatabase(const QString& from = QString());

    // Replaces the server's access rules (pg_hba.conf lines, first match wins) and has the
    // running server read them again. The cluster starts with "trust" for every local user.
    bool setAccessRules(const QString& lines);

    // Stops the server at once, as a power cut would, or starts it again on the same cluster.
    bool stop();
    bool start();
    bool running() const { return running_; }

    // The processes whose command line holds `tag`, as pgrep -a prints them.
    static QStringList processesTagged(const QString& tag);

private:
    bool init(Durability durability);
    bool startWatchdog();
    bool pgCtl(const QStringList& arguments);
    bool runAsServerUser(const QString& program, const QStringList& arguments);
    QString logTail() const;

    QTemporaryDir dir_;
    QString binDir_;
    // The server user's ids (uid_t and gid_t where the system has them).
    unsigned uid_ = 0;
    unsigned gid_ = 0;
    bool switchUser_ = false;
    QString superuser_;
    int watchdogPipe_ = -1;
    int databases_ = 0;
    bool running_ = false;
    bool ok_ = false;
    QString message_;
};
