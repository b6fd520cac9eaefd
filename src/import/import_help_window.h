#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// Form21: how a workbook must look to be imported.
class ImportHelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit ImportHelpWindow(QWidget* parent = nullptr);

    QPlainTextEdit* Text1;
    QPushButton* Command1;

    void Command1_Click();
};
