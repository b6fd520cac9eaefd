#include "reports/statistics_rows.h"

#include <sqlite3.h>

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <unordered_map>

#include "core/date_text.h"
#include "core/order_number_text.h"
#include "data/database.h"
#include "data/statement.h"

namespace {

// Rows a read takes by key; more are read in one pass of the query.
constexpr int kMostByKeys = 4 * StatisticsRows::kPageRows;

// A key no row has (the engine numbers rows from 1): the list's place for a row that was not
// there when the keys were walked.
constexpr qint64 kNoKey = 0;

QString Fields(const StatisticsDescription& d) {
    QStringList fields{QStringLiteral("rowid")};
    for (const StatisticsColumn& column : d.columns) {
        fields << column.field;
    }
    return fields.join(QStringLiteral(", "));
}

DbStatus Failed(const Statement& statement) {
    return DbStatus::failure(statement.error());
}

// The shown cells of the statement's current row, whose first column is the row id. Stored
// texts are shown in place; only the cells that are formatted are written, into buffers kept
// from row to row.
class RowReader {
public:
    explicit RowReader(const StatisticsDescription& d)
        : d_(d), formatted_(d.columns.size()), views_(d.columns.size()) {}

    void take(const Statement& statement) {
        for (int c = 0; c < int(views_.size()); ++c) {
            const ColumnFormat format = d_.columns[c].format;
            double value = 0;
            if (c == d_.numberColumn) {
                number_ = statement.utf8(c + 1);
                formatted_[c].resize(0);
                AppendOrderNumberText(number_, formatted_[c]);
                views_[c] = formatted_[c];
            } else if (format != ColumnFormat::AsStored && statement.number(c + 1, &value)) {
                formatted_[c].resize(0);
                AppendCentsText(ValueCents(value), formatted_[c]);
                views_[c] = formatted_[c];
            } else if (format != ColumnFormat::AsStored) {
                formatted_[c] = ShownValue(format, statement.utf8(c + 1));
                views_[c] = formatted_[c];
            } else {
                views_[c] = statement.utf8(c + 1);
            }
        }
    }
    // A row that is gone: every cell empty.
    void clear() {
        for (QByteArrayView& view : views_) {
            view = QByteArrayView();
        }
        number_ = QByteArray();
    }
    const QList<QByteArrayView>& views() const { return views_; }
    // The stored order number; like the views, valid until the next step.
    QByteArrayView number() const { return number_; }

private:
    const StatisticsDescription& d_;
    QList<QByteArray> formatted_;
    QList<QByteArrayView> views_;
    QByteArray number_;
};

}  // namespace

StatisticsRows::StatisticsRows(const StatisticsDescription& description,
                               const StatisticsFilter& filter)
    : description_(description), filter_(filter) {}

DbResult<std::shared_ptr<StatisticsRows>> StatisticsRows::Open(
    const StatisticsDescription& description, const StatisticsFilter& filter) {
    using Result = DbResult<std::shared_ptr<StatisticsRows>>;
    std::shared_ptr<StatisticsRows> rows(new StatisticsRows(description, filter));
    const DbStatus walked = rows->walkAmounts();
    if (!walked) {
        return Result::failure(walked.error());
    }
    // The first page now, so the list shows at once and a failure shows here.
    QString error;
    if (rows->count() > 0 && rows->page(0, &error) == nullptr) {
        return Result::failure(error);
    }
    return rows;
}

