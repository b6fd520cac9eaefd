#pragma once

#include <QString>

// The price list window against the sqlite3 shell, its save, and the backup of a large database
// against the shell's .backup, with how long the event loop was held up meanwhile. Works in
// folders below `root` and removes them.
void BenchSystem(const QString& root, const QString& sqlite3, double backupGigabytes);

// The room a shop of `customers` customers and `orders` orders takes, with its backups.
void BenchSpace(const QString& root, int customers, int orders);
