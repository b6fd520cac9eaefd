#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "data/db_result.h"

// The server's own client programs, which back a database up (pg_dump) and put a backup back
// (pg_restore). pg_dump refuses a server newer than itself, so the programs are chosen by the
// server's major version.

struct PgClientTools {
    int major = 0;
    QString dump;     // path of pg_dump
    QString restore;  // path of pg_restore
};

// The major version of a server_version_num (150018 is 15; 90624, before the two-part numbers,
// is 9).
int PgMajorVersion(int serverVersionNum);
// The major version in a tool's --version line ("pg_dump (PostgreSQL) 15.18 (Debian …)"); 0
// when the line names none.
int PgToolMajor(const QString& versionLine);

// The tools for a server of `serverMajor` among those installed: the same major version when
// there is one, else the oldest newer one. Refused, naming both versions, when every one is
// older than the server or none is installed.
DbResult<PgClientTools> ChoosePgClientTools(const QList<PgClientTools>& installed, int serverMajor);

// The tools installed on this machine: each <root>/<version>/bin holding both programs (as
// Debian keeps every major version apart), then the pair on PATH when it is another version.
QList<PgClientTools> InstalledPgClientTools(const QStringList& roots);
QList<PgClientTools> InstalledPgClientTools();

// How a tool reaches the database: a connection string for its command line that never holds
// the password, and the password (when the URI gives one) for the child's environment only.
struct PgToolLogin {
    QString conninfo;
    QString password;
};
// From a libpq connection URI or connection string; `applicationName` is what the tool's
// connection shows in pg_stat_activity, so that no tool is taken for a station.
DbResult<PgToolLogin> PgToolLoginFor(const QString& uri, const QString& applicationName);
// The same login under another application name.
PgToolLogin WithApplicationName(const PgToolLogin& login, const QString& applicationName);

// What a tool run left behind.
struct PgToolRun {
    bool ok = false;
    bool stopped = false;
    QByteArray output;  // standard output
    QString error;      // why it failed: its own words, or why it did not run
};
// Runs `program` to its end with the login's password in its environment. Kills it when `stop` is
// set. `poll` is called about every 100 ms while it runs; once it returns a reason to give up
// (having made the server end the tool's work), the tool has a moment to end before it is
// killed, and the run fails with that reason.
PgToolRun RunPgTool(const QString& program, const QStringList& arguments, const PgToolLogin& login,
                    const std::atomic<bool>* stop = nullptr,
                    const std::function<QString()>& poll = {});
