#include "app/copy_command.h"

#include <QLocale>

#include "core/console.h"
#include "data/database.h"
#include "data/server_copy.h"

namespace {

QString Number(qint64 value) {
    return QLocale(QLocale::Chinese, QLocale::China).toString(value);
}

QString Amount(qint64 cents) {
    return QString::number(double(cents) / 100, 'f', 2);
}

}  // namespace

int RunCopyCommand(const QString& dataDir, const QString& uri) {
    const Database::OpenResult opened = Database::Open(dataDir);
    if (!opened.ok) {
        Say(stderr, QStringLiteral("无法打开数据库：") + opened.message);
        return kCopyNotDone;
    }
    const CopyReport report = CopyShopToServer(uri, [](const CopyProgress& step) {
        Say(stderr, QStringLiteral("正在复制 %1：%2 / %3 行")
                        .arg(step.table, Number(step.copied), Number(step.total)));
    });
    Database::Close();
    if (!report.ok) {
        Say(stderr, QStringLiteral("复制失败：") + report.message);
        return kCopyNotDone;
    }
    Say(stdout, QStringLiteral("复制完成，已核对："));
    for (const CopiedTable& table : report.tables) {
        Say(stdout, QStringLiteral("%1\t%2 行\t金额合计 %3")
                        .arg(table.table, Number(table.serverRows), Amount(table.serverCents)));
    }
    if (report.textAmounts > 0) {
        Say(stdout, QStringLiteral("有 %1 个金额在文件中不是数字，已按文件的合计方式存为数字。")
                        .arg(Number(report.textAmounts)));
    }
    return kCopyDone;
}
