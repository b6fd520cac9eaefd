#pragma once

#include <QDateTime>
#include <QString>

// File steps both kinds of backup take: a draft is synced, stamped and renamed into place
// (the sync and the stamp are in platform/file_io.h).
namespace backup_files {

// One rename; on failure `error` says why, in the shop's words.
bool Rename(const QString& from, const QString& to, QString* error);
// `name` in `dir`, or with "-2", "-3" … before the extension when that is taken.
QString UniquePath(const QString& dir, const QString& name);

}  // namespace backup_files
