#include "reports/statistics_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/clock.h"
#include "masterdata/repair_items.h"
#include "repairs/order_lines_window.h"
#include "reports/excel_export.h"
#include "reports/report_preview.h"
#include "reports/statistics_grid_source.h"
#include "reports/statistics_rows.h"
#include "reports/summary_grid.h"
#include "session/current_operator.h"
#include "ui/bar_chart.h"
#include "ui/busy_indicator.h"
#include "ui/date_picker.h"
#include "ui/file_dialog.h"
#include "ui/fonts.h"
#include "ui/grid.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"
#include "ui/work_progress.h"

namespace {

const QString kDate = QStringLiteral("日期");
const QString kTo = QStringLiteral("至");
const QString kItem = QStringLiteral("项目");
const QString kPlateOrOwner = QStringLiteral("车牌/车主姓名");
const QString kTechnician = QStringLiteral("技师姓名");
const QString kSearchTip = QStringLiteral("查找内容：车牌、车主姓名、手机号  填写完后按回车查找");
const QString kRun = QStringLiteral("统计");
const QString kExport = QStringLiteral("导出Excel");
const QString kClose = QStringLiteral("关闭");
const QString kTotal = QStringLiteral("合计");
const QString kZero = QStringLiteral("0.00");
const QString kExcelFilter = QStringLiteral("Excel 工作簿 (*.xlsx)");
const QString kExcelSaved = QStringLiteral("Excel文件已保存：");
const QString kExcelFailed = QStringLiteral("保存Excel文件失败：");
const QString kExportCancelled = QStringLiteral("导出已取消，没有保存文件。");
const QString kDailyChart = QStringLiteral("每日营业额");
const QString kMonthlyChart = QStringLiteral("每月营业额");
const QString kNoChartData = QStringLiteral("所选日期内没有数据");
const QString kAmountAxis = QStringLiteral("金额（元）");
const QString kSummary = QStringLiteral("维修技师汇总");

constexpr int kRightCentre = 14;
constexpr int kCentre = 10;
constexpr int kGridHeadingHeight = 30;
constexpr int kEmptyRows = 21;

QLabel* Caption(const QString& text, const QString& name, QWidget* parent) {
    return ui::Named(new QLabel(text, parent), name);
}

}  // namespace

StatisticsWindow::StatisticsWindow(StatisticsKind kind, QWidget* parent)
    : QWidget(parent, Qt::Window), description_(DescribeStatistics(kind)) {
    setObjectName(description_.formName);
    setWindowTitle(description_.caption);
    buildControls();

    connect(Command1, &QPushButton::clicked, this, &StatisticsWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &StatisticsWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &StatisticsWindow::Command3_Click);
    connect(Command5, &QPushButton::clicked, this, &StatisticsWindow::Command5_Click);
    ui::CloseOnEscape(this, [this] { Command5_Click(); });
    if (description_.opensLines) {
        connect(grid1, &ui::Grid::currentCellChanged, this,
                &StatisticsWindow::grid1_CurrentCellChanged);
        connect(grid1, &ui::Grid::rowDoubleClicked, this, &StatisticsWindow::grid1_DblClick);
    }
    // Enter in a filter runs the query, as the search box's tip says.
    if (Text1) {
        connect(Text1, &QLineEdit::returnPressed, this, &StatisticsWindow::Command1_Click);
    }
    for (QComboBox* combo : {Combo1, Combo2}) {
        if (auto* box = qobject_cast<ui::ComboBox*>(combo)) {
            connect(box, &ui::ComboBox::KeyDown, this, [this](int key) {
                if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                    Command1_Click();
                }
            });
        }
    }

    Form_Load();
    int listWidth = 0;
    for (int col = 0; col < grid1->cols(); ++col) {
        listWidth += grid1->columnWidth(col);
    }
    resize(QSize(listWidth + 60, chartView || summaryGrid ? 680 : 520).expandedTo(sizeHint()));
}

StatisticsWindow::~StatisticsWindow() {
    // The grid outlives this body; it must not read rows that are about to go.
    grid1->setRows(1);
}

