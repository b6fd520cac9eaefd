#include "ui/fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

namespace ui {

namespace {

// Chinese glyphs smaller than this are hard to read on screen.
constexpr double kMinimumChinesePointSize = 9.0;

// The fonts that ship with the program, so slips and PDFs look the same and stay searchable on a
// PC without any Chinese font of its own.
void LoadShippedFonts() {
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    for (const QString& name :
         folder.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.ttc")}, QDir::Files)) {
        QFontDatabase::addApplicationFont(folder.filePath(name));
    }
}

}  // namespace

QString ChineseFamily() {
    static const QString family = [] {
        LoadShippedFonts();
        const QStringList preferred = {
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
            QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Droid Sans Fallback")};
        const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        for (const QString& name : preferred) {
            if (installed.contains(name, Qt::CaseInsensitive)) {
                return name;
            }
        }
        return installed.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()
                                   : installed.first();
    }();
    return family;
}

QFont ScreenFont(const QString& name, double pointSize) {
    const QString chinese = ChineseFamily();
    static const QStringList replaced = {QStringLiteral("Tahoma"), QStringLiteral("宋体"),
                                         QStringLiteral("SimSun"), QStringLiteral("新宋体")};
    const bool substitute = name.trimmed().isEmpty() ||
                            replaced.contains(name.trimmed(), Qt::CaseInsensitive) ||
                            !QFontDatabase::hasFamily(name.trimmed());
    QFont font(substitute ? chinese : name.trimmed());
    double size = pointSize > 0 ? pointSize : kMinimumChinesePointSize;
    if (substitute) {
        size = std::max(size, kMinimumChinesePointSize);
    }
    font.setPointSizeF(size);
    return font;
}

}  // namespace ui
