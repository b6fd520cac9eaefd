#pragma once

#include <QList>
#include <QWidget>

#include "data/backup.h"

class QLabel;
class QPushButton;

namespace ui {
class Grid;
}

// What the recovery window offers: the damaged database of a data folder and the backups beside
// it that passed the check.
struct Recovery {
    QString dataDir;
    QString problem;            // why the database was refused, or what the check found
    bool databaseOpen = false;  // the damaged file opened; its damage showed later
    QList<BackupFile> backups;  // newest first
    int rejected = 0;           // backups that did not pass the check
};

// Shown at start when the database file is damaged: lists the backups that passed the check and
// puts the chosen one in place. The damaged file stays in the data folder, as it is, under a
// name of its own. Declining ends the program when the damaged file could not be opened, and
// goes on with it otherwise.
class RecoveryWindow : public QWidget {
    Q_OBJECT

public:
    explicit RecoveryWindow(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    ui::Grid* grid1;
    QPushButton* Command1;
    QPushButton* Command2;

    void load(const Recovery& recovery);
    int selectedRow() const { return selectedRow_; }

    void Command1_Click();
    void Command2_Click();
    void grid1_CurrentCellChanged(int row, int col);

Q_SIGNALS:
    // A backup is in place and the database is open.
    void recovered();

private:
    Recovery recovery_;
    int selectedRow_ = 0;
};