void StatisticsWindow::buildControls() {
    using ui::Named;
    Label6 = Caption(description_.heading, QStringLiteral("Label6"), this);
    QFont headingFont = ui::ScreenFont(QStringLiteral("宋体"), 14);
    headingFont.setBold(true);
    Label6->setFont(headingFont);
    Label6->setAlignment(Qt::AlignCenter);

    QLabel* dateLabel = nullptr;
    if (description_.kind == StatisticsKind::ItemDetail) {
        dateLabel = Label3 = Caption(kDate, QStringLiteral("Label3"), this);
    } else {
        dateLabel = Label7 = Caption(kDate, QStringLiteral("Label7"), this);
    }
    DTPicker1 = Named(new ui::DatePicker(this), QStringLiteral("DTPicker1"));
    dateLabel->setBuddy(DTPicker1);
    Label8 = Caption(kTo, QStringLiteral("Label8"), this);
    DTPicker2 = Named(new ui::DatePicker(this), QStringLiteral("DTPicker2"));
    Label8->setBuddy(DTPicker2);

    auto* filters = new QHBoxLayout;
    filters->setSpacing(6);
    filters->addWidget(dateLabel);
    filters->addWidget(DTPicker1);
    filters->addWidget(Label8);
    filters->addWidget(DTPicker2);
    filters->addSpacing(12);
    if (description_.filters & kItemFilter) {
        Label2 = Caption(kItem, QStringLiteral("Label2"), this);
        auto* items = Named(new ui::ComboBox(this), QStringLiteral("Combo1"));
        items->setTypingAllowed(true);
        items->setMinimumContentsLength(8);
        Combo1 = items;
        Label2->setBuddy(Combo1);
        filters->addWidget(Label2);
        filters->addWidget(Combo1);
        filters->addSpacing(12);
    }
    if (description_.filters & kSearchFilter) {
        Label15 = Caption(kPlateOrOwner, QStringLiteral("Label15"), this);
        Text1 = Named(new QLineEdit(this), QStringLiteral("Text1"));
        Text1->setMinimumWidth(130);
        if (description_.kind == StatisticsKind::Turnover) {
            Text1->setToolTip(kSearchTip);
        }
        Label15->setBuddy(Text1);
        filters->addWidget(Label15);
        filters->addWidget(Text1);
    }
    if (description_.filters & kTechnicianFilter) {
        Label15 = Caption(kTechnician, QStringLiteral("Label15"), this);
        auto* technicians = Named(new ui::ComboBox(this), QStringLiteral("Combo2"));
        technicians->setTypingAllowed(true);
        technicians->setMinimumContentsLength(8);
        Combo2 = technicians;
        Label15->setBuddy(Combo2);
        filters->addWidget(Label15);
        filters->addWidget(Combo2);
    }
    filters->addStretch();

    Command1 = Named(new QPushButton(kRun, this), QStringLiteral("Command1"));
    Command2 = Named(new QPushButton(description_.printCaption, this), QStringLiteral("Command2"));
    Command3 = Named(new QPushButton(kExport, this), QStringLiteral("Command3"));
    Command5 = Named(new QPushButton(kClose, this), QStringLiteral("Command5"));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    for (QPushButton* button : {Command1, Command2, Command3, Command5}) {
        // Not a dialog: a button presses on Enter only when it has the focus.
        button->setAutoDefault(true);
        button->setMinimumWidth(84);
        buttons->addWidget(button);
    }
    filters->addLayout(buttons);

    grid1 = Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(description_.heading);
    grid1->setTabKeyNavigation(false);

    Label1 = Caption(kTotal, QStringLiteral("Label1"), this);
    Text9 = Named(new QLineEdit(kZero, this), QStringLiteral("Text9"));
    Text9->setReadOnly(true);
    Text9->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Text9->setFixedWidth(140);
    Label1->setBuddy(Text9);
    auto* bottom = new QHBoxLayout;
    if (description_.kind == StatisticsKind::Technician) {
        summaryLabel = Caption(kSummary, QStringLiteral("summaryLabel"), this);
        summaryGrid = Named(new ui::Grid(this), QStringLiteral("summaryGrid"));
        summaryGrid->setAccessibleName(kSummary);
        summaryGrid->setTabKeyNavigation(false);
        summaryLabel->setBuddy(summaryGrid);
        auto* summary = new QVBoxLayout;
        summary->setSpacing(4);
        summary->addWidget(summaryLabel);
        summary->addWidget(summaryGrid);
        bottom->addLayout(summary);
    }
    bottom->addStretch();
    bottom->addWidget(Label1, 0, Qt::AlignTop);
    bottom->addWidget(Text9, 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label6);
    layout->addLayout(filters);
    layout->addWidget(grid1, 1);
    layout->addLayout(bottom);

    if (description_.kind == StatisticsKind::Turnover) {
        chartView = Named(new ui::BarChart(this), QStringLiteral("chartView"));
        chartView->setTitle(kDailyChart);
        chartView->setLabelFont(ui::ScreenFont(QStringLiteral("Tahoma"), 7));
        chartView->setMinimumHeight(200);
        chartView->setAccessibleName(kDailyChart);
        layout->addWidget(chartView);
    }

    picLOAD = Named(new ui::BusyIndicator(this), QStringLiteral("picLOAD"));
}

