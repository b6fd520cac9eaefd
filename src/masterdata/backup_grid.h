#pragma once

#include <QList>
#include <QString>

#include "data/backup.h"

namespace ui {
class Grid;
}

// The list of backups both restore windows show: date and time, size, kind and whether the file
// is in the data folder `dataDir` or in the backup folder, in the order given, one row per file.
// The hidden column 0 holds the file's path.
void FillBackupGrid(ui::Grid* grid, const QList<BackupFile>& files, const QString& dataDir);
// "2026-12-07 17:20"; only the day when the file does not tell its time.
QString BackupTakenText(const BackupFile& file);
// The backups of the data folder and of the backup folder together, newest first.
QList<BackupFile> MergeBackups(QList<BackupFile> first, const QList<BackupFile>& second);
// The path of the backup on `row`; empty for the heading row or a row that is not there.
QString BackupPathAt(const ui::Grid* grid, int row);
// What the backups take on the disk, in one line under the list.
QString BackupSpaceText(const BackupTotals& totals);