DbStatus StatisticsRows::walkAmounts() {
    const StatisticsDescription& d = description_;
    const QString amountField = d.columns[d.amountColumn].field;
    Statement statement;
    mark_ = Database::ChangeMark();
    if (!statement.prepare(QStringLiteral("select %1, %2, rowid ").arg(d.dateField, amountField) +
                               StatisticsSource(d, filter_),
                           StatisticsParameters(d, filter_))) {
        return Failed(statement);
    }
    // Rows come in no particular order; a day's amounts gather wherever its rows come.
    QHash<QByteArray, qint64> days;
    QByteArray lastDay;
    qint64* dayCents = nullptr;
    int result = SQLITE_ROW;
    while ((result = statement.step()) == SQLITE_ROW) {
        ++count_;
        counted_.push_back(statement.int64(2));
        double value = 0;
        const qint64 cents =
            statement.number(1, &value) ? ValueCents(value) : StoredAmountCents(statement.utf8(1));
        summary_.totalCents += cents;
        const QByteArray day = statement.utf8(0);
        if (dayCents == nullptr || day != lastDay) {
            lastDay = QByteArray(day.constData(), day.size());
            dayCents = &days[lastDay];
        }
        *dayCents += cents;
    }
    if (result != SQLITE_DONE) {
        return Failed(statement);
    }
    summary_.rows = count_;
    std::vector<std::pair<QByteArray, qint64>> ordered;
    ordered.reserve(size_t(days.size()));
    for (auto it = days.cbegin(); it != days.cend(); ++it) {
        ordered.emplace_back(it.key(), it.value());
    }
    std::sort(ordered.begin(), ordered.end());
    for (const auto& [day, cents] : ordered) {
        summary_.days.append({ParseDateText(QString::fromUtf8(day)), cents});
    }
    return DbOk();
}

DbStatus StatisticsRows::walkKeys() const {
    const StatisticsDescription& d = description_;
    Statement statement;
    if (!statement.prepare(
            QStringLiteral("select rowid ") + StatisticsSource(d, filter_) + StatisticsOrder(d),
            StatisticsParameters(d, filter_))) {
        return Failed(statement);
    }
    // Rows saved since the list was opened are not in it.
    const bool changed = changedSinceOpened();
    if (changed) {
        counted_.sort();
    }
    RowKeys keys;
    keys.reserve(size_t(count_));
    int result = SQLITE_ROW;
    while (int(keys.size()) < count_ && (result = statement.step()) == SQLITE_ROW) {
        const qint64 key = statement.int64(0);
        if (!changed || counted_.contains(key)) {
            keys.push_back(key);
        }
    }
    if (int(keys.size()) < count_ && result != SQLITE_DONE) {
        return Failed(statement);
    }
    // Rows deleted since the list was opened leave places no row fills.
    while (int(keys.size()) < count_) {
        keys.push_back(kNoKey);
    }
    keys_ = std::move(keys);
    keysWalked_ = true;
    counted_.clear();
    return DbOk();
}

bool StatisticsRows::changedSinceOpened() const {
    return Database::ChangeMark() != mark_;
}

DbStatus StatisticsRows::read(int first, int count, const Visit& visit) const {
    first = std::max(first, 0);
    count = std::min(count, this->count() - first);
    if (count <= 0) {
        return DbOk();
    }
    const bool continues = cursor_ && cursorRow_ == first;
    if (streamable_ && (count > kMostByKeys || continues)) {
        return stream(first, count, visit);
    }
    return readByKeys(first, count, visit);
}

DbStatus StatisticsRows::readByKeys(int first, int count, const Visit& visit) const {
    const StatisticsDescription& d = description_;
    QList<QByteArrayView> views(d.columns.size());
    for (int row = first; row < first + count;) {
        QString error;
        const Page* kept = page(row, &error);
        if (kept == nullptr) {
            return DbStatus::failure(error);
        }
        const int pageFirst = row / kPageRows * kPageRows;
        const int columns = int(d.columns.size());
        for (; row < first + count && row < pageFirst + kPageRows; ++row) {
            const size_t at = size_t(row - pageFirst) * size_t(columns);
            quint32 start = at == 0 ? 0 : kept->ends[at - 1];
            for (int c = 0; c < columns; ++c) {
                const quint32 end = kept->ends[at + size_t(c)];
                views[c] = QByteArrayView(kept->texts.constData() + start, end - start);
                start = end;
            }
            visit(row, views);
        }
    }
    return DbOk();
}

