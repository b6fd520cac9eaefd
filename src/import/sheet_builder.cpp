#include "import/sheet_builder.h"

#include <QDate>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "core/date_text.h"

namespace {

// A row with a plate and an owner's name where the columns stand without a heading.
bool HasPlateAndOwnerByPosition(const FileRow& row) {
    return !row[kPlateColumn].trimmed().isEmpty() && !row[kOwnerColumn].trimmed().isEmpty();
}

bool IsEmpty(const SheetRow& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const QString& text) { return text.trimmed().isEmpty(); });
}

}  // namespace

void SheetBuilder::setCell(qint64 row, qint64 column, const QString& text) {
    if (row < 0 || column < 0 || column >= kMaxFileColumns) {
        return;
    }
    if (row >= kMaxRows) {
        tooLong_ = true;
        return;
    }
    // An empty cell far down must not grow the sheet: only text makes a row exist.
    const qint64 rowsHeld =
        sink_ ? currentRow_ + 1 : qint64(headDecided_ ? rows_.size() : head_.size());
    if (text.isEmpty() && row >= rowsHeld) {
        return;
    }
    // Past the bound the file is refused: nothing more is worth keeping.
    chars_ += text.size();
    if (tooMuchText()) {
        return;
    }
    hasCells_ = hasCells_ || !text.isEmpty();
    if (sink_) {
        if (row < currentRow_) {
            inOrder_ = false;
            return;
        }
        if (row > currentRow_) {
            if (currentRow_ >= 0) {
                complete();
            }
            // The rows between hold nothing.
            for (qint64 gap = row - currentRow_ - 1; gap > 0; --gap) {
                if (headDecided_) {
                    pendingEmpty_ += gap;
                    break;
                }
                complete();
            }
            currentRow_ = row;
        }
        if (!headDecided_) {
            currentHead_[size_t(column)] = text;
        } else if (const int target = heading_.target[size_t(column)]; target >= 0) {
            current_[size_t(target)] = text;
        }
        return;
    }
    if (!headDecided_) {
        if (row <= qint64(kMaxTitleRows)) {
            if (row >= qint64(head_.size())) {
                head_.resize(size_t(row) + 1);
            }
            head_[size_t(row)][size_t(column)] = text;
            return;
        }
        decideHead();
    }
    const int target = heading_.target[size_t(column)];
    if (target < 0) {
        return;
    }
    if (row >= qint64(rows_.size())) {
        rows_.resize(size_t(row) + 1);
    }
    rows_[size_t(row)][size_t(target)] = text;
}

void SheetBuilder::complete() {
    if (headDecided_) {
        handOver(current_);
        current_ = SheetRow();
        return;
    }
    head_.push_back(currentHead_);
    currentHead_ = FileRow();
    const FileRow& last = head_.back();
    if (head_.size() > kMaxTitleRows || NamesColumns(last) || HasPlateAndOwnerByPosition(last)) {
        decideHead();
    }
}

SheetRow SheetBuilder::mapped(const FileRow& row) const {
    SheetRow out;
    for (size_t c = 0; c < row.size(); ++c) {
        if (const int target = heading_.target[c]; target >= 0) {
            out[size_t(target)] = row[c];
        }
    }
    return out;
}

void SheetBuilder::decideHead() {
    headDecided_ = true;
    // A title ("客户资料") and a line or two of dates may stand above the heading row: they go
    // with it. A row with a plate and an owner is a customer, never a title.
    for (size_t i = 0; i < head_.size() && i <= kMaxTitleRows; ++i) {
        if (NamesColumns(head_[i])) {
            headingRow_ = qint64(i);
            heading_ = HeadingFromRow(head_[i]);
            skippedAbove_ = int(i) + 1;
            break;
        }
        if (HasPlateAndOwnerByPosition(head_[i])) {
            break;
        }
    }
    std::vector<Unreadable> held = std::move(headUnreadable_);
    headUnreadable_.clear();
    for (const Unreadable& cell : held) {
        setUnreadable(cell.row, cell.column, cell.why);
    }
    if (sink_) {
        for (size_t i = size_t(headingRow_ + 1); i < head_.size(); ++i) {
            SheetRow row = mapped(head_[i]);
            handOver(row);
        }
    } else {
        rows_.reserve(head_.size());
        for (const FileRow& row : head_) {
            rows_.push_back(mapped(row));
        }
    }
    head_.clear();
}

