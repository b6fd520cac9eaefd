#include "import/sheet_heading.h"

#include <QHash>

namespace {

// The names shops give the columns, after NormalizedHeading.
const QHash<QString, SheetColumn>& KnownNames() {
    static const QHash<QString, SheetColumn> names = [] {
        const std::pair<SheetColumn, QStringList> lists[] = {
            {kPlateColumn, {"车牌", "车牌号", "车牌号码"}},
            {kOwnerColumn, {"车主", "姓名", "车主姓名", "客户姓名"}},
            {kTelephoneColumn, {"电话", "手机", "联系电话", "手机号", "手机号码"}},
            {kModelColumn, {"车型", "车辆型号"}},
            {kReminderDateColumn, {"提醒日期", "下次保养日期", "保养日期"}},
            {kEntryDateColumn, {"登记日期", "建档日期"}},
            {kIdentityColumn, {"身份证", "身份证号", "身份证号码"}},
            {kSexColumn, {"性别"}},
        };
        QHash<QString, SheetColumn> all;
        for (const auto& [column, list] : lists) {
            for (const QString& name : list) {
                all.insert(name, column);
            }
        }
        return all;
    }();
    return names;
}

constexpr SheetColumn kRequired[] = {kPlateColumn, kOwnerColumn, kSexColumn};

}  // namespace

SheetHeading PositionHeading() {
    SheetHeading heading;
    heading.target.fill(-1);
    for (int c = 0; c < kSheetColumnCount; ++c) {
        heading.target[size_t(c)] = c;
    }
    return heading;
}

QString NormalizedHeading(const QString& text) {
    QString name = text.normalized(QString::NormalizationForm_KC);
    name.removeIf([](QChar c) { return c.isSpace(); });
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QLatin1Char('*'))) {
        name.chop(1);
    }
    while (name.startsWith(QLatin1Char('*'))) {
        name.remove(0, 1);
    }
    return name;
}

std::optional<SheetColumn> HeadingColumn(const QString& text) {
    const auto found = KnownNames().constFind(NormalizedHeading(text));
    if (found == KnownNames().constEnd()) {
        return std::nullopt;
    }
    return *found;
}

bool NamesColumns(const FileRow& row) {
    std::array<bool, kSheetColumnCount> named{};
    int count = 0;
    for (const QString& text : row) {
        if (const std::optional<SheetColumn> column = HeadingColumn(text)) {
            count += named[*column] ? 0 : 1;
            named[*column] = true;
        }
    }
    return count >= 2;
}

SheetHeading HeadingFromRow(const FileRow& row) {
    SheetHeading heading;
    heading.target.fill(-1);
    heading.named = true;
    std::array<bool, kSheetColumnCount> taken{};
    for (size_t c = 0; c < row.size(); ++c) {
        const QString text = row[c].trimmed();
        if (text.isEmpty()) {
            continue;
        }
        const std::optional<SheetColumn> column = HeadingColumn(text);
        if (!column || taken[*column]) {
            heading.ignored << text;
            continue;
        }
        taken[*column] = true;
        heading.target[c] = *column;
    }
    for (SheetColumn column : kRequired) {
        if (!taken[column]) {
            heading.missing << SheetHeadings()[column];
        }
    }
    return heading;
}

QString MissingColumnsText(const SheetHeading& heading) {
    return heading.missing.join(QStringLiteral("、"));
}
