#pragma once

#include <QWidget>

#include "masterdata/master_list.h"

class QLabel;
class QPushButton;

namespace ui {
class Grid;
}

// What tells the two master-list windows apart: the list they edit, and their words.
struct MasterListForm {
    QString formName;
    QString title;
    QString heading;
    const MasterTable* list;
    QString nameHeading;
    QString amountHeading;  // empty when the list has no amount
    QString nothingSelected;
    QString confirmDelete;
    // What one record is called in messages: "维修项目".
    QString recordWord;
};

// Edits a master list in its grid: "添加" stores an empty record at once, "修改" opens the
// columns for typing, "删除" removes the selected record, "保存" writes every row back to the
// record whose key its hidden column holds, "关闭" closes. A row another station changed or
// deleted since it was read is not written over: the save says which, and shows it as stored. Form7
// serves the price list and Form24 the technicians.
class MasterListWindow : public QWidget {
    Q_OBJECT

public:
    static const MasterListForm& RepairItems();
    static const MasterListForm& Technicians();

    explicit MasterListWindow(const MasterListForm& form, QWidget* parent = nullptr);

    QLabel* Label1;
    ui::Grid* grid1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;

    // The data row the operator last moved to; 0 when none.
    int selectedRow() const { return selectedRow_; }

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void grid1_CurrentCellChanged(int row, int col);

protected:
    // Closing with typed changes not yet saved asks whether to save them first.
    void closeEvent(QCloseEvent* event) override;

private:
    void setEditable(bool editable);
    // Whether some row holds a name or amount other than the one read or stored.
    bool hasUnsavedEdits();
    // Writes every row back; true once stored (and said so).
    bool save();
    // Ends typing in a cell, so what was typed is in the grid before it is read.
    void commitTyping();
    int dataColumns() const;
    // Says which rows another station changed or deleted since they were read, and shows
    // those rows as stored now; the operator's other rows stay as typed.
    void showConflicts(const QList<MasterRow>& rows, const QList<MasterConflict>& conflicts);

    const MasterListForm& form_;
    int selectedRow_ = 0;
    // Each data row's name and amount as read or stored by this window; entry i is row i + 1.
    LoadedRows loaded_;
    // The operator already chose to close without (or after) saving.
    bool closeAnswered_ = false;
};
