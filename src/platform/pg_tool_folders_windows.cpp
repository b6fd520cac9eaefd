#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "platform/pg_tool_folders.h"

namespace platform {

// The PostgreSQL installer records each installation's folder, named after its major version,
// in the registry; their parents hold one folder per version, as the tool search expects.
QStringList PostgresInstallFolders() {
    QStringList folders;
    auto add = [&folders](const QString& folder) {
        const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(folder));
        if (!clean.isEmpty() && !folders.contains(clean, Qt::CaseInsensitive)) {
            folders << clean;
        }
    };
    QSettings installations(
        QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\PostgreSQL\\Installations"),
        QSettings::Registry64Format);
    for (const QString& group : installations.childGroups()) {
        const QString base =
            installations.value(group + QStringLiteral("/Base Directory")).toString();
        if (!base.isEmpty()) {
            add(QFileInfo(QDir::fromNativeSeparators(base)).absolutePath());
        }
    }
    add(qEnvironmentVariable("ProgramFiles") + QStringLiteral("/PostgreSQL"));
    return folders;
}

}  // namespace platform