void SheetBuilder::handOver(SheetRow& row) {
    if (sinkStopped_) {
        return;
    }
    if (IsEmpty(row)) {
        ++pendingEmpty_;
        return;
    }
    // Empty rows between customers stay, as they do in a sheet read whole.
    for (; pendingEmpty_ > 0 && !sinkStopped_; --pendingEmpty_) {
        SheetRow empty;
        sinkStopped_ = !sink_(empty);
    }
    pendingEmpty_ = 0;
    sinkStopped_ = sinkStopped_ || !sink_(row);
}

void SheetBuilder::finish() {
    if (!sink_) {
        return;
    }
    if (currentRow_ >= 0) {
        complete();
        // Whatever comes now is out of order.
        currentRow_ = kMaxRows;
    }
    if (!headDecided_) {
        decideHead();
    }
    pendingEmpty_ = 0;  // trailing empty rows are not the sheet's
}

void SheetBuilder::adopt(SheetBuilder&& other) {
    if (!sink_) {
        *this = std::move(other);
        return;
    }
    SheetRows rows = other.takeRows();
    headDecided_ = true;
    heading_ = other.heading_;
    skippedAbove_ = other.skippedAbove_;
    for (SheetRow& row : rows) {
        handOver(row);
    }
    // Whatever comes now is out of order.
    currentRow_ = kMaxRows;
    hasCells_ = hasCells_ || other.hasCells_;
    tooLong_ = tooLong_ || other.tooLong_;
    chars_ = std::max(chars_, other.chars_);
    unreadable_ = std::move(other.unreadable_);
    unreadableCount_ = other.unreadableCount_;
    sheetName_ = other.sheetName_;
    worksheets_ = other.worksheets_;
}

bool SheetBuilder::keepsColumn(qint64 column) const {
    return column >= 0 && column < kMaxFileColumns &&
           (!headDecided_ || heading_.target[size_t(column)] >= 0);
}

std::optional<QString> SheetBuilder::cell(qint64 row, qint64 column) const {
    if (row < 0 || !keepsColumn(column)) {
        return std::nullopt;
    }
    if (!headDecided_) {
        return row < qint64(head_.size()) ? head_[size_t(row)][size_t(column)] : QString();
    }
    if (row >= qint64(rows_.size())) {
        return QString();
    }
    return rows_[size_t(row)][size_t(heading_.target[size_t(column)])];
}

void SheetBuilder::setUnreadable(qint64 row, qint64 column, const QString& why) {
    if (row < 0 || column < 0 || column >= kMaxFileColumns || row >= kMaxRows) {
        return;
    }
    // A cell of a column the heading leaves out does not matter; which columns those are is
    // known once the first rows are.
    if (!headDecided_ && row <= qint64(kMaxTitleRows)) {
        headUnreadable_.push_back({row, column, why});
        return;
    }
    if (!keepsColumn(column)) {
        return;
    }
    ++unreadableCount_;
    // A few are enough to name; the count tells the rest.
    if (unreadable_.size() < 3) {
        unreadable_.push_back({row, column, why});
    }
}

QString SheetBuilder::unreadableText() const {
    QStringList cells;
    for (const Unreadable& cell : unreadable_) {
        cells << QStringLiteral("第%1行第%2列是%3")
                     .arg(cell.row + 1)
                     .arg(cell.column + 1)
                     .arg(cell.why);
    }
    QString text = cells.join(QStringLiteral("；"));
    if (unreadableCount_ > qsizetype(unreadable_.size())) {
        text += QStringLiteral("；共 %1 个单元格无法读取").arg(unreadableCount_);
    }
    return text;
}

SheetRows SheetBuilder::takeRows() {
    if (!headDecided_) {
        decideHead();
    }
    SheetRows rows = std::move(rows_);
    rows_.clear();
    while (!rows.empty() && IsEmpty(rows.back())) {
        rows.pop_back();
    }
    // The heading row goes, with the title lines above it.
    if (headingRow_ >= 0) {
        rows.erase(rows.begin(),
                   rows.begin() + std::min(qsizetype(headingRow_) + 1, qsizetype(rows.size())));
        headingRow_ = -1;
    }
    return rows;
}

QString NumberCellText(double value) {
    if (!std::isfinite(value)) {
        return {};
    }
    // The shortest digits that read back as the same number, never with an exponent: beyond
    // 2^53 the digits a double keeps, padded with zeros.
    if (std::fabs(value) >= 1e21) {
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    }
    const QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

std::optional<QString> SerialDateText(double serial, const QDate& origin) {
    if (!std::isfinite(serial) || !origin.isValid() || serial < 0 || serial > 3e6) {
        return std::nullopt;
    }
    const QDate date = origin.addDays(qint64(std::floor(serial)));
    if (!date.isValid() || date.year() < 1900 || date.year() > 9999) {
        return std::nullopt;
    }
    return DateText(date);
}
