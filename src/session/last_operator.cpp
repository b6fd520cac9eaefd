#include "session/last_operator.h"

#include <QSettings>

#include "core/folder_path.h"

namespace {

const QString kOrganization = QStringLiteral("ruvaso");
const QString kApplication = QStringLiteral("login");
const QString kKey = QStringLiteral("last-operator");

}  // namespace

QString LastOperator(const QString& dataDir) {
    QSettings settings(kOrganization, kApplication);
    settings.beginGroup(FolderSettingsGroup(dataDir));
    return settings.value(kKey).toString();
}

void RememberLastOperator(const QString& dataDir, const QString& name) {
    QSettings settings(kOrganization, kApplication);
    settings.beginGroup(FolderSettingsGroup(dataDir));
    settings.setValue(kKey, name);
    settings.endGroup();
    settings.sync();
}