DbStatus StatisticsRows::stream(int first, int count, const Visit& visit) const {
    const StatisticsDescription& d = description_;
    // Once the database has changed, only the keys tell which rows the list holds.
    if (!keysWalked_ && changedSinceOpened()) {
        cursor_.reset();
        if (const DbStatus walked = walkKeys(); !walked) {
            return walked;
        }
    }
    // A pass over every row reads chunk after chunk: each goes on where the last one stopped.
    if (!cursor_ || cursorRow_ != first) {
        cursor_ = std::make_unique<Statement>();
        QVariantList params = StatisticsParameters(d, filter_);
        params << first;
        if (!cursor_->prepare(QStringLiteral("select ") + Fields(d) + QLatin1Char(' ') +
                                  StatisticsSource(d, filter_) + StatisticsOrder(d) +
                                  QStringLiteral(" limit -1 offset ?"),
                              params)) {
            const DbStatus failed = Failed(*cursor_);
            cursor_.reset();
            return failed;
        }
    }
    Statement& statement = *cursor_;
    RowReader reader(d);
    int row = first;
    const int end = first + count;
    int result = SQLITE_ROW;
    while (row < end && (result = statement.step()) == SQLITE_ROW) {
        if (keysWalked_ && statement.int64(0) != keys_[size_t(row)]) {
            // The database changed since the list was opened: from here on by key.
            cursor_.reset();
            streamable_ = false;
            return readByKeys(row, end - row, visit);
        }
        reader.take(statement);
        visit(row, reader.views());
        ++row;
    }
    if (row < end && result != SQLITE_DONE) {
        const DbStatus failed = Failed(statement);
        cursor_.reset();
        return failed;
    }
    cursorRow_ = row;
    // The last row read lets go of the query, and of the snapshot it holds.
    if (row >= count_ || result == SQLITE_DONE) {
        cursor_.reset();
    }
    // Rows deleted since the list was opened leave empty rows at its end.
    reader.clear();
    for (; row < end; ++row) {
        visit(row, reader.views());
    }
    return DbOk();
}

const StatisticsRows::Page* StatisticsRows::page(int row, QString* error) const {
    const int index = row / kPageRows;
    // Pages read before a change may show rows as they were.
    if (const auto mark = Database::ChangeMark(); mark != pagesMark_) {
        pages_.clear();
        pagesMark_ = mark;
    }
    auto found = pages_.find(index);
    if (found == pages_.end()) {
        if (!keysWalked_ && (index >= kPlacedPages || changedSinceOpened())) {
            const DbStatus walked = walkKeys();
            if (!walked) {
                if (error != nullptr) {
                    *error = walked.error();
                }
                return nullptr;
            }
        }
        DbResult<Page> read = keysWalked_ ? readPage(index) : readPlacedPage(index);
        if (!read) {
            if (error != nullptr) {
                *error = read.error();
            }
            return nullptr;
        }
        if (int(pages_.size()) >= kKeptPages) {
            auto oldest = pages_.begin();
            for (auto it = pages_.begin(); it != pages_.end(); ++it) {
                if (it->second.used < oldest->second.used) {
                    oldest = it;
                }
            }
            pages_.erase(oldest);
        }
        found = pages_.emplace(index, std::move(*read)).first;
    }
    found->second.used = ++clock_;
    return &found->second;
}

DbResult<StatisticsRows::Page> StatisticsRows::readPage(int index) const {
    const StatisticsDescription& d = description_;
    const int first = index * kPageRows;
    const int last = std::min(first + kPageRows, count());
    QString marks;
    QVariantList keys;
    for (int row = first; row < last; ++row) {
        marks += row == first ? QStringLiteral("?") : QStringLiteral(",?");
        keys << keys_[size_t(row)];
    }
    Statement statement;
    if (!statement.prepare(QStringLiteral("select ") + Fields(d) + QStringLiteral(" from ") +
                               d.table + QStringLiteral(" where rowid in (") + marks +
                               QLatin1Char(')'),
                           keys)) {
        return DbResult<Page>::failure(statement.error());
    }
    // The rows come in key order; each goes where the list put it.
    std::unordered_map<qint64, Page> found;
    RowReader reader(d);
    int result = SQLITE_ROW;
    while ((result = statement.step()) == SQLITE_ROW) {
        reader.take(statement);
        Page& row = found[statement.int64(0)];
        appendRow(row, reader.views(), reader.number());
    }
    if (result != SQLITE_DONE) {
        return DbResult<Page>::failure(statement.error());
    }
    Page page;
    reader.clear();
    for (int row = first; row < last; ++row) {
        const auto it = found.find(keys_[size_t(row)]);
        if (it == found.end()) {
            appendRow(page, reader.views(), QByteArrayView());
        } else {
            // A row read once; its ends are those of a page starting at its first cell.
            const quint32 base = quint32(page.texts.size());
            page.texts += it->second.texts;
            for (const quint32 end : it->second.ends) {
                page.ends.push_back(base + end);
            }
            page.numbers.push_back(std::move(it->second.numbers.front()));
        }
    }
    page.texts.squeeze();
    return page;
}

