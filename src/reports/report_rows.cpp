#include "reports/report_rows.h"

namespace {

class ListRows final : public ReportRows {
public:
    explicit ListRows(QList<QStringList> rows) : rows_(std::move(rows)) {}

    int count() const override { return int(rows_.size()); }

    DbStatus read(int first, int count, const Visit& visit) const override {
        const int end = std::min(first + count, int(rows_.size()));
        QList<QByteArray> texts;
        QList<QByteArrayView> cells;
        for (int row = std::max(first, 0); row < end; ++row) {
            const QStringList& source = rows_[row];
            texts.resize(source.size());
            cells.resize(source.size());
            for (qsizetype c = 0; c < source.size(); ++c) {
                texts[c] = source[c].toUtf8();
                cells[c] = texts[c];
            }
            visit(row, cells);
        }
        return DbOk();
    }

private:
    QList<QStringList> rows_;
};

}  // namespace

std::shared_ptr<const ReportRows> ListReportRows(QList<QStringList> rows) {
    return std::make_shared<const ListRows>(std::move(rows));
}

DbStatus ReadAllReportRows(const ReportRows& rows, const ReportRows::Visit& visit,
                           const std::function<bool(int done)>& chunkDone) {
    const int total = rows.count();
    for (int first = 0; first < total; first += kReportChunkRows) {
        const int count = std::min(kReportChunkRows, total - first);
        DbStatus status = rows.read(first, count, visit);
        if (!status) {
            return status;
        }
        if (chunkDone && !chunkDone(first + count)) {
            break;
        }
    }
    return DbOk();
}

QStringList ReportRowTexts(const ReportRows& rows, int row) {
    QStringList texts;
    // A failed read leaves the row empty; callers that must know read through `read` themselves.
    (void)rows.read(row, 1, [&texts](int, const QList<QByteArrayView>& cells) {
        for (QByteArrayView cell : cells) {
            texts << QString::fromUtf8(cell);
        }
    });
    return texts;
}
