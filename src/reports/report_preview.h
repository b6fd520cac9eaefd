#pragma once

#include <QPrintPreviewDialog>

#include "reports/report_layout.h"

class QAction;
class QPrintPreviewWidget;

// The print preview of a statistics report, page by page, from which the operator chooses the
// default printer, prints on it or saves the report as a PDF file. Opened modally by
// ShowReportPreview.
class ReportPreview : public QPrintPreviewDialog {
    Q_OBJECT

public:
    explicit ReportPreview(QWidget* parent = nullptr);

    // The preview's own print button, which prints on the default printer without asking.
    QAction* printAction = nullptr;
    QAction* pdfAction = nullptr;
    QAction* printerAction = nullptr;  // "打印机选择"
    QPrintPreviewWidget* previewWidget = nullptr;

    void load(const Report& report);
    const Report& report() const { return report_; }

    // Prints every page on the default printer and closes the preview; without a default
    // printer the operator is told so and the preview stays.
    void printAction_Click();
    void pdfAction_Click();
    // Opens the printer choice; the preview then shows and prints for the printer chosen.
    void printerAction_Click();
    // Prints on `printer`, which is set up for the report first; closes the preview when done.
    // When the printer fails the operator is told so and the preview stays; false then.
    bool printOn(QPrinter& printer);

private:
    void paintPages(QPrinter* printer);

    Report report_;
};

// Shows the report in the preview, modally.
void ShowReportPreview(const Report& report);