DbResult<StatisticsRows::Page> StatisticsRows::readPlacedPage(int index) const {
    const StatisticsDescription& d = description_;
    const int first = index * kPageRows;
    const int rows = std::min(kPageRows, count() - first);
    QVariantList params = StatisticsParameters(d, filter_);
    params << rows << first;
    Statement statement;
    if (!statement.prepare(QStringLiteral("select ") + Fields(d) + QLatin1Char(' ') +
                               StatisticsSource(d, filter_) + StatisticsOrder(d) +
                               QStringLiteral(" limit ? offset ?"),
                           params)) {
        return DbResult<Page>::failure(statement.error());
    }
    Page page;
    RowReader reader(d);
    int read = 0;
    int result = SQLITE_ROW;
    while ((result = statement.step()) == SQLITE_ROW) {
        reader.take(statement);
        appendRow(page, reader.views(), reader.number());
        ++read;
    }
    if (result != SQLITE_DONE) {
        return DbResult<Page>::failure(statement.error());
    }
    reader.clear();
    for (; read < rows; ++read) {
        appendRow(page, reader.views(), QByteArrayView());
    }
    page.texts.squeeze();
    return page;
}

void StatisticsRows::appendRow(Page& page, const QList<QByteArrayView>& cells,
                               QByteArrayView number) {
    for (const QByteArrayView cell : cells) {
        page.texts += cell;
        page.ends.push_back(quint32(page.texts.size()));
    }
    page.numbers.push_back(number.toByteArray());
}

QByteArray StatisticsRows::cell(int row, int col) const {
    if (row < 0 || row >= count() || col < 0 || col >= int(description_.columns.size())) {
        return {};
    }
    const Page* kept = page(row);
    if (kept == nullptr) {
        return {};
    }
    const size_t at = size_t(row % kPageRows) * description_.columns.size() + size_t(col);
    const quint32 start = at == 0 ? 0 : kept->ends[at - 1];
    return kept->texts.mid(start, kept->ends[at] - start);
}

QString StatisticsRows::storedNumber(int row) const {
    if (row < 0 || row >= count()) {
        return {};
    }
    const Page* kept = page(row);
    return kept == nullptr ? QString() : QString::fromUtf8(kept->numbers[size_t(row % kPageRows)]);
}

namespace {

// The list's rows as a report prints them: without the hidden key column.
class ReportedRows : public ReportRows {
public:
    explicit ReportedRows(std::shared_ptr<const StatisticsRows> rows) : rows_(std::move(rows)) {}

    int count() const override { return rows_->count(); }
    DbStatus read(int first, int count, const Visit& visit) const override {
        QList<QByteArrayView> shown;
        return rows_->read(first, count, [&](int row, const QList<QByteArrayView>& cells) {
            shown.resize(0);
            shown.append(cells.constBegin() + 1, cells.constEnd());
            visit(row, shown);
        });
    }

private:
    std::shared_ptr<const StatisticsRows> rows_;
};

}  // namespace

std::shared_ptr<const ReportRows> StatisticsReportRows(std::shared_ptr<const StatisticsRows> rows) {
    if (!rows) {
        return ListReportRows({});
    }
    return std::make_shared<ReportedRows>(std::move(rows));
}
