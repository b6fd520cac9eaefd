#pragma once

#include <QByteArrayView>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

#include "data/db_result.h"

// The data rows of a report, one UTF-8 text per report column, read in order as often as needed,
// so a long list is read again rather than copied.
class ReportRows {
public:
    virtual ~ReportRows() = default;
    virtual int count() const = 0;
    using Visit = std::function<void(int row, const QList<QByteArrayView>& cells)>;
    // Hands rows first .. first + count - 1 to `visit` in order; the views are valid during the
    // call.
    virtual DbStatus read(int first, int count, const Visit& visit) const = 0;
};

// Rows held in memory (small lists, tests, the import's export).
std::shared_ptr<const ReportRows> ListReportRows(QList<QStringList> rows);

// How many rows a pass over every row reads at a time: enough to cost the source little per
// row, few enough that a chunk's texts stay small whatever the length of the list.
inline constexpr int kReportChunkRows = 4096;

// Reads every row in chunks of kReportChunkRows. `chunkDone`, when given, is called after each
// chunk with the rows read so far and may stop the pass by returning false.
DbStatus ReadAllReportRows(const ReportRows& rows, const ReportRows::Visit& visit,
                           const std::function<bool(int done)>& chunkDone = {});

// The texts of one row, converted; for the few places that need a row as text.
QStringList ReportRowTexts(const ReportRows& rows, int row);
