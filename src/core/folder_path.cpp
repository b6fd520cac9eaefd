#include "core/folder_path.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString CleanFolderPath(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

QString FolderSettingsGroup(const QString& folder) {
    return QString::fromLatin1(QUrl::toPercentEncoding(CleanFolderPath(folder)));
}
