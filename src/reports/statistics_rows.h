#pragma once

#include <QByteArray>
#include <QList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "data/db_result.h"
#include "data/row_keys.h"
#include "data/statement.h"
#include "reports/report_rows.h"
#include "reports/statistics.h"

// The rows of a statistics list, read a page at a time as they are wanted. Opening the list
// reads only the dates and amounts of its rows, in no order, for the count, the total and the
// amounts per day, and then its first page. Pages near the top are read by their place in the
// list's query; the first page further down walks the keys of every row in list order once, and
// from then on a page is read by its rows' keys, so a row far down costs no more than the
// first. The list holds a few pages whatever its length. A read of many rows (a report, an
// export) takes them in one pass of the list's query instead.
//
// The list keeps the count and total it was opened with, and the rows it counted: rows saved
// since are left out and a row changed since shows as it is now. A row deleted since leaves
// the list one row short, shown as an empty row at its end (or, once the keys are walked, as an
// empty row in its place).
class StatisticsRows {
public:
    // The cells of one row, UTF-8, valid during the call, as the list shows them: amounts and
    // quantities formatted, the order number as people read it.
    using Visit = std::function<void(int row, const QList<QByteArrayView>& cells)>;

    static DbResult<std::shared_ptr<StatisticsRows>> Open(const StatisticsDescription& description,
                                                          const StatisticsFilter& filter);

    const StatisticsDescription& description() const { return description_; }
    const StatisticsFilter& filter() const { return filter_; }
    int count() const { return count_; }
    const StatisticsSummary& summary() const { return summary_; }

    // Hands rows first .. first + count - 1 (from 0) to `visit`, in order.
    DbStatus read(int first, int count, const Visit& visit) const;
    // One cell as shown; empty past the list or when its page cannot be read.
    QByteArray cell(int row, int col) const;
    // The order number of a row as stored, for looking the order up.
    QString storedNumber(int row) const;

    // The most pages kept at once.
    static constexpr int kPageRows = 128;
    static constexpr int kKeptPages = 48;
    // Pages read by their place before the keys are walked.
    static constexpr int kPlacedPages = 16;

private:
    StatisticsRows(const StatisticsDescription& description, const StatisticsFilter& filter);

    struct Page {
        QByteArray texts;                 // the shown cells of every row, one after the other
        std::vector<quint32> ends;        // where each cell ends, row by row
        std::vector<QByteArray> numbers;  // the stored order numbers
        quint64 used = 0;                 // when it was last wanted, for dropping the oldest
    };

    DbStatus walkAmounts();
    DbStatus walkKeys() const;
    bool changedSinceOpened() const;
    // The page holding `row`, read when it is not kept.
    const Page* page(int row, QString* error = nullptr) const;
    DbResult<Page> readPage(int index) const;
    DbResult<Page> readPlacedPage(int index) const;
    // Rows from `first` in one pass of the list's query; rows whose key no longer stands where
    // the list put it are read by key instead.
    DbStatus stream(int first, int count, const Visit& visit) const;
    DbStatus readByKeys(int first, int count, const Visit& visit) const;
    static void appendRow(Page& page, const QList<QByteArrayView>& cells, QByteArrayView number);

    const StatisticsDescription& description_;
    StatisticsFilter filter_;
    StatisticsSummary summary_;
    int count_ = 0;
    mutable RowKeys keys_;  // row ids in list order, once walked
    mutable bool keysWalked_ = false;
    // The query of the last pass over many rows, kept while the next chunk may go on from it;
    // and whether passes may still read by the query (not once the rows moved under it).
    mutable std::unique_ptr<Statement> cursor_;
    mutable int cursorRow_ = -1;
    mutable bool streamable_ = true;
    // The row ids counted when the list was opened, in no order, until the keys are walked;
    // and the database's change mark then, which tells whether they are still all there is.
    mutable RowKeys counted_;
    std::pair<qint64, qint64> mark_;
    mutable std::map<int, Page> pages_;
    mutable std::pair<qint64, qint64> pagesMark_;  // the change mark the pages were read at
    mutable quint64 clock_ = 0;
};

// The rows as a report prints and exports them: every column but the hidden key, read again
// from the database rather than copied. Null rows: an empty report.
std::shared_ptr<const ReportRows> StatisticsReportRows(std::shared_ptr<const StatisticsRows> rows);
