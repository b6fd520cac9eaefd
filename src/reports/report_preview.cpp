#include "reports/report_preview.h"

#include <QAction>
#include <QCoreApplication>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QToolBar>

#include "printing/default_printer_window.h"
#include "reports/report_painter.h"
#include "ui/default_printer.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/window_host.h"

namespace {

const QString kCaption = QStringLiteral("打印预览");
const QString kPrintFailed = QStringLiteral("打印失败，请检查打印机后重试！");
const QString kSavePdf = QStringLiteral("另存为PDF");
const QString kChoosePrinter = QStringLiteral("打印机选择");
const QString kPdfFilter = QStringLiteral("PDF 文件 (*.pdf)");
const QString kPdfSaved = QStringLiteral("PDF文件已保存：");
const QString kPdfFailed = QStringLiteral("保存PDF文件失败：");

// The dialog's own print action, found by its text in whatever language the program speaks.
QAction* FindPrintAction(QToolBar* toolbar) {
    const QString text = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    for (QAction* action : toolbar->actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

ReportPreview::ReportPreview(QWidget* parent) : QPrintPreviewDialog(parent) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(kCaption);
    previewWidget = findChild<QPrintPreviewWidget*>();
    auto* toolbar = findChild<QToolBar*>();
    if (toolbar) {
        printAction = FindPrintAction(toolbar);
        // The dialog would ask for a printer first; the report goes to the default one, as
        // everything else the shop prints.
        if (printAction) {
            disconnect(printAction, &QAction::triggered, this, nullptr);
            printAction->setObjectName(QStringLiteral("printAction"));
            printAction->setToolTip(QStringLiteral("打印到默认打印机"));
        }
        toolbar->addSeparator();
        printerAction = toolbar->addAction(kChoosePrinter);
        pdfAction = toolbar->addAction(kSavePdf);
    }
    if (!printAction) {
        printAction = new QAction(QStringLiteral("打印"), this);
        printAction->setObjectName(QStringLiteral("printAction"));
        if (toolbar) {
            toolbar->addAction(printAction);
        }
    }
    if (!printerAction) {
        printerAction = new QAction(kChoosePrinter, this);
    }
    if (!pdfAction) {
        pdfAction = new QAction(kSavePdf, this);
    }
    printerAction->setObjectName(QStringLiteral("printerAction"));
    pdfAction->setObjectName(QStringLiteral("pdfAction"));
    connect(printAction, &QAction::triggered, this, &ReportPreview::printAction_Click);
    connect(pdfAction, &QAction::triggered, this, &ReportPreview::pdfAction_Click);
    connect(printerAction, &QAction::triggered, this, &ReportPreview::printerAction_Click);
    connect(this, &QPrintPreviewDialog::paintRequested, this, &ReportPreview::paintPages);
    resize(900, 700);
}

void ReportPreview::load(const Report& report) {
    report_ = report;
    SetUpReportPrinter(*printer(), report_);
    // A preview on screen shows the new report at once; a hidden one renders when shown.
    if (previewWidget && isVisible()) {
        previewWidget->updatePreview();
    }
}

void ReportPreview::paintPages(QPrinter* printer) {
    PrintReport(report_, *printer);
}

void ReportPreview::printAction_Click() {
    if (const std::unique_ptr<QPrinter> printer = ui::DefaultPrinter(this)) {
        printOn(*printer);
    }
}

bool ReportPreview::printOn(QPrinter& printer) {
    SetUpReportPrinter(printer, report_);
    // The operator may have turned the page in the preview.
    printer.setPageOrientation(this->printer()->pageLayout().orientation());
    if (!PrintReport(report_, printer)) {
        ui::Stop(this, kPrintFailed);
        return false;
    }
    close();
    return true;
}

void ReportPreview::printerAction_Click() {
    ui::WindowHost::show(ui::WindowHost::instance<DefaultPrinterWindow>(),
                         ui::WindowHost::Mode::Modal);
    // Printing asks for the default printer when it starts; the pages shown follow it now.
    const QPrinterInfo chosen = QPrinterInfo::defaultPrinter();
    if (!chosen.isNull() && chosen.printerName() != printer()->printerName()) {
        printer()->setPrinterName(chosen.printerName());
        SetUpReportPrinter(*printer(), report_);
        if (previewWidget && isVisible()) {
            previewWidget->updatePreview();
        }
    }
}

void ReportPreview::pdfAction_Click() {
    QString path = ui::FileDialog::saveFileName(this, kSavePdf,
                                                report_.title + QStringLiteral(".pdf"), kPdfFilter);
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".pdf");
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    SetUpReportPrinter(printer, report_);
    printer.setPageOrientation(this->printer()->pageLayout().orientation());
    if (!PrintReport(report_, printer)) {
        ui::Stop(this, kPdfFailed + path);
        return;
    }
    ui::Information(this, kPdfSaved + path);
}

void ShowReportPreview(const Report& report) {
    auto* preview = ui::WindowHost::instance<ReportPreview>();
    preview->load(report);
    ui::WindowHost::show(preview, ui::WindowHost::Mode::Modal);
}
