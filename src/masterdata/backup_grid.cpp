#include "masterdata/backup_grid.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "core/date_text.h"
#include "core/number_text.h"
#include "ui/grid.h"

namespace {

const QString kDateHeading = QStringLiteral("备份时间");
const QString kPlaceHeading = QStringLiteral("位置");
const QString kDataFolder = QStringLiteral("数据文件夹");
const QString kBackupFolder = QStringLiteral("备份文件夹");
const QString kSizeHeading = QStringLiteral("大小");
const QString kKindHeading = QStringLiteral("说明");
const QString kDaily = QStringLiteral("每日备份");
const QString kSafety = QStringLiteral("恢复前的数据");
const QString kSpace = QStringLiteral("备份共占用 %1\n每日备份 %2 个，%3；恢复前的数据 %4 个，%5");

constexpr int kHeadingHeight = 25;
constexpr int kRowHeight = 20;

}  // namespace

QString BackupTakenText(const BackupFile& file) {
    return file.hasTime ? file.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                        : DateText(file.taken.date());
}

QList<BackupFile> MergeBackups(QList<BackupFile> first, const QList<BackupFile>& second) {
    first += second;
    std::stable_sort(first.begin(), first.end(),
                     [](const BackupFile& a, const BackupFile& b) { return a.taken > b.taken; });
    return first;
}

void FillBackupGrid(ui::Grid* grid, const QList<BackupFile>& files, const QString& dataDir) {
    const QString data = QDir::cleanPath(QFileInfo(dataDir).absoluteFilePath());
    grid->applyStandardLook();
    grid->setGridFont(QStringLiteral("Tahoma"), 8);
    grid->setCols(5);
    grid->setRows(1);
    grid->setRowHeight(0, kHeadingHeight);
    grid->setColumnWidth(0, 0);
    grid->setColumnWidth(1, 130);
    grid->setColumnWidth(2, 90);
    grid->setColumnWidth(3, 110);
    grid->setColumnWidth(4, 90);
    grid->setColumnAlignment(2, 14);  // right, centred vertically
    grid->setCellText(0, 1, kDateHeading);
    grid->setCellText(0, 2, kSizeHeading);
    grid->setCellText(0, 3, kKindHeading);
    grid->setCellText(0, 4, kPlaceHeading);
    for (int col = 1; col <= 4; ++col) {
        grid->setColumnLocked(col, true);
    }
    grid->setRows(int(files.size()) + 1);
    int row = 1;
    for (const BackupFile& file : files) {
        grid->setRowHeight(row, kRowHeight);
        grid->setCellText(row, 0, file.path);
        grid->setCellText(row, 1, BackupTakenText(file));
        grid->setCellText(row, 2, FileSizeText(file.size));
        grid->setCellText(row, 3, file.safetyCopy ? kSafety : kDaily);
        grid->setCellText(
            row, 4, QFileInfo(file.path).absolutePath() == data ? kDataFolder : kBackupFolder);
        ++row;
    }
}

QString BackupPathAt(const ui::Grid* grid, int row) {
    if (row <= 0 || row >= grid->rows()) {
        return {};
    }
    return grid->cellText(row, 0);
}

QString BackupSpaceText(const BackupTotals& totals) {
    return kSpace.arg(FileSizeText(totals.dailyBytes + totals.safetyBytes))
        .arg(totals.dailyCount)
        .arg(FileSizeText(totals.dailyBytes))
        .arg(totals.safetyCount)
        .arg(FileSizeText(totals.safetyBytes));
}
