#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

void InstallQtChineseTranslations() {
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QLatin1String(catalogue), dir)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
}
