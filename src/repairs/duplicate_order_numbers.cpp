#include "repairs/duplicate_order_numbers.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include "core/order_number_text.h"
#include "data/run_sql.h"
#include "data/schema_migration.h"

namespace {

const QString kOrganization = QStringLiteral("ruvaso");
const QString kApplication = QStringLiteral("order-numbers");
const QString kCheckedKey = QStringLiteral("checked");
// More numbers than this make a message nobody reads; the count says the rest.
constexpr int kNumbersNamed = 10;

const QString kText = QStringLiteral(
    "数据库中有重复的维修单号：%1。\n这些维修单都已保留，查询和统计照常；"
    "新的维修单不会再使用重复的单号。");
const QString kMore = QStringLiteral("等%1个单号");

// One group per data folder; the path is encoded so that its slashes make no subgroups.
QString Group(const QString& dataDir) {
    const QFileInfo info(dataDir);
    const QString canonical = info.canonicalFilePath();
    return QString::fromLatin1(QUrl::toPercentEncoding(
        QDir::cleanPath(canonical.isEmpty() ? info.absoluteFilePath() : canonical)));
}

}  // namespace

DbResult<QStringList> DuplicatedOrderNumbers() {
    return ColumnTexts(DuplicatedOrderNumbersQuery());
}

QString DuplicatedOrderNumbersText(const QStringList& numbers) {
    QStringList shown;
    for (int i = 0; i < numbers.size() && i < kNumbersNamed; ++i) {
        shown << OrderNumberText(numbers[i]);
    }
    QString list = shown.join(QStringLiteral("、"));
    if (numbers.size() > kNumbersNamed) {
        list += kMore.arg(numbers.size());
    }
    return kText.arg(list);
}

bool OrderNumbersChecked(const QString& dataDir) {
    QSettings settings(kOrganization, kApplication);
    return settings.value(Group(dataDir) + QLatin1Char('/') + kCheckedKey).toBool();
}

void SetOrderNumbersChecked(const QString& dataDir) {
    QSettings settings(kOrganization, kApplication);
    settings.setValue(Group(dataDir) + QLatin1Char('/') + kCheckedKey, true);
    settings.sync();
}
