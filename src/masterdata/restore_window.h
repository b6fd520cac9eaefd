#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace ui {
class Grid;
}

// Lists the backups of the data folder (the daily ones and the copies a restore kept) and of the
// backup folder, newest first, with the space they take in the data folder, and puts the chosen
// one, or any file the operator picks, in place of the database in use after checking it. The
// database in use is first copied under a name of its own (kept as it is when it is damaged);
// after a restore everyone logs in again. On a server the list holds its dumps, and a restore
// waits until no other station is connected.
class RestoreWindow : public QWidget {
    Q_OBJECT

public:
    explicit RestoreWindow(QWidget* parent = nullptr);

    QLabel* Label1;
    ui::Grid* grid1;
    QLabel* Label2;
    QPushButton* Command1;
    QPushButton* Command3;
    QPushButton* Command2;

    int selectedRow() const { return selectedRow_; }

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void grid1_CurrentCellChanged(int row, int col);

private:
    // Asks `question`, then restores from `chosen`; stays open when anything fails.
    void restoreFrom(const QString& chosen, const QString& question);
    // The same on a server: the database is closed while the dump is put back, then opened again.
    void restoreOnServer(const QString& chosen);
    // Ends the session: the shell closes every window and shows the login again, as the windows
    // show data that is gone.
    void logInAgain();

    int selectedRow_ = 0;
};
