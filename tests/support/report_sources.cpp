#include "support/report_sources.h"

std::shared_ptr<const ReportRows> KeyedListRows(const QList<QStringList>& listRows) {
    QList<QStringList> rows;
    rows.reserve(listRows.size());
    for (const QStringList& row : listRows) {
        rows << row.mid(1);
    }
    return ListReportRows(std::move(rows));
}

DbStatus ScriptedRows::read(int first, int count, const Visit& visit) const {
    ++reads;
    largestRead = std::max(largestRead, count);
    QList<QByteArray> texts(columns_);
    QList<QByteArrayView> cells(columns_);
    for (int row = first; row < first + count && row < count_; ++row) {
        if (failFrom_ >= 0 && row >= failFrom_) {
            return DbStatus::failure(QStringLiteral("disk I/O error"));
        }
        for (int c = 0; c < columns_; ++c) {
            texts[c] = QStringLiteral("r%1c%2").arg(row + 1).arg(c + 1).toUtf8();
            cells[c] = texts[c];
        }
        lastRowRead = std::max(lastRowRead, row);
        visit(row, cells);
    }
    return DbOk();
}
