#pragma once

#include <QDialog>
#include <QPrinter>

#include "reports/report_layout.h"
#include "reports/report_page_view.h"

class QAction;
class QLabel;
class QSpinBox;
class QToolBar;

// The print preview of a statistics report, page by page, from which the operator chooses the
// default printer, prints on it or saves the report as a PDF file. Pages are laid out once and
// painted as they scroll into view. Opened modally by ShowReportPreview.
class ReportPreview : public QDialog {
    Q_OBJECT

public:
    explicit ReportPreview(QWidget* parent = nullptr);
    ~ReportPreview() override;

    QToolBar* toolbar = nullptr;
    QAction* fitWidthAction = nullptr;
    QAction* fitPageAction = nullptr;
    QAction* zoomInAction = nullptr;
    QAction* zoomOutAction = nullptr;
    QAction* portraitAction = nullptr;
    QAction* landscapeAction = nullptr;
    QAction* firstPageAction = nullptr;
    QAction* previousPageAction = nullptr;
    QSpinBox* pageNumber = nullptr;
    QLabel* pageCountLabel = nullptr;
    QAction* nextPageAction = nullptr;
    QAction* lastPageAction = nullptr;
    // The preview's own print button, which prints on the default printer without asking.
    QAction* printAction = nullptr;
    QAction* printerAction = nullptr;  // "打印机选择"
    QAction* pdfAction = nullptr;
    ReportPageView* previewWidget = nullptr;

    // Lays the report out for the preview's printer; fails when its rows cannot be read.
    DbStatus load(const Report& report);
    const Report& report() const { return report_; }
    // The printer the pages are shown for.
    QPrinter* printer() { return &printer_; }

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
    void buildToolbar();
    // Lays the report out again for the printer as it is set up now.
    DbStatus layOut();
    void turn(QPageLayout::Orientation orientation);
    void showPage(int page);

    QPrinter printer_;
    Report report_;
};

// Shows the report in the preview, modally; when its rows cannot be read, says why over
// `parent` instead.
void ShowReportPreview(const Report& report, QWidget* parent = nullptr);
