#pragma once

#include <QList>
#include <QStringList>
#include <memory>

#include "reports/report_rows.h"

// Rows as a statistics list holds them, its hidden key column first: the report's rows, which
// leave that column out.
std::shared_ptr<const ReportRows> KeyedListRows(const QList<QStringList>& listRows);

// `count` rows of `columns` texts "r<row>c<column>" that fail to read from row `failFrom` on
// (never when negative), and count how often and how much they were read.
class ScriptedRows : public ReportRows {
public:
    ScriptedRows(int count, int columns, int failFrom = -1)
        : count_(count), columns_(columns), failFrom_(failFrom) {}

    int count() const override { return count_; }
    DbStatus read(int first, int count, const Visit& visit) const override;

    mutable int reads = 0;
    mutable int largestRead = 0;
    mutable int lastRowRead = -1;  // the furthest row handed over

private:
    int count_;
    int columns_;
    int failFrom_;
};
