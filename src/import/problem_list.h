#pragma once

#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;
class SheetProblems;

// Under the import sheet after an audit or a refused import: how many problems were found,
// one line each, and a note; activating a line asks for its cell.
class ProblemList : public QWidget {
    Q_OBJECT

public:
    explicit ProblemList(QWidget* parent = nullptr);

    QLabel* lblProblems;
    QListWidget* lstProblems;

    // Shows the problems and the note below the count, or hides the list when there is
    // neither.
    void show(const SheetProblems& problems, const QString& note);
    void clear();

    void lstProblems_ItemActivated(QListWidgetItem* item);

Q_SIGNALS:
    // `row` counts from 1 as the sheet shows it; `column` is a SheetColumn.
    void cellChosen(int row, int column);
};
