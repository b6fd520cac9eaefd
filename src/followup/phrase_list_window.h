#pragma once

#include <QPointer>
#include <QWidget>

#include "followup/phrases.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace ui {
class Grid;
}

// Lists the stored phrases of one kind and deletes them. Form15 serves the call content
// phrases and Form16 the response phrases; closing refills the combo box it was opened for.
class PhraseListWindow : public QWidget {
    Q_OBJECT

public:
    PhraseListWindow(const PhraseList& list, QComboBox* phraseCombo, QWidget* parent = nullptr);

    QLabel* Label11;
    ui::Grid* grid1;
    QPushButton* Command3;
    QPushButton* Command5;

    // The data row the operator last moved to; 0 when none.
    int selectedRow() const { return selectedRow_; }

    void Form_Load();
    void Command3_Click();
    void Command5_Click();
    void grid1_CurrentCellChanged(int row, int col);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    PhraseList list_;
    QPointer<QComboBox> phraseCombo_;
    int selectedRow_ = 0;
};
