#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QLockFile;

// Keeps every other program of ours out of a data folder for as long as it lives: a lock file
// in the folder, taken over when the program that left it is gone.
class FolderLock {
public:
    enum class Outcome { Locked, HeldByAnother, Failed };

    explicit FolderLock(const QString& dir);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    Outcome outcome() const { return outcome_; }
    const QString& dir() const { return dir_; }
    // Why the lock could not be taken, when outcome() is Failed.
    const QString& error() const { return error_; }
    // Whether the lock file is still there and still names this process (nobody removed it
    // by hand meanwhile).
    bool stillHeld() const;

    static QString FileName() { return QStringLiteral("ruvaso.lock"); }

private:
    QString dir_;
    std::unique_ptr<QLockFile> lock_;
    Outcome outcome_ = Outcome::Failed;
    QString error_;
};

// The kind of network file system `dir` lies on ("NFS", "SMB/CIFS", ...), or empty for a disk
// of this machine.
QString NetworkFileSystem(const QString& dir);

// The other processes of this machine that have `path` open, as "name (pid)"; only processes
// this user may look into are seen.
QStringList OtherProcessesUsing(const QString& path);
