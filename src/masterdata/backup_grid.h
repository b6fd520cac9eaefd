#pragma once

#include <QList>
#include <QString>

#include "data/backup.h"

namespace ui {
class Grid;
}

// The list of backups both restore windows show: date, size and kind, newest first, one row
// per file. The hidden column 0 holds the file's path.
void FillBackupGrid(ui::Grid* grid, const QList<BackupFile>& files);
// The path of the backup on `row`; empty for the heading row or a row that is not there.
QString BackupPathAt(const ui::Grid* grid, int row);
// What the backups take on the disk, in one line under the list.
QString BackupSpaceText(const BackupTotals& totals);
