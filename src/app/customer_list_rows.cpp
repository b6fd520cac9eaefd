#include "app/customer_list_rows.h"

#include <sqlite3.h>

#include <algorithm>
#include <unordered_map>

#include "data/database.h"
#include "data/statement.h"

namespace {

int FieldCount() {
    return int(ListFields().size());
}

}  // namespace

DbResult<std::shared_ptr<CustomerListRows>> CustomerListRows::Open(const ListQuery& query) {
    using Result = DbResult<std::shared_ptr<CustomerListRows>>;
    std::shared_ptr<CustomerListRows> rows(new CustomerListRows());
    const ListQuery keys = ListKeysQuery(query);
    Statement statement;
    if (!statement.prepare(keys.text, keys.params)) {
        return Result::failure(statement.error());
    }
    int result = SQLITE_ROW;
    while ((result = statement.step()) == SQLITE_ROW) {
        rows->keys_.push_back(statement.int64(0));
    }
    if (result != SQLITE_DONE) {
        return Result::failure(statement.error());
    }
    statement.finalize();
    // The first page now, so the list shows at once and a failure shows here.
    QString error;
    if (rows->count() > 0 && rows->page(0, &error) == nullptr) {
        return Result::failure(error);
    }
    return rows;
}

QByteArray CustomerListRows::cell(int row, int field) const {
    if (row < 0 || row >= count() || field < 0 || field >= FieldCount()) {
        return {};
    }
    const Page* kept = page(row);
    if (kept == nullptr) {
        return {};
    }
    const size_t at = size_t(row % kPageRows) * size_t(FieldCount()) + size_t(field);
    const quint32 start = at == 0 ? 0 : kept->ends[at - 1];
    return kept->texts.mid(start, kept->ends[at] - start);
}

DbStatus CustomerListRows::read(int first, int count, const Visit& visit) const {
    first = std::max(first, 0);
    const int last = std::min(first + count, this->count());
    const int fields = FieldCount();
    QList<QByteArrayView> views(fields);
    for (int row = first; row < last;) {
        QString error;
        const Page* kept = page(row, &error);
        if (kept == nullptr) {
            return DbStatus::failure(error);
        }
        const int pageFirst = row / kPageRows * kPageRows;
        for (; row < last && row < pageFirst + kPageRows; ++row) {
            const size_t at = size_t(row - pageFirst) * size_t(fields);
            quint32 start = at == 0 ? 0 : kept->ends[at - 1];
            for (int f = 0; f < fields; ++f) {
                const quint32 end = kept->ends[at + size_t(f)];
                views[f] = QByteArrayView(kept->texts.constData() + start, end - start);
                start = end;
            }
            visit(row, views);
        }
    }
    return DbOk();
}

qint64 CustomerListRows::key(int row) const {
    return row >= 0 && row < count() ? keys_[size_t(row)] : -1;
}

int CustomerListRows::find(qint64 key) const {
    const auto at = std::find(keys_.begin(), keys_.end(), key);
    return at == keys_.end() ? -1 : int(at - keys_.begin());
}

void CustomerListRows::remove(int row) {
    if (row < 0 || row >= count()) {
        return;
    }
    keys_.erase(keys_.begin() + row);
    // Every page from the removed row down holds other rows now.
    pages_.erase(pages_.lower_bound(row / kPageRows), pages_.end());
}

const CustomerListRows::Page* CustomerListRows::page(int row, QString* error) const {
    // After any save the kept pages may show what has changed: read them again as they are now.
    if (const auto mark = Database::ChangeMark(); mark != pagesMark_) {
        pages_.clear();
        pagesMark_ = mark;
    }
    const int index = row / kPageRows;
    if (const auto kept = pages_.find(index); kept != pages_.end()) {
        kept->second.used = ++clock_;
        return &kept->second;
    }
    DbResult<Page> read = readPage(index);
    if (!read) {
        if (error) {
            *error = read.error();
        }
        return nullptr;
    }
    if (int(pages_.size()) >= kKeptPages) {
        const auto oldest = std::min_element(pages_.begin(), pages_.end(), [](auto& a, auto& b) {
            return a.second.used < b.second.used;
        });
        pages_.erase(oldest);
    }
    Page& page = pages_[index] = std::move(*read);
    page.used = ++clock_;
    return &page;
}

DbResult<CustomerListRows::Page> CustomerListRows::readPage(int index) const {
    const int first = index * kPageRows;
    const int last = std::min(first + kPageRows, count());
    const std::vector<qint64> keys(keys_.begin() + first, keys_.begin() + last);
    const ListQuery query = ListRowsByKeys(keys);
    Statement statement;
    if (!statement.prepare(query.text, query.params)) {
        return DbResult<Page>::failure(statement.error());
    }
    // The rows come in no order: gather them by key, then lay them out in the list's order.
    const int fields = FieldCount();
    std::unordered_map<qint64, QList<QByteArray>> found;
    int result = SQLITE_ROW;
    while ((result = statement.step()) == SQLITE_ROW) {
        QList<QByteArray> cells;
        cells.reserve(fields);
        for (int f = 0; f < fields; ++f) {
            const QByteArray text = statement.utf8(f + 1);
            cells.append(QByteArray(text.constData(), text.size()));
        }
        found.emplace(statement.int64(0), std::move(cells));
    }
    if (result != SQLITE_DONE) {
        return DbResult<Page>::failure(statement.error());
    }
    Page page;
    page.ends.reserve(size_t(last - first) * size_t(fields));
    for (const qint64 key : keys) {
        const auto row = found.find(key);
        for (int f = 0; f < fields; ++f) {
            // A row deleted since shows empty in its place.
            if (row != found.end()) {
                page.texts += row->second[f];
            }
            page.ends.push_back(quint32(page.texts.size()));
        }
    }
    return page;
}
