#pragma once

#include <memory>
#include <vector>

#include "ui/grid_row_source.h"

class StatisticsRows;

// A statistics list as its grid shows it: rows read a page at a time as they come into view,
// each page handed to the grid once so its columns fit what has been shown.
class StatisticsGridSource : public ui::GridRowSource {
public:
    explicit StatisticsGridSource(std::shared_ptr<const StatisticsRows> rows);

    QString text(int row, int col) override;
    void watchPages(PageWatcher watcher) override;

    // Hands the texts of the page of `row` (from 1) to `texts` unless they have been handed to
    // the watcher already, and counts the page as shown.
    void walkPage(int row, const PageTexts& texts);

private:
    std::shared_ptr<const StatisticsRows> rows_;
    std::vector<bool> shown_;
    PageWatcher watcher_;
};