void StatisticsWindow::Form_Load() {
    DTPicker1->setValue(Today());
    DTPicker2->setValue(Today());

    grid1->setAutoRedraw(false);
    grid1->applyStandardLook();
    grid1->setGridFont(QStringLiteral("Tahoma"), 8);
    const int count = int(description_.columns.size());
    grid1->setCols(count);
    grid1->setRows(kEmptyRows);
    grid1->setRowHeight(0, kGridHeadingHeight);
    for (int col = 0; col < count; ++col) {
        const StatisticsColumn& column = description_.columns[col];
        grid1->setCellText(0, col, column.heading);
        if (col > 0) {
            grid1->setColumnAlignment(col, kRightCentre);
        }
        grid1->setHeadingAlignment(col, kCentre);
        if (column.width >= 0) {
            grid1->setColumnWidth(col, column.width);
        }
        grid1->setColumnLocked(col, true);
    }
    grid1->setAutoRedraw(true);
    grid1->refresh();
    if (summaryGrid) {
        SetUpSummaryGrid(*summaryGrid, TechnicianSummaryTable({}));
    }

    // The filter lists; a list that cannot be read leaves its box empty but still typable.
    QComboBox* choices = Combo1 ? Combo1 : Combo2;
    if (choices) {
        const DbResult<QStringList> names = Combo1 ? RepairItemNames() : TechnicianNames();
        if (names) {
            choices->addItems(*names);
        } else {
            ui::ShowDatabaseError(this, names.error());
        }
        choices->setCurrentIndex(-1);
        choices->setEditText(QString());
    }
}

StatisticsFilter StatisticsWindow::filter() const {
    StatisticsFilter f;
    f.from = DTPicker1->value();
    f.to = DTPicker2->value();
    if (Combo1) {
        f.item = Combo1->currentText();
    }
    if (Text1) {
        f.search = Text1->text();
    }
    if (Combo2) {
        f.technician = Combo2->currentText();
    }
    return f;
}

void StatisticsWindow::Command1_Click() {
    ui::BusyGuard busy(picLOAD);
    grid1->setAutoRedraw(false);
    // The grid lets go of the old rows before they are dropped.
    grid1->setRows(1);
    source_.reset();
    rows_.reset();
    Text9->setText(kZero);
    const StatisticsFilter chosen = filter();
    DbResult<std::shared_ptr<StatisticsRows>> opened = StatisticsRows::Open(description_, chosen);
    DbResult<TechnicianSummary> technicians = TechnicianSummary{};
    if (opened && summaryGrid) {
        technicians = ReadTechnicianSummary(chosen);
    }
    if (!opened || !technicians) {
        listed_ = 0;
        listedFilter_.reset();
        updateChart({});
        showSummary({});
        grid1->setAutoRedraw(true);
        grid1->refresh();
        ui::ShowDatabaseError(this, opened ? technicians.error() : opened.error());
        return;
    }
    rows_ = std::move(*opened);
    listed_ = rows_->count();
    listedFilter_ = chosen;
    source_ = std::make_unique<StatisticsGridSource>(rows_);
    grid1->setRowSource(source_.get(), listed_);
    // The first page fits now; later pages widen the columns as they come into view.
    grid1->widenColumnsToContent();
    grid1->widenColumnsFor([this](const auto& visit) {
        source_->walkPage(1,
                          [&](int row, int col, QByteArrayView utf8) { visit(row, col, utf8, 0); });
    });
    Text9->setText(rows_->summary().totalText());
    // The row number outlives the list it was chosen in; show which row it now names.
    if (SelectedRow > 0 && SelectedRow < grid1->rows()) {
        grid1->setCurrentCell(SelectedRow, description_.numberColumn);
    }
    grid1->setAutoRedraw(true);
    grid1->refresh();
    // A new list starts at its top, unless the row kept from the last one is further down.
    if (SelectedRow <= 0 || SelectedRow >= grid1->rows()) {
        grid1->scrollToTop();
    }
    updateChart(rows_->summary().days);
    showSummary(*technicians);
}

void StatisticsWindow::showSummary(const TechnicianSummary& summary) {
    summary_ = summary;
    if (summaryGrid) {
        ShowSummaryGrid(*summaryGrid, TechnicianSummaryTable(summary));
    }
}

