#include "repairs/slip_preview_window.h"

#include <QHBoxLayout>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "printing/default_printer_window.h"
#include "repairs/slip_painter.h"
#include "repairs/slip_view.h"
#include "ui/default_printer.h"
#include "ui/file_dialog.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"

namespace {

const QString kCaption = QStringLiteral("打印预览");
const QString kChoosePrinter = QStringLiteral("打印机选择");
const QString kPrint = QStringLiteral("打印");
const QString kSlipName = QStringLiteral("维修保养单");
const QString kPrintFailed = QStringLiteral("打印失败，请检查打印机后重试！");
const QString kSavePdf = QStringLiteral("另存为PDF");
const QString kPdfFilter = QStringLiteral("PDF 文件 (*.pdf)");
const QString kPdfSaved = QStringLiteral("PDF文件已保存：");
const QString kPdfFailed = QStringLiteral("保存PDF文件失败：");

}  // namespace

SlipPreviewWindow::SlipPreviewWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form22"));
    setWindowTitle(kCaption);

    Command1 = ui::Named(new QPushButton(kChoosePrinter, this), QStringLiteral("Command1"));
    Command3 = ui::Named(new QPushButton(kPrint, this), QStringLiteral("Command3"));
    Command2 = ui::Named(new QPushButton(kSavePdf, this), QStringLiteral("Command2"));
    slipView = ui::Named(new SlipView(this), QStringLiteral("slipView"));
    slipView->setAccessibleDescription(kSlipName);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(Command1);
    buttons->addWidget(Command3);
    buttons->addWidget(Command2);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->setSpacing(10);
    layout->addLayout(buttons);
    layout->addWidget(slipView, 1);

    setTabOrder(Command3, Command1);
    connect(Command1, &QPushButton::clicked, this, &SlipPreviewWindow::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &SlipPreviewWindow::Command3_Click);
    ui::CloseOnEscape(this, [this] { close(); });
    connect(Command2, &QPushButton::clicked, this, &SlipPreviewWindow::Command2_Click);
    Command3->setFocus();
    // Open at the slip's own size, so the preview reads like the paper.
    resize(sizeHint());
}

void SlipPreviewWindow::load(const Slip& slip) {
    slipView->setSlip(slip);
}

void SlipPreviewWindow::Command1_Click() {
    // The preview goes on once the choice is made; printing then takes the new default.
    ui::WindowHost::show(ui::WindowHost::instance<DefaultPrinterWindow>(),
                         ui::WindowHost::Mode::Modal);
}

void SlipPreviewWindow::Command2_Click() {
    QString suggested = slipView->slip().orderNumber.trimmed();
    suggested =
        (suggested.isEmpty() ? QStringLiteral("维修保养单") : suggested) + QStringLiteral(".pdf");
    QString path = ui::FileDialog::saveFileName(this, kSavePdf, suggested, kPdfFilter);
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".pdf");
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    SetSlipPage(printer, PrinterRecord().slipPaper());
    if (!PrintSlip(slipView->slip(), printer)) {
        ui::Stop(this, kPdfFailed + path);
        return;
    }
    ui::Information(this, kPdfSaved + path);
}

void SlipPreviewWindow::Command3_Click() {
    if (const std::unique_ptr<QPrinter> printer = ui::DefaultPrinter(this)) {
        printOn(*printer);
    }
}

bool SlipPreviewWindow::printOn(QPrinter& printer) {
    SetSlipPage(printer, PrinterRecord().slipPaper());
    if (!PrintSlip(slipView->slip(), printer)) {
        ui::Stop(this, kPrintFailed);
        return false;
    }
    close();
    return true;
}

void ShowSlipPreview(const Slip& slip) {
    auto* window = ui::WindowHost::instance<SlipPreviewWindow>();
    window->load(slip);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
}
