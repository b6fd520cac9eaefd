#pragma once

#include <QDateTime>
#include <QString>

// File steps both kinds of backup take: a draft is synced, stamped and renamed into place.
namespace backup_files {

// fsync of a file (O_RDONLY) or a folder (O_RDONLY | O_DIRECTORY); whether it worked.
bool SyncPath(const QString& path, int flags);
// Sets the modification time the lists show; best effort.
void SetModified(const QString& path, const QDateTime& when);
// One rename; on failure `error` says why, in the shop's words.
bool Rename(const QString& from, const QString& to, QString* error);
// `name` in `dir`, or with "-2", "-3" … before the extension when that is taken.
QString UniquePath(const QString& dir, const QString& name);

}  // namespace backup_files
