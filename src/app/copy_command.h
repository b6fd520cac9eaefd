#pragma once

#include <QString>

// How `ruvaso --data-dir DIR --copy-to URL` ends, for scripts that move a shop to a server.
enum CopyCommandStatus {
    kCopyDone = 0,        // every row copied and checked
    kCopyNotDone = 1,     // the file or the server refused, or the check failed; nothing kept
    kCopyBadRequest = 2,  // bad usage
};

// Copies the shop of `dataDir` into the empty PostgreSQL database at `uri` (server_copy.h):
// progress to standard error, each table's rows and amounts to standard output at the end.
int RunCopyCommand(const QString& dataDir, const QString& uri);
