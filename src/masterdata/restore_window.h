#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace ui {
class Grid;
}

// Lists the backups of the data folder (the daily ones and the copies a restore kept), with the
// space they take, and puts the chosen one in place of the database in use. The database in use
// is first copied under a name of its own (kept as it is when it is damaged); after a restore
// everyone logs in again.
class RestoreWindow : public QWidget {
    Q_OBJECT

public:
    explicit RestoreWindow(QWidget* parent = nullptr);

    QLabel* Label1;
    ui::Grid* grid1;
    QLabel* Label2;
    QPushButton* Command1;
    QPushButton* Command2;

    int selectedRow() const { return selectedRow_; }

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void grid1_CurrentCellChanged(int row, int col);

private:
    // Closes every window and shows the login again: the windows show data that is gone.
    void logInAgain();

    int selectedRow_ = 0;
};
