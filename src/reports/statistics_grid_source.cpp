#include "reports/statistics_grid_source.h"

#include "reports/statistics_rows.h"

StatisticsGridSource::StatisticsGridSource(std::shared_ptr<const StatisticsRows> rows)
    : rows_(std::move(rows)),
      shown_(size_t((rows_->count() + StatisticsRows::kPageRows - 1) / StatisticsRows::kPageRows)) {
}

QString StatisticsGridSource::text(int row, int col) {
    const int index = (row - 1) / StatisticsRows::kPageRows;
    if (watcher_ && row >= 1 && row <= rows_->count() && !shown_[size_t(index)]) {
        watcher_([&](const PageTexts& texts) { walkPage(row, texts); });
    }
    return QString::fromUtf8(rows_->cell(row - 1, col));
}

void StatisticsGridSource::watchPages(PageWatcher watcher) {
    watcher_ = std::move(watcher);
}

void StatisticsGridSource::walkPage(int row, const PageTexts& texts) {
    const int index = (row - 1) / StatisticsRows::kPageRows;
    if (row < 1 || row > rows_->count() || shown_[size_t(index)]) {
        return;
    }
    shown_[size_t(index)] = true;
    const int first = index * StatisticsRows::kPageRows;
    // A page that cannot be read shows empty; the grid learns nothing from it.
    (void)rows_->read(first, StatisticsRows::kPageRows,
                      [&](int at, const QList<QByteArrayView>& cells) {
                          for (int col = 0; col < int(cells.size()); ++col) {
                              texts(at + 1, col, cells[col]);
                          }
                      });
}
