#include "reports/report_preview.h"

#include <QAction>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPrinterInfo>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include "printing/default_printer_window.h"
#include "reports/report_painter.h"
#include "ui/default_printer.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/window_host.h"

namespace {

const QString kCaption = QStringLiteral("打印预览");
const QString kPrint = QStringLiteral("打印");
const QString kPrintTip = QStringLiteral("打印到默认打印机");
const QString kPrintFailed = QStringLiteral("打印失败，请检查打印机后重试！");
const QString kSavePdf = QStringLiteral("另存为PDF");
const QString kChoosePrinter = QStringLiteral("打印机选择");
const QString kPdfFilter = QStringLiteral("PDF 文件 (*.pdf)");
const QString kPdfSaved = QStringLiteral("PDF文件已保存：");
const QString kPdfFailed = QStringLiteral("保存PDF文件失败：");
const QString kFitWidth = QStringLiteral("适合宽度");
const QString kFitPage = QStringLiteral("适合页面");
const QString kZoomIn = QStringLiteral("放大");
const QString kZoomOut = QStringLiteral("缩小");
const QString kPortrait = QStringLiteral("纵向");
const QString kLandscape = QStringLiteral("横向");
const QString kFirstPage = QStringLiteral("第一页");
const QString kPreviousPage = QStringLiteral("上一页");
const QString kNextPage = QStringLiteral("下一页");
const QString kLastPage = QStringLiteral("最后一页");
const QString kPageNumber = QStringLiteral("页码");

constexpr double kZoomStep = 1.25;

// The icons the toolkit's own preview uses: the desktop's theme first, else those it ships.
QIcon PreviewIcon(const char* name) {
    return QIcon::fromTheme(
        QLatin1String(name),
        QIcon(QStringLiteral(":/qt-project.org/dialogs/qprintpreviewdialog/images/%1-24.png")
                  .arg(QLatin1String(name))));
}

QAction* AddAction(QToolBar* toolbar, const QString& text, const char* name, const QIcon& icon) {
    QAction* action = toolbar->addAction(icon, text);
    action->setObjectName(QLatin1String(name));
    return action;
}

}  // namespace

