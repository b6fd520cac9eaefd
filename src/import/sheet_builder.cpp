#include "import/sheet_builder.h"

#include <QDate>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "core/date_text.h"
#include "import/audit.h"

void SheetBuilder::setCell(qint64 row, qint64 column, const QString& text) {
    if (row < 0 || column < 0 || column >= kSheetColumnCount) {
        return;
    }
    if (row >= kMaxRows) {
        tooLong_ = true;
        return;
    }
    // An empty cell far down must not grow the sheet: only text makes a row exist.
    const qint64 rowsHeld = sink_ ? currentRow_ + 1 : qint64(rows_.size());
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
                complete(current_);
            }
            // The rows between hold nothing.
            for (qint64 gap = row - currentRow_ - 1; gap > 0; --gap) {
                if (headDecided_) {
                    pendingEmpty_ += gap;
                    break;
                }
                SheetRow empty;
                complete(empty);
            }
            currentRow_ = row;
        }
        current_[size_t(column)] = text;
        return;
    }
    if (row >= qint64(rows_.size())) {
        rows_.resize(size_t(row) + 1);
    }
    rows_[size_t(row)][size_t(column)] = text;
}

void SheetBuilder::complete(SheetRow& row) {
    if (headDecided_) {
        handOver(row);
    } else {
        head_.push_back(std::move(row));
        const SheetRow& last = head_.back();
        if (head_.size() > kMaxTitleRows || IsHeadingRow(last) || HasPlateAndOwner(last)) {
            decideHead();
        }
    }
    row = SheetRow();
}

void SheetBuilder::decideHead() {
    headDecided_ = true;
    size_t first = 0;
    for (size_t i = 0; i < head_.size() && i <= kMaxTitleRows; ++i) {
        if (IsHeadingRow(head_[i])) {
            first = i + 1;
            skippedAbove_ = int(i) + 1;
            break;
        }
        if (HasPlateAndOwner(head_[i])) {
            break;
        }
    }
    for (size_t i = first; i < head_.size(); ++i) {
        handOver(head_[i]);
    }
    head_.clear();
}

void SheetBuilder::handOver(SheetRow& row) {
    if (sinkStopped_) {
        return;
    }
    if (std::all_of(row.begin(), row.end(),
                    [](const QString& text) { return text.trimmed().isEmpty(); })) {
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
        complete(current_);
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
    other.forEachCell(
        [this](qint64 row, qint64 column, const QString& text) { setCell(row, column, text); });
    tooLong_ = tooLong_ || other.tooLong_;
    chars_ = std::max(chars_, other.chars_);
    unreadable_ = std::move(other.unreadable_);
    unreadableCount_ = other.unreadableCount_;
    sheetName_ = other.sheetName_;
    worksheets_ = other.worksheets_;
}

QString SheetBuilder::cell(qint64 row, qint64 column) const {
    if (row < 0 || row >= qint64(rows_.size()) || column < 0 || column >= kSheetColumnCount) {
        return {};
    }
    return rows_[size_t(row)][size_t(column)];
}

void SheetBuilder::setUnreadable(qint64 row, qint64 column, const QString& why) {
    if (row < 0 || column < 0 || column >= kSheetColumnCount || row >= kMaxRows) {
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
    SheetRows rows = std::move(rows_);
    rows_.clear();
    auto isEmpty = [](const SheetRow& row) {
        for (const QString& text : row) {
            if (!text.trimmed().isEmpty()) {
                return false;
            }
        }
        return true;
    };
    while (!rows.empty() && isEmpty(rows.back())) {
        rows.pop_back();
    }
    // A title ("客户资料") and a line or two of dates may stand above the heading row: they go
    // with it. A row with a plate and an owner is a customer, never a title.
    for (size_t i = 0; i < rows.size() && i <= kMaxTitleRows; ++i) {
        if (IsHeadingRow(rows[i])) {
            rows.erase(rows.begin(), rows.begin() + qsizetype(i) + 1);
            skippedAbove_ = int(i) + 1;
            break;
        }
        if (HasPlateAndOwner(rows[i])) {
            break;
        }
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
