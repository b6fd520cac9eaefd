#include "reports/excel_export.h"

#include <xlsxwriter.h>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <charconv>

#include "data/engine_error.h"
#include "reports/report_layout.h"

namespace {

const QString kTooManyRows = QStringLiteral("行数超过 Excel 工作表的上限（%1 行），无法导出。");
const QString kTotalCaption = QStringLiteral("合计:");

// A shown amount as a number; false for an empty text or one that is not a number.
bool ParseShown(QByteArrayView utf8, double* value) {
    const QByteArrayView trimmed = utf8.trimmed();
    if (trimmed.isEmpty()) {
        return false;
    }
    const char* end = trimmed.data() + trimmed.size();
    const auto result = std::from_chars(trimmed.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end;
}

class Writer {
public:
    explicit Writer(lxw_worksheet* sheet) : sheet_(sheet) {}

    void text(lxw_row_t row, lxw_col_t col, const QString& text, lxw_format* format) {
        if (text.isEmpty()) {
            return;
        }
        keep(worksheet_write_string(sheet_, row, col, text.toUtf8().constData(), format));
    }
    void cell(lxw_row_t row, lxw_col_t col, const QString& shown, bool numeric, lxw_format* number,
              lxw_format* plain) {
        const QByteArray utf8 = shown.toUtf8();
        cell(row, col, QByteArrayView(utf8), numeric, number, plain);
    }
    // The same from UTF-8, as the rows hand it over.
    void cell(lxw_row_t row, lxw_col_t col, QByteArrayView utf8, bool numeric, lxw_format* number,
              lxw_format* plain) {
        double value = 0;
        if (numeric && ParseShown(utf8, &value)) {
            keep(worksheet_write_number(sheet_, row, col, value, number));
        } else if (!utf8.isEmpty()) {
            // The library wants a terminated string; the view is copied into a reused buffer.
            buffer_.resize(utf8.size());
            std::copy(utf8.begin(), utf8.end(), buffer_.begin());
            keep(worksheet_write_string(sheet_, row, col, buffer_.constData(), plain));
        }
    }
    // A text centred over the columns from the first to `last`. Not a merge: merged ranges
    // do not survive the row-by-row writing.
    void across(lxw_row_t row, lxw_col_t last, const QString& text, lxw_format* format) {
        keep(worksheet_write_string(sheet_, row, 0, text.toUtf8().constData(), format));
        for (lxw_col_t col = 1; col <= last; ++col) {
            blank(row, col, format);
        }
    }
    void blank(lxw_row_t row, lxw_col_t col, lxw_format* format) {
        keep(worksheet_write_blank(sheet_, row, col, format));
    }
    lxw_error error() const { return error_; }

private:
    void keep(lxw_error error) {
        if (error_ == LXW_NO_ERROR) {
            error_ = error;
        }
    }
    lxw_worksheet* sheet_;
    lxw_error error_ = LXW_NO_ERROR;
    QByteArray buffer_;
};

ExportOutcome Failed(ExportOutcome::End end, QString reason) {
    return ExportOutcome{end, std::move(reason)};
}

}  // namespace

ExportOutcome StreamWorkbook(const Report& report, const QString& path, SheetHead head,
                             const ExportProgress& progress) {
    // The head, the headings and the total; the summary with an empty row, its caption,
    // headings and total.
    const qsizetype headRows =
        head == SheetHead::TitleAndDates ? (report.range.isEmpty() ? 1 : 2) : 0;
    const qsizetype summaryRows =
        report.summary.rows.isEmpty() ? 0 : report.summary.rows.size() + 4;
    const int dataRows = report.rows->count();
    if (headRows + dataRows + 2 + summaryRows > kMaxSheetRows) {
        return Failed(ExportOutcome::End::FileFailed, kTooManyRows.arg(kMaxSheetRows));
    }
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook_options options{};
    // Rows go to disk as they are written, so a long list needs no more memory than a short one.
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(file.constData(), &options);
    if (!workbook) {
        return Failed(ExportOutcome::End::FileFailed, QStringLiteral("无法创建工作簿"));
    }
    const QByteArray title = report.title.toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title.constData());
    workbook_set_properties(workbook, &properties);

