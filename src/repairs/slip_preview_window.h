#pragma once

#include <QWidget>

#include "repairs/slip.h"

class QPrinter;
class QPushButton;
class SlipView;

// The customer's repair slip as it will print, with buttons to choose the printer and to print.
// The order entry window fills it with load() and shows it modally (ShowSlipPreview).
class SlipPreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit SlipPreviewWindow(QWidget* parent = nullptr);

    QPushButton* Command1;
    QPushButton* Command3;
    // Writes the same slip to a PDF file the operator names.
    QPushButton* Command2;
    SlipView* slipView;

    void load(const Slip& slip);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    // Prints the slip as one page on `printer`, on the paper chosen in the printer choice
    // window, and closes the window. When the printer fails
    // the operator is told so and the window stays open for another try; false then.
    bool printOn(QPrinter& printer);
};

// Fills the preview with the slip and shows it modally; returns when it has closed, whether the
// slip was printed or not.
void ShowSlipPreview(const Slip& slip);