void StatisticsWindow::updateChart(const QList<DayAmount>& days) {
    if (!chartView) {
        return;
    }
    const QList<ChartBar> bars = TurnoverBars(days);
    const bool monthly =
        !days.isEmpty() && days.first().day.daysTo(days.last().day) >= kMaxDailyBars;
    QList<ui::BarChart::Bar> shown;
    double top = 0;
    for (const ChartBar& bar : bars) {
        shown.append({bar.label, bar.amount});
        top = std::max(top, bar.amount);
    }
    if (!(top > 0)) {
        // An empty axis says nothing; the title says why there is nothing to draw.
        chartView->setTitle(kNoChartData);
        chartView->setAccessibleName(kNoChartData);
        chartView->setBars(shown);
        return;
    }
    chartView->setTitle(monthly ? kMonthlyChart : kDailyChart);
    chartView->setAccessibleName(chartView->title());
    const AmountAxis scale = RoundAmountAxis(top);
    QList<ui::BarChart::Tick> ticks = {{0, AmountTickText(0)}};
    for (double tick = scale.step; tick <= scale.max + scale.step / 2; tick += scale.step) {
        ticks.append({tick, AmountTickText(tick)});
    }
    chartView->setBars(shown, scale.max, ticks, kAmountAxis);
}

Report StatisticsWindow::currentReport(const QString& shopName) const {
    const int count = grid1->cols();
    // Read again from the database as the report needs them; the key column stays out.
    const auto rows = StatisticsReportRows(rows_);
    QList<int> widths;
    for (int col = 0; col < count; ++col) {
        widths << grid1->columnWidth(col);
    }
    Report report = StatisticsReport(description_, shopName, rows, Text9->text(), CurrentOperator(),
                                     Now(), widths);
    // Before any query the list is empty, and the report names the dates chosen.
    const StatisticsFilter range = listedFilter_ ? *listedFilter_ : filter();
    report.range = ReportRangeText(range.from, range.to);
    if (summaryGrid && listed_ > 0) {
        report.summary = TechnicianSummaryTable(summary_);
        for (int col = 1; col < summaryGrid->cols(); ++col) {
            report.summary.columns[col - 1].width = summaryGrid->columnWidth(col);
        }
    }
    return report;
}

std::optional<Report> StatisticsWindow::readReport() {
    const DbResult<QString> shop = ReadShopName();
    if (!shop) {
        ui::ShowDatabaseError(this, shop.error());
        return std::nullopt;
    }
    return currentReport(*shop);
}

void StatisticsWindow::Command2_Click() {
    std::optional<Report> report;
    {
        ui::BusyGuard busy(picLOAD);
        report = readReport();
    }
    if (report) {
        ShowReportPreview(*report, this);
    }
}

void StatisticsWindow::Command3_Click() {
    QString path = ui::FileDialog::saveFileName(
        this, kExport, description_.caption + QStringLiteral(".xlsx"), kExcelFilter);
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".xlsx");
    }
    ExportOutcome outcome;
    {
        const std::optional<Report> report = readReport();
        if (!report) {
            return;
        }
        ui::WorkProgress progress(picLOAD);
        outcome = StreamWorkbook(
            *report, path, SheetHead::TitleAndDates,
            [&progress](qsizetype done, qsizetype total) { return progress.step(done, total); });
    }
    switch (outcome.end) {
        case ExportOutcome::End::Written:
            ui::Information(this, kExcelSaved + path);
            break;
        case ExportOutcome::End::Cancelled:
            ui::Information(this, kExportCancelled);
            break;
        case ExportOutcome::End::ReadFailed:
            ui::ShowDatabaseError(this, outcome.reason);
            break;
        case ExportOutcome::End::FileFailed:
            ui::Stop(this, kExcelFailed + outcome.reason);
            break;
    }
}

void StatisticsWindow::Command5_Click() {
    close();
}

void StatisticsWindow::grid1_CurrentCellChanged(int row, int) {
    SelectedRow = row;
}

void StatisticsWindow::grid1_DblClick() {
    // The heading row and rows past the list name no order, so nothing is looked up for them.
    const bool listed = rows_ && SelectedRow > 0 && SelectedRow <= listed_;
    ShowOrderLines(this, listed ? rows_->storedNumber(SelectedRow - 1) : QString(),
                   grid1->cellText(SelectedRow, description_.amountColumn));
}

void StatisticsWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ShowStatistics(StatisticsKind kind) {
    const StatisticsDescription& description = DescribeStatistics(kind);
    auto* window = ui::WindowHost::instanceNamed<StatisticsWindow>(description.formName, kind);
    ui::WindowHost::show(
        window, description.modal ? ui::WindowHost::Mode::Modal : ui::WindowHost::Mode::Modeless);
}