    const QByteArray sheetName =
        WorksheetName(report.sheetName.isEmpty() ? report.title : report.sheetName).toUtf8();
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, sheetName.constData());
    if (!sheet) {
        sheet = workbook_add_worksheet(workbook, nullptr);
    }
    lxw_format* heading = workbook_add_format(workbook);
    format_set_bold(heading);
    format_set_align(heading, LXW_ALIGN_CENTER);
    format_set_bg_color(heading, 0xE0E0E0);
    format_set_border(heading, LXW_BORDER_THIN);
    lxw_format* number = workbook_add_format(workbook);
    format_set_num_format(number, "0.00");
    lxw_format* totalText = workbook_add_format(workbook);
    format_set_bold(totalText);
    format_set_bg_color(totalText, 0xE0E0E0);
    lxw_format* totalNumber = workbook_add_format(workbook);
    format_set_bold(totalNumber);
    format_set_bg_color(totalNumber, 0xE0E0E0);
    format_set_num_format(totalNumber, "0.00");

    lxw_format* titleFormat = workbook_add_format(workbook);
    format_set_bold(titleFormat);
    format_set_font_size(titleFormat, 16);
    format_set_align(titleFormat, LXW_ALIGN_CENTER_ACROSS);
    format_set_align(titleFormat, LXW_ALIGN_VERTICAL_CENTER);
    lxw_format* rangeFormat = workbook_add_format(workbook);
    format_set_align(rangeFormat, LXW_ALIGN_CENTER_ACROSS);
    lxw_format* caption = workbook_add_format(workbook);
    format_set_bold(caption);
    lxw_format* count = workbook_add_format(workbook);
    format_set_num_format(count, "0");
    lxw_format* totalCount = workbook_add_format(workbook);
    format_set_bold(totalCount);
    format_set_bg_color(totalCount, 0xE0E0E0);
    format_set_num_format(totalCount, "0");

    const int columns = int(report.columns.size());
    const int summaryColumns = int(report.summary.columns.size());
    for (int c = 0; c < std::max(columns, summaryColumns); ++c) {
        // Excel measures widths in characters of about seven pixels; a column shared with the
        // summary table is as wide as the wider of the two.
        int width = c < columns ? report.columns[c].width : 0;
        if (c < summaryColumns && !report.summary.rows.isEmpty()) {
            width = std::max(width, report.summary.columns[c].width);
        }
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), width / 7.0 + 1, nullptr);
    }

    Writer writer(sheet);
    // The title and the dates above the table, as on paper; the headings stay in view below.
    lxw_row_t row = 0;
    const lxw_col_t lastColumn = lxw_col_t(std::max(columns - 1, 0));
    if (head == SheetHead::TitleAndDates) {
        worksheet_set_row(sheet, row, 24, nullptr);
        writer.across(row, lastColumn, report.title, titleFormat);
        ++row;
        if (!report.range.isEmpty()) {
            writer.across(row, lastColumn, report.range, rangeFormat);
            ++row;
        }
    }
    worksheet_freeze_panes(sheet, row + 1, 0);
    for (int c = 0; c < columns; ++c) {
        writer.text(row, lxw_col_t(c), report.columns[c].heading, heading);
    }
    ++row;
    bool stopped = false;
    const DbStatus read = ReadAllReportRows(
        *report.rows,
        [&](int, const QList<QByteArrayView>& cells) {
            for (int c = 0; c < columns && c < cells.size(); ++c) {
                const ReportColumn& column = report.columns[c];
                writer.cell(row, lxw_col_t(c), cells[c], column.numeric,
                            column.decimals == 0 ? count : number, nullptr);
            }
            ++row;
        },
        [&](int done) {
            stopped = progress && !progress(done, dataRows);
            return !stopped && writer.error() == LXW_NO_ERROR;
        });
    if (!read || stopped) {
        // Freed without being written: the file is only made when the workbook closes, so
        // whatever stood at `path` before stays as it was.
        lxw_workbook_free(workbook);
        return read ? Failed(ExportOutcome::End::Cancelled, QString())
                    : Failed(ExportOutcome::End::ReadFailed, read.error());
    }
    for (int c = 0; c < columns && report.totalColumn >= 0; ++c) {
        QString shown;
        if (c == 0) {
            shown = kTotalCaption;
        }
        if (c == report.totalColumn) {
            shown = report.totalText;
        }
        if (shown.isEmpty()) {
            writer.blank(row, lxw_col_t(c), totalText);
        } else {
            writer.cell(row, lxw_col_t(c), shown, c == report.totalColumn, totalNumber, totalText);
        }
    }
    ++row;

    const ReportSummary& summary = report.summary;
    if (!summary.rows.isEmpty()) {
        // One empty row, then the summary with its caption.
        ++row;
        writer.text(row++, 0, summary.caption, caption);
        for (int c = 0; c < summaryColumns; ++c) {
            writer.text(row, lxw_col_t(c), summary.columns[c].heading, heading);
        }
        ++row;
        for (const QStringList& cells : summary.rows) {
            for (int c = 0; c < summaryColumns && c < cells.size(); ++c) {
                const ReportColumn& column = summary.columns[c];
                writer.cell(row, lxw_col_t(c), cells[c], column.numeric,
                            column.decimals == 0 ? count : number, nullptr);
            }
            ++row;
        }
        for (int c = 0; c < summaryColumns && !summary.total.isEmpty(); ++c) {
            const ReportColumn& column = summary.columns[c];
            const QString shown = summary.total.value(c);
            if (shown.isEmpty()) {
                writer.blank(row, lxw_col_t(c), totalText);
            } else {
                writer.cell(row, lxw_col_t(c), shown, column.numeric,
                            column.decimals == 0 ? totalCount : totalNumber, totalText);
            }
        }
    }

    const lxw_error written = writer.error();
    errno = 0;
    const lxw_error closed = workbook_close(workbook);
    const int systemErrno = errno;
    const lxw_error error = written != LXW_NO_ERROR ? written : closed;
    if (error != LXW_NO_ERROR) {
        QFile::remove(path);
        // A full disk or a folder the user cannot write is said as such.
        return Failed(
            ExportOutcome::End::FileFailed,
            systemErrno
                ? DescribeSystemError(systemErrno)
                : QStringLiteral("写入文件出错（%1）").arg(QString::fromUtf8(lxw_strerror(error))));
    }
    return ExportOutcome();
}

QString ExportWorkbook(const Report& report, const QString& path, SheetHead head) {
    return StreamWorkbook(report, path, head).reason;
}
