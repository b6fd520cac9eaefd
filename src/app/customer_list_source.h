#pragma once

#include <memory>
#include <vector>

#include "ui/grid_row_source.h"

class CustomerListRows;

// The main window's list as its grid shows it: rows read a page at a time as they come into
// view, each page handed to the grid once so its columns fit what has been shown.
class CustomerListSource : public ui::GridRowSource {
public:
    // `fields` gives, for each grid column, the index of its field among ListFields().
    CustomerListSource(std::shared_ptr<CustomerListRows> rows, std::vector<int> fields);

    QString text(int row, int col) override;
    void watchPages(PageWatcher watcher) override;

    // Takes grid row `row` (from 1) out of the list.
    void remove(int row);
    // Hands the texts of the page of grid row `row` to `texts` unless they have been handed
    // already, and counts the page as shown.
    void walkPage(int row, const PageTexts& texts);

private:
    std::shared_ptr<CustomerListRows> rows_;
    std::vector<int> fields_;
    std::vector<bool> shown_;
    PageWatcher watcher_;
};
