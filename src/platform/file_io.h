#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// File steps whose durability and atomicity the operating system decides. On failure each sets
// errno, so callers describe the reason the same way on every system.
namespace platform {

// Forces the file's contents to the disk.
bool SyncFile(const QString& path);
// Makes the names last written in `dir` durable, where the system keeps them apart from the
// files' data; true where there is nothing to do.
bool SyncFolder(const QString& dir);
// Puts `from` in the place of `to` in one step, replacing a file already there.
bool ReplaceFile(const QString& from, const QString& to);
// Gives the file `from` the second name `to`, costing no space; false where the file system
// has no such links.
bool HardLink(const QString& from, const QString& to);
// Writes `bytes` to a new file beside `path`, readable by its owner alone from the first byte
// on, forces it to the disk and then puts it in place: the file is whole or unchanged.
bool WritePrivateFile(const QString& path, const QByteArray& bytes);
// Sets the modification time the lists show; best effort.
void SetModifiedTime(const QString& path, const QDateTime& when);
// Creates and removes a file in `folder`: the one test that tells the truth for permissions,
// read-only media and network folders alike. 0, or the errno of the failure.
int ProbeWrite(const QString& folder);

// Which disk and which file a path is, to notice a file replaced under us.
struct FileIdentity {
    quint64 volume = 0;
    quint64 file = 0;
    bool regular = false;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> IdentityOf(const QString& path);

}  // namespace platform
