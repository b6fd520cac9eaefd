#include "app/customer_list_source.h"

#include "app/customer_list_rows.h"

CustomerListSource::CustomerListSource(std::shared_ptr<CustomerListRows> rows,
                                       std::vector<int> fields)
    : rows_(std::move(rows)),
      fields_(std::move(fields)),
      shown_(size_t((rows_->count() + CustomerListRows::kPageRows - 1) /
                    CustomerListRows::kPageRows)) {}

QString CustomerListSource::text(int row, int col) {
    if (col < 0 || col >= int(fields_.size())) {
        return {};
    }
    const size_t index = size_t((row - 1) / CustomerListRows::kPageRows);
    if (watcher_ && row >= 1 && row <= rows_->count() && index < shown_.size() && !shown_[index]) {
        watcher_([&](const PageTexts& texts) { walkPage(row, texts); });
    }
    return QString::fromUtf8(rows_->cell(row - 1, fields_[size_t(col)]));
}

void CustomerListSource::watchPages(PageWatcher watcher) {
    watcher_ = std::move(watcher);
}

void CustomerListSource::remove(int row) {
    rows_->remove(row - 1);
}

void CustomerListSource::walkPage(int row, const PageTexts& texts) {
    const size_t index = size_t((row - 1) / CustomerListRows::kPageRows);
    if (index >= shown_.size() || shown_[index]) {
        return;
    }
    shown_[index] = true;
    const int first = int(index) * CustomerListRows::kPageRows;
    // A page that cannot be read shows empty; the grid learns nothing from it.
    (void)rows_->read(first, CustomerListRows::kPageRows,
                      [&](int at, const QList<QByteArrayView>& cells) {
                          for (int col = 0; col < int(fields_.size()); ++col) {
                              texts(at + 1, col, cells[fields_[size_t(col)]]);
                          }
                      });
}
