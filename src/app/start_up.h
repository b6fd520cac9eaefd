#pragma once

#include <QString>
#include <memory>

class DatabaseCheck;
class LoginWindow;

// The interactive start on a data folder: removes what a killed backup or restore left and the
// oldest safety copies, opens the database (offering a restore from a checked backup when the
// file is damaged), makes the day's backup, shows the login window and starts the day's check
// of the database.
struct StartUp {
    LoginWindow* login = nullptr;  // shown; null when the program should end
    std::unique_ptr<DatabaseCheck> check;
};
StartUp StartProgram(const QString& dataDir);

// Offers to put a checked backup in place of the damaged database of `dataDir`; says so when
// there is none. Returns whether a backup is in place and the database open.
bool OfferRecovery(const QString& dataDir, const QString& problem, bool databaseOpen);
