#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

#include "data/backup.h"
#include "data/db_result.h"
#include "data/pg_tools.h"

class PgConnection;

// Backups of a shop whose database is on a PostgreSQL server: dumps made by the server's own
// tools in their custom format, named and kept in the data folder as the file copies are
// ("2026-12-06.dump", "before-restore-2026-12-06-153012.dump"). A dump is written beside its
// name with mode 0600, read back whole by pg_restore, and only then moved into place, so a failed
// dump never spoils an earlier file of the same name.

// Where the open server database is, taken on the thread that holds it: its connection URI
// (empty when the database is a file) and the data folder that keeps the dumps.
struct ServerBackupSource {
    QString uri;
    QString dataDir;
    bool onServer() const { return !uri.isEmpty(); }
};
ServerBackupSource CurrentServerBackupSource();

// What the tools need to reach the database; the work then uses connections of its own and may
// run on any thread.
struct ServerBackupTarget {
    QString dataDir;
    PgToolLogin login;
    PgClientTools tools;
    int serverMajor = 0;
};
// Asks the server its version on a connection of its own and picks among `installed` the tools
// that can dump it; refused, naming both versions, when they are all older than the server.
DbResult<ServerBackupTarget> ServerBackupTargetFor(
    const ServerBackupSource& source,
    const QList<PgClientTools>& installed = InstalledPgClientTools());

// Dumps the database into `path`. `stop` in the options ends it early as a failure.
DbStatus DumpServerDatabase(const ServerBackupTarget& target, const QString& path,
                            const BackupOptions& options = {});

// Copies the dump `source` to `target` the same way: beside it with mode 0600, checked, then
// moved into place.
DbStatus CopyDumpFile(const PgClientTools& tools, const QString& source, const QString& target,
                      const BackupOptions& options = {});

// Why `path` is not a whole dump of this program's database that the tools can read, or empty:
// its table of contents must list every table of ours, and every byte of its data must read.
QString CheckDumpFile(const PgClientTools& tools, const QString& path,
                      const std::atomic<bool>* stop = nullptr);
// The schema version the dump's meta table holds; 0 when it cannot be read.
int DumpSchemaVersion(const PgClientTools& tools, const QString& path);

// One station as a restore names it: "192.168.1.20（ruvaso，2026-12-07 08:30:12 连接）"; a
// station on this machine's socket has no address and is called "本机".
QString DescribeStation(const QString& address, const QString& application, const QString& since);
// The other stations of this program connected to the same database as `connection`.
DbResult<QStringList> OtherStations(PgConnection& connection);
// What the operator is told when stations are connected.
QString OtherStationsText(const QStringList& stations);

// The first start of a day on the server: when `today` has no dump yet, one is made (unless it
// would leave too little of the disk free: the newest dump's size is what it is expected to
// take), then the retention prunes the daily dumps.
DbResult<DailyBackup> MakeDailyServerBackup(const ServerBackupTarget& target, const QDate& today,
                                            const DailyBackupPolicy& policy = {},
                                            const BackupOptions& options = {});

// Puts the dump `chosen` in place of the database, all or nothing: checks the dump, refuses
// while another station is connected (naming it) or while the database holds tables the dump
// would not replace, dumps the database as it is to a safety dump of its own, then restores in
// one transaction, dropping what the dump holds first. A restore that waits on another
// connection's lock longer than the options allow is cancelled. When anything fails the
// database stays as it was and no safety dump is left. Returns the safety dump's path.
//
// The program's own connection must hold nothing the restore needs: close the database first
// and open it again afterwards.
DbResult<QString> RestoreServerDatabase(const ServerBackupTarget& target, const QString& chosen,
                                        const QDateTime& stamp, const BackupOptions& options = {});
