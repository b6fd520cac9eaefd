#include "app/localization.h"

#include <QApplication>
#include <QLocale>

#include "app/qt_translations.h"
#include "ui/application_icon.h"
#include "ui/fonts.h"

void ApplyChineseLocale(QApplication& app) {
    QLocale::setDefault(
        QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    InstallQtChineseTranslations();
    app.setFont(ui::ScreenFont(QStringLiteral("宋体"), 10));
    ui::ApplyApplicationIcon();
}
