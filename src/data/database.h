#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <utility>

#include "data/sql_dialect.h"

struct sqlite3;
class PgConnection;

// The shop's database file, <data folder>/database.db, opened once for the whole run.
// A missing file is made from the schema and the seed; an existing file is never rewritten,
// and one that is damaged or not ours is refused without being touched. A file of an older schema
// version is brought to the newest one as it opens, in one transaction (schema_migration.h). One
// program of ours uses a data folder at a time: the first open of a folder takes its lock file and
// keeps it until the program ends or opens another folder.
class Database {
public:
    struct OpenResult {
        bool ok = false;
        bool created = false;
        // Refused because the file is damaged (or empty): a backup may take its place.
        bool damaged = false;
        // Opened, but nothing can be saved: the file or its folder cannot be written.
        bool readOnly = false;
        // Refused because another program of ours uses the folder.
        bool inUse = false;
        // For the user: why the database was refused, or, when it opened read-only, why.
        QString message;
    };

    static constexpr int kSchemaVersion = 7;
    static constexpr int kApplicationId = 0x52555653;
    // What the seed operator's password is, shown on the login window as the default.
    static QString DefaultOperatorName();
    static QString DefaultPassword();

    static QString DefaultDataDir();
    static QString FileName() { return QStringLiteral("database.db"); }

    static OpenResult Open(const QString& dataDir);
    // The shop's database on a PostgreSQL server instead of the folder's file: `uri` is a libpq
    // connection URI. An empty database gets the schema and the seed; one that is not ours, or
    // is newer, is refused untouched (pg_schema.h). `dataDir` stays the folder of the backups
    // and the settings; its file is not opened.
    static OpenResult OpenServer(const QString& uri, const QString& dataDir);
    // Which engine the open database runs on, and the server's connection (null on SQLite).
    static sql::Engine Engine();
    static PgConnection* Server();
    // Connects to the server again after the connection was lost; what was open on the old
    // connection (recordsets, a transaction) is gone. Whether the server answered.
    static bool Reconnect();
    // Where the open database is, for the shop to read: the file's path, or the server's
    // database as user@host:port/name, never with a password.
    static QString Location();
    // Closes the database and gives up the folder's lock, unless a restore keeps it while it
    // swaps the file and opens it again. Background readers of the file are ended first.
    static void Close(bool keepFolderLock = false);
    // Work that reads the file on connections of its own (the day's backup) registers how to
    // end it: a restore must not swap the file under it, and its read would keep the log. The
    // function is called on the GUI thread and returns once the work has ended.
    static int AddBackgroundReader(std::function<void()> end);
    static void RemoveBackgroundReader(int id);
    static bool IsOpen();
    static bool IsReadOnly();
    static QString DataDir();
    static QString FilePath();
    // The open connection; invalid when no database is open.
    static QSqlDatabase Connection();
    // The engine's handle of the open connection, for the statements of this layer; null when
    // no database is open.
    static sqlite3* Handle();
    // A mark that differs after any change committed to the file, by this program or another;
    // a reader that must know whether what it read still stands compares two of them. On a
    // server it moves with this station's writes and with the saves other stations announce
    // (server_notices.h); a change made there by another program does not move it.
    static std::pair<qint64, qint64> ChangeMark();

    // A data folder on a network file system is refused unless the owner says it is only ever
    // used from this machine.
    static void SetNetworkFolderAllowed(bool allowed);
    // Whether this program still holds the lock of the open data folder.
    static bool HoldsFolderLock();
    // The same for `dir`, open or not: an open that refused a damaged file keeps the lock, so
    // that a backup can take the file's place.
    static bool HoldsFolderLock(const QString& dir);

    // A read or a write met a damaged page of the open file (the engine said it is corrupt or
    // not a database). Remembered until another file is opened, and told to the hook, which
    // the shell sets to offer a recovery from a checked backup.
    static void NoteDamage(const QString& reason);
    static bool DamageSeen();
    // Looks the whole open file over (the engine's quick check) unless damage was seen already;
    // whether it is damaged. A server looks after its own pages: false there.
    static bool CheckForDamage();
    static void SetDamageHook(std::function<void(const QString& reason)> hook);

    // Called on the first pause of a wait for another writer (true) and when the statement
    // that waited is over (false), so the windows can show the busy cursor.
    static void SetBusyWaitHook(std::function<void(bool waiting)> hook);
    // Ends a busy wait that a statement began; for the statement layer.
    static void EndBusyWait();
};
