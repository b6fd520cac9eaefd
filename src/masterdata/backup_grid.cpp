#include "masterdata/backup_grid.h"

#include "core/date_text.h"
#include "core/number_text.h"
#include "ui/grid.h"

namespace {

const QString kDateHeading = QStringLiteral("备份日期");
const QString kSizeHeading = QStringLiteral("大小");
const QString kKindHeading = QStringLiteral("说明");
const QString kDaily = QStringLiteral("每日备份");
const QString kSafety = QStringLiteral("恢复前的数据");
const QString kSpace = QStringLiteral("备份共占用 %1\n每日备份 %2 个，%3；恢复前的数据 %4 个，%5");

constexpr int kHeadingHeight = 25;
constexpr int kRowHeight = 20;

}  // namespace

void FillBackupGrid(ui::Grid* grid, const QList<BackupFile>& files) {
    grid->applyStandardLook();
    grid->setGridFont(QStringLiteral("Tahoma"), 8);
    grid->setCols(4);
    grid->setRows(1);
    grid->setRowHeight(0, kHeadingHeight);
    grid->setColumnWidth(0, 0);
    grid->setColumnWidth(1, 150);
    grid->setColumnWidth(2, 90);
    grid->setColumnWidth(3, 120);
    grid->setColumnAlignment(2, 14);  // right, centred vertically
    grid->setCellText(0, 1, kDateHeading);
    grid->setCellText(0, 2, kSizeHeading);
    grid->setCellText(0, 3, kKindHeading);
    for (int col = 1; col <= 3; ++col) {
        grid->setColumnLocked(col, true);
    }
    grid->setRows(int(files.size()) + 1);
    int row = 1;
    for (const BackupFile& file : files) {
        grid->setRowHeight(row, kRowHeight);
        grid->setCellText(row, 0, file.path);
        grid->setCellText(row, 1,
                          file.safetyCopy
                              ? file.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                              : DateText(file.taken.date()));
        grid->setCellText(row, 2, FileSizeText(file.size));
        grid->setCellText(row, 3, file.safetyCopy ? kSafety : kDaily);
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
