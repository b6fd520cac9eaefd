#include "reports/grid_report_rows.h"

#include <QPointer>

#include "ui/grid.h"

namespace {

const QString kListClosed = QStringLiteral("列表已关闭，无法读取报表数据。");

class GridRows final : public ReportRows {
public:
    GridRows(const ui::Grid& grid, int rows, int firstColumn)
        : grid_(&grid), rows_(rows), firstColumn_(firstColumn) {}

    int count() const override { return rows_; }

    DbStatus read(int first, int count, const Visit& visit) const override {
        if (!grid_) {
            return DbStatus::failure(kListClosed);
        }
        const int columns = std::max(grid_->cols() - firstColumn_, 0);
        QList<QByteArray> texts(columns);
        QList<QByteArrayView> cells(columns);
        const int end = std::min(first + count, rows_);
        for (int row = std::max(first, 0); row < end; ++row) {
            for (int c = 0; c < columns; ++c) {
                texts[c] = grid_->cellText(row + 1, firstColumn_ + c).toUtf8();
                cells[c] = texts[c];
            }
            visit(row, cells);
        }
        return DbOk();
    }

private:
    QPointer<const ui::Grid> grid_;
    int rows_;
    int firstColumn_;
};

}  // namespace

std::shared_ptr<const ReportRows> GridReportRows(const ui::Grid& grid, int rows, int firstColumn) {
    return std::make_shared<const GridRows>(grid, std::max(rows, 0), firstColumn);
}
