#include "ui/application_icon.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

namespace ui {

namespace {

// The icon rendered at each size the build makes, one picture per file.
const QString kIconFolder = QStringLiteral(":/application-icon");

}  // namespace

void ApplyApplicationIcon() {
    QIcon icon;
    const QDir folder(kIconFolder);
    for (const QString& name : folder.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        icon.addFile(folder.filePath(name));
    }
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral(RUVASO_APP_ID));
}

}  // namespace ui
