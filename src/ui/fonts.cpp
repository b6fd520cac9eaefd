#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

namespace ui {

namespace {

// Chinese glyphs smaller than this are hard to read on screen.
constexpr double kMinimumChinesePointSize = 9.0;

}  // namespace

QString ChineseFamily() {
    static const QString family = [] {
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
    static const QStringList replaced = {QStringLiteral("Tahoma"), QStringLiteral("宋体"),
                                         QStringLiteral("SimSun"), QStringLiteral("新宋体")};
    const bool substitute = name.trimmed().isEmpty() ||
                            replaced.contains(name.trimmed(), Qt::CaseInsensitive) ||
                            !QFontDatabase::hasFamily(name.trimmed());
    QFont font(substitute ? ChineseFamily() : name.trimmed());
    double size = pointSize > 0 ? pointSize : kMinimumChinesePointSize;
    if (substitute) {
        size = std::max(size, kMinimumChinesePointSize);
    }
    font.setPointSizeF(size);
    return font;
}

}  // namespace ui
