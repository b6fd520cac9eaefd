#pragma once

#include <QByteArrayView>
#include <QString>
#include <functional>

namespace ui {

// Data rows a grid shows without holding them: a long list read from the database a page at a
// time, as the rows come into view. Rows count from 1, as in the grid.
class GridRowSource {
public:
    virtual ~GridRowSource() = default;
    // The text of a data cell; may read the rows around it first.
    virtual QString text(int row, int col) = 0;
    // Called with the texts of every page as it is read, row by row, so the grid can widen its
    // columns to what has come into view.
    using PageTexts = std::function<void(int row, int col, QByteArrayView utf8)>;
    using PageWatcher = std::function<void(const std::function<void(const PageTexts&)>& walk)>;
    virtual void watchPages(PageWatcher watcher) = 0;
};

}  // namespace ui
