#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/reminder_list.h"
#include "data/db_result.h"
#include "data/row_keys.h"

// The rows of the main window's list (the reminder list or a search), read a page at a time as
// they are wanted. Opening walks only the keys of the rows the statement lists, in its order,
// then reads the first page; every other page is read by its rows' keys when it comes into view,
// so a row far down costs no more than the first. A few pages are kept whatever the list's
// length.
//
// The list holds the rows it found when it was opened: a row saved since is left out, a row
// changed since shows as it is now (with the called mark as CountsAsCalled says now), and a row
// deleted since by someone else shows empty in its place.
class CustomerListRows {
public:
    // The cells of one row, UTF-8, in the order of ListFields(), valid during the call.
    using Visit = std::function<void(int row, const QList<QByteArrayView>& cells)>;

    static DbResult<std::shared_ptr<CustomerListRows>> Open(const ListQuery& query);

    int count() const { return int(keys_.size()); }
    // One cell (`field` indexes ListFields()); empty past the list, for a row that is gone, or
    // when its page cannot be read.
    QByteArray cell(int row, int field) const;
    // Hands rows first .. first + count - 1 (from 0) to `visit`, in order.
    DbStatus read(int first, int count, const Visit& visit) const;

    // The row's record key (its row id), and the row of a record key; -1 when not listed.
    qint64 key(int row) const;
    int find(qint64 key) const;
    // Takes a row out of the list (the operator deleted its customer); the rows below move up.
    void remove(int row);

    static constexpr int kPageRows = 128;
    static constexpr int kKeptPages = 32;

private:
    struct Page {
        QByteArray texts;           // the cells of every row, one after the other
        std::vector<quint32> ends;  // where each cell ends, row by row
        quint64 used = 0;           // when it was last wanted, for dropping the oldest
    };

    CustomerListRows() = default;
    // The page holding `row`, read when it is not kept.
    const Page* page(int row, QString* error = nullptr) const;
    DbResult<Page> readPage(int index) const;

    std::vector<qint64> keys_;
    mutable std::map<int, Page> pages_;
    mutable std::pair<qint64, qint64> pagesMark_;  // the change mark the pages were read at
    mutable quint64 clock_ = 0;
};
