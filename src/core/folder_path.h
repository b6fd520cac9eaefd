#pragma once

#include <QString>

// One spelling for a folder however it was named (relative, with "..", through a link), so that
// settings kept per folder find each other.
QString CleanFolderPath(const QString& path);
// The settings group of a folder's own values; the path is encoded so that its slashes make no
// subgroups.
QString FolderSettingsGroup(const QString& folder);
