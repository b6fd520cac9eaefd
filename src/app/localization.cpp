#include "app/localization.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/application_icon.h"
#include "ui/fonts.h"

void ApplyChineseLocale(QApplication& app) {
    QLocale::setDefault(
        QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China));
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QLatin1String(catalogue), dir)) {
            QApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
    QApplication::setFont(ui::ScreenFont(QStringLiteral("宋体"), 10));
    ui::ApplyApplicationIcon();
}
