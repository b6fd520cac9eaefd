#pragma once

#include <QString>
#include <optional>

#include "data/db_result.h"

// Which database a start opens: a server given on the command line, else the server stored by
// "数据库连接" for the data folder, else the data folder's own file. The stored server is kept
// per data folder in the user's settings, as the backup folder is, so that two shops on one
// computer never open each other's database. Its password never goes into the settings: it
// lives in a password file of the program's own (mode 0600) that the connection names.

// A PostgreSQL server as the owner enters it.
struct ServerAddress {
    // A host name or address, or a folder (starting with '/') holding the server's Unix socket;
    // empty for the client library's default.
    QString host;
    // Empty for the default port.
    QString port;
    QString database;
    // Empty for the name of the user the program runs as.
    QString user;

    bool operator==(const ServerAddress&) const = default;
};

// The server for the shop to read, as user@host:port/database with what was left empty left
// out; never a password.
QString AddressText(const ServerAddress& server);

// Why the address cannot be used, for the owner to read; empty when it can.
QString AddressProblem(const ServerAddress& server);

// The connection URI of the server: postgresql://user@host:port/database, or with
// ?host=/folder for a socket. `passFile` names the password file; a non-empty `password` is put
// in the URI itself, for a connection that is only tried and never stored.
QString ConnectionUri(const ServerAddress& server, const QString& passFile = {},
                      const QString& password = {});

// Connects to the server of `uri` and at once lets go again: empty when that worked, the
// server's reason otherwise. Blocks for up to the connection's timeout; any thread may call it.
QString TryConnection(const QString& uri);

// One line of a password file: host:port:database:user:password, each field escaped so that
// the client library reads back exactly what was given. An empty field matches any value.
QString PasswordFileLine(const ServerAddress& server, const QString& password);
// `contents` (a password file's text) with the server's line replaced by one for `password`, or
// removed when `password` is empty; the other lines stay as they were.
QString WithPassword(const QString& contents, const ServerAddress& server, const QString& password);
// Whether `contents` holds a line for the server.
bool HasPasswordLine(const QString& contents, const ServerAddress& server);

// The password file of this program, in the folder of its settings.
QString PasswordFilePath();

// The server stored for `dataDir`, if any.
std::optional<ServerAddress> StoredServer(const QString& dataDir);
// Whether a password is stored for the server.
bool HasStoredPassword(const ServerAddress& server);
// Stores the server for the next start of `dataDir`. A non-empty `password` replaces the one
// stored for it; an empty one keeps it. Nothing is stored when the password file cannot be
// written.
DbStatus StoreServer(const QString& dataDir, const ServerAddress& server,
                     const QString& password = {});
// The next start of `dataDir` opens its own file again. Both are an administrator's: anyone
// else is refused with RefusalFor's reason.
DbStatus ForgetServer(const QString& dataDir);
// The URI of the stored server, its password file named; empty when none is stored.
QString StoredServerUri(const QString& dataDir);
