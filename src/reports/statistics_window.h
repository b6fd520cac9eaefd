#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "reports/report_layout.h"
#include "reports/statistics.h"
#include "reports/technician_summary.h"

class StatisticsGridSource;
class StatisticsRows;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class BarChart;
class BusyIndicator;
class DatePicker;
class Grid;
}  // namespace ui

// Form19, Form20 and Form25: the orders or order lines of a date range that pass the list's
// filter, with the sum of their amounts, a printable report and a workbook export. One class
// serves the three, configured by the list's description; controls a list does not have stay
// null. Turnover (Form19) also shows the turnover per day as a bar chart.
class StatisticsWindow : public QWidget {
    Q_OBJECT

public:
    explicit StatisticsWindow(StatisticsKind kind, QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    const StatisticsDescription& description() const { return description_; }

    QLabel* Label6;
    QLabel* Label7 = nullptr;  // "日期" (Form19, Form25)
    QLabel* Label3 = nullptr;  // "日期" (Form20)
    ui::DatePicker* DTPicker1;
    QLabel* Label8;
    ui::DatePicker* DTPicker2;
    QLabel* Label2 = nullptr;  // "项目" (Form20)
    QComboBox* Combo1 = nullptr;
    QLabel* Label15 = nullptr;
    QLineEdit* Text1 = nullptr;
    QComboBox* Combo2 = nullptr;  // technician (Form25)
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;  // "导出Excel"
    QPushButton* Command5;
    ui::Grid* grid1;
    QLabel* Label1;
    QLineEdit* Text9;
    ui::BarChart* chartView = nullptr;  // Form19
    QLabel* summaryLabel = nullptr;     // Form25: the orders and turnover of each technician
    ui::Grid* summaryGrid = nullptr;
    ui::BusyIndicator* picLOAD;

    // The list row the operator last moved to; 0 when none. Kept across queries while that row
    // still exists.
    int SelectedRow = 0;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command5_Click();
    void grid1_CurrentCellChanged(int row, int col);
    void grid1_DblClick();

    // The report of what the list shows now, as it would print for this shop.
    Report currentReport(const QString& shopName) const;
    // Rows listed by the last query.
    int listedRows() const { return listed_; }
    // The rows themselves; null before the first query.
    std::shared_ptr<const StatisticsRows> rows() const { return rows_; }
    // The technicians' summary of the listed orders (Form25).
    const TechnicianSummary& technicianSummary() const { return summary_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void updateChart(const QList<DayAmount>& days);
    void showSummary(const TechnicianSummary& summary);
    StatisticsFilter filter() const;
    // The current report with the shop's name; nothing, after the database-error message,
    // when the name cannot be read.
    std::optional<Report> readReport();

    const StatisticsDescription& description_;
    int listed_ = 0;
    // The listed rows, read as the grid shows them.
    std::shared_ptr<StatisticsRows> rows_;
    std::unique_ptr<StatisticsGridSource> source_;
    // The filter of the listed rows, so the report states the dates they come from.
    std::optional<StatisticsFilter> listedFilter_;
    TechnicianSummary summary_;
};

// Opens the list's window: modal for turnover and item detail, not modal for technicians.
void ShowStatistics(StatisticsKind kind);
