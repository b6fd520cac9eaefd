#pragma once

#include <QString>
#include <QStringList>
#include <thread>

struct sqlite3;

// Another workstation on the shop's database file: a connection of its own, so what it writes
// is seen by ours only once it commits, and while it holds a write open ours waits for it, as
// a server's lock would make a second station wait.
class OtherStation {
public:
    explicit OtherStation(const QString& file);
    ~OtherStation();
    OtherStation(const OtherStation&) = delete;
    OtherStation& operator=(const OtherStation&) = delete;

    bool ok() const { return db_ != nullptr; }
    // Runs one statement with text parameters; false when it failed.
    bool exec(const QString& statement, const QStringList& params = {});
    // Begins a write and holds it until commitAfter.
    bool beginWrite();
    // Commits the open write `ms` later on a thread of its own, so this thread can meanwhile
    // start a save that has to wait for it.
    void commitAfter(int ms);
    // Whether that commit succeeded; waits for it.
    bool committed();

private:
    sqlite3* db_ = nullptr;
    std::thread committer_;
    bool committed_ = false;
};
