#pragma once

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

// The shop's database file, <data folder>/database.db, opened once for the whole run.
// A missing file is made from the schema and the seed; an existing file is never rewritten,
// and one that is damaged or not ours is refused without being touched.
class Database {
public:
    struct OpenResult {
        bool ok = false;
        bool created = false;
        // The file was refused as damaged (empty, unreadable as a database, or corrupt), as
        // opposed to being another program's file or one this program cannot use.
        bool damaged = false;
        QString message;  // for the user, when !ok
    };

    static constexpr int kSchemaVersion = 1;
    static constexpr int kApplicationId = 0x52555653;
    // What the seed operator's password is, shown on the login window as the default.
    static QString DefaultOperatorName();
    static QString DefaultPassword();

    static QString DefaultDataDir();
    static QString FileName() { return QStringLiteral("database.db"); }

    static OpenResult Open(const QString& dataDir);
    static void Close();
    static bool IsOpen();
    static QString DataDir();
    static QString FilePath();
    // The open connection; invalid when no database is open.
    static QSqlDatabase Connection();
    // The engine's handle of the open connection, for the statements of this layer; null when
    // no database is open.
    static sqlite3* Handle();
};