ReportPreview::ReportPreview(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(kCaption);
    buildToolbar();
    previewWidget = new ReportPageView(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(previewWidget, 1);

    connect(printAction, &QAction::triggered, this, &ReportPreview::printAction_Click);
    connect(pdfAction, &QAction::triggered, this, &ReportPreview::pdfAction_Click);
    connect(printerAction, &QAction::triggered, this, &ReportPreview::printerAction_Click);
    connect(fitWidthAction, &QAction::triggered, this,
            [this] { previewWidget->setFit(ReportPageView::Fit::Width); });
    connect(fitPageAction, &QAction::triggered, this,
            [this] { previewWidget->setFit(ReportPageView::Fit::Page); });
    connect(zoomInAction, &QAction::triggered, this,
            [this] { previewWidget->setZoomFactor(previewWidget->zoomFactor() * kZoomStep); });
    connect(zoomOutAction, &QAction::triggered, this,
            [this] { previewWidget->setZoomFactor(previewWidget->zoomFactor() / kZoomStep); });
    connect(portraitAction, &QAction::triggered, this, [this] { turn(QPageLayout::Portrait); });
    connect(landscapeAction, &QAction::triggered, this, [this] { turn(QPageLayout::Landscape); });
    connect(firstPageAction, &QAction::triggered, this, [this] { showPage(1); });
    connect(previousPageAction, &QAction::triggered, this,
            [this] { showPage(previewWidget->currentPage() - 1); });
    connect(nextPageAction, &QAction::triggered, this,
            [this] { showPage(previewWidget->currentPage() + 1); });
    connect(lastPageAction, &QAction::triggered, this,
            [this] { showPage(previewWidget->pageCount()); });
    connect(pageNumber, &QSpinBox::valueChanged, this, &ReportPreview::showPage);
    connect(previewWidget, &ReportPageView::currentPageChanged, this, [this](int page) {
        const QSignalBlocker quiet(pageNumber);
        pageNumber->setValue(page);
    });
    connect(previewWidget, &ReportPageView::readFailed, this,
            [this](const QString& reason) { ui::ShowDatabaseError(this, reason); });
    resize(900, 700);
}

ReportPreview::~ReportPreview() {
    // Closing moves the focus, which would commit a page number half typed into a dying view.
    pageNumber->blockSignals(true);
}

void ReportPreview::buildToolbar() {
    toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setIconSize(QSize(24, 24));
    fitWidthAction = AddAction(toolbar, kFitWidth, "fitWidthAction", PreviewIcon("zoom-fit-width"));
    fitPageAction = AddAction(toolbar, kFitPage, "fitPageAction", PreviewIcon("zoom-fit-page"));
    zoomInAction = AddAction(toolbar, kZoomIn, "zoomInAction", PreviewIcon("zoom-in"));
    zoomOutAction = AddAction(toolbar, kZoomOut, "zoomOutAction", PreviewIcon("zoom-out"));
    toolbar->addSeparator();
    portraitAction =
        AddAction(toolbar, kPortrait, "portraitAction", PreviewIcon("layout-portrait"));
    landscapeAction =
        AddAction(toolbar, kLandscape, "landscapeAction", PreviewIcon("layout-landscape"));
    portraitAction->setCheckable(true);
    landscapeAction->setCheckable(true);
    toolbar->addSeparator();
    firstPageAction = AddAction(toolbar, kFirstPage, "firstPageAction", PreviewIcon("go-first"));
    previousPageAction =
        AddAction(toolbar, kPreviousPage, "previousPageAction", PreviewIcon("go-previous"));
    pageNumber = new QSpinBox(toolbar);
    pageNumber->setObjectName(QStringLiteral("pageNumber"));
    pageNumber->setAccessibleName(kPageNumber);
    pageNumber->setRange(1, 1);
    pageNumber->setButtonSymbols(QAbstractSpinBox::NoButtons);
    pageNumber->setAlignment(Qt::AlignRight);
    pageNumber->setKeyboardTracking(false);
    toolbar->addWidget(pageNumber);
    pageCountLabel = new QLabel(toolbar);
    pageCountLabel->setObjectName(QStringLiteral("pageCountLabel"));
    pageCountLabel->setBuddy(pageNumber);
    toolbar->addWidget(pageCountLabel);
    nextPageAction = AddAction(toolbar, kNextPage, "nextPageAction", PreviewIcon("go-next"));
    lastPageAction = AddAction(toolbar, kLastPage, "lastPageAction", PreviewIcon("go-last"));
    toolbar->addSeparator();
    printAction = AddAction(toolbar, kPrint, "printAction", PreviewIcon("printer"));
    printAction->setToolTip(kPrintTip);
    toolbar->addSeparator();
    printerAction = AddAction(toolbar, kChoosePrinter, "printerAction", QIcon());
    pdfAction = AddAction(toolbar, kSavePdf, "pdfAction", QIcon());
}

DbStatus ReportPreview::load(const Report& report) {
    report_ = report;
    SetUpReportPrinter(printer_, report_);
    return layOut();
}

DbStatus ReportPreview::layOut() {
    const QRectF paper = printer_.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer_.pageRect(QPrinter::DevicePixel);
    const DbResult<ReportPlacement> placement =
        PlaceReport(report_, QRectF(QPointF(0, 0), page.size()), printer_);
    const bool landscape = printer_.pageLayout().orientation() == QPageLayout::Landscape;
    portraitAction->setChecked(!landscape);
    landscapeAction->setChecked(landscape);
    if (!placement) {
        previewWidget->setPages(nullptr, ReportPlacement(), paper.size(), QPointF());
        return DbStatus::failure(placement.error());
    }
    previewWidget->setPages(&report_, *placement, paper.size(), page.topLeft() - paper.topLeft());
    const int pages = std::max(previewWidget->pageCount(), 1);
    pageNumber->setRange(1, pages);
    pageCountLabel->setText(QStringLiteral(" / %1 ").arg(pages));
    return DbOk();
}

void ReportPreview::turn(QPageLayout::Orientation orientation) {
    printer_.setPageOrientation(orientation);
    if (const DbStatus laid = layOut(); !laid) {
        ui::ShowDatabaseError(this, laid.error());
    }
}

void ReportPreview::showPage(int page) {
    previewWidget->setCurrentPage(page);
}

void ReportPreview::printAction_Click() {
    if (const std::unique_ptr<QPrinter> printer = ui::DefaultPrinter(this)) {
        printOn(*printer);
    }
}

bool ReportPreview::printOn(QPrinter& printer) {
    SetUpReportPrinter(printer, report_);
    // The operator may have turned the page in the preview.
    printer.setPageOrientation(printer_.pageLayout().orientation());
    QString readError;
    if (!PrintReport(report_, printer, &readError)) {
        if (!readError.isEmpty()) {
            ui::ShowDatabaseError(this, readError);
        } else {
            ui::Stop(this, kPrintFailed);
        }
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
    if (!chosen.isNull() && chosen.printerName() != printer_.printerName()) {
        printer_.setPrinterName(chosen.printerName());
        SetUpReportPrinter(printer_, report_);
        if (const DbStatus laid = layOut(); !laid) {
            ui::ShowDatabaseError(this, laid.error());
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
    printer.setPageOrientation(printer_.pageLayout().orientation());
    QString readError;
    if (!PrintReport(report_, printer, &readError)) {
        if (!readError.isEmpty()) {
            // A report cut short is not left behind as if it were whole.
            QFile::remove(path);
            ui::ShowDatabaseError(this, readError);
        } else {
            ui::Stop(this, kPdfFailed + path);
        }
        return;
    }
    ui::Information(this, kPdfSaved + path);
}

void ShowReportPreview(const Report& report, QWidget* parent) {
    auto* preview = ui::WindowHost::instance<ReportPreview>();
    if (const DbStatus loaded = preview->load(report); !loaded) {
        ui::ShowDatabaseError(parent, loaded.error());
        return;
    }
    ui::WindowHost::show(preview, ui::WindowHost::Mode::Modal);
}
