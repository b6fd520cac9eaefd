#include "reports/excel_export.h"

#include <xlsxwriter.h>
#include <QFile>
#include <cerrno>
#include <charconv>

#include "data/engine_error.h"
#include "reports/report_layout.h"

namespace {

const QString kTooManyRows = QStringLiteral("行数超过 Excel 工作表的上限（%1 行），无法导出。");
const QString kTotalCaption = QStringLiteral("合计:");

// A shown amount as a number; false for an empty text or one that is not a number.
bool ParseShown(const QString& text, double* value) {
    const QByteArray latin = text.trimmed().toLatin1();
    if (latin.isEmpty()) {
        return false;
    }
    const char* end = latin.constData() + latin.size();
    const auto result = std::from_chars(latin.constData(), end, *value);
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
        double value = 0;
        if (numeric && ParseShown(shown, &value)) {
            keep(worksheet_write_number(sheet_, row, col, value, number));
        } else {
            text(row, col, shown, plain);
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
};

}  // namespace

QString ExportWorkbook(const Report& report, const QString& path) {
    if (report.rows.size() + 2 > kMaxSheetRows) {
        return kTooManyRows.arg(kMaxSheetRows);
    }
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook_options options{};
    // Rows go to disk as they are written, so a long list needs no more memory than a short one.
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(file.constData(), &options);
    if (!workbook) {
        return QStringLiteral("无法创建工作簿");
    }
    const QByteArray title = report.title.toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title.constData());
    workbook_set_properties(workbook, &properties);

    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
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

    const int columns = int(report.columns.size());
    for (int c = 0; c < columns; ++c) {
        // Excel measures widths in characters of about seven pixels.
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), report.columns[c].width / 7.0 + 1,
                             nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 0);

    Writer writer(sheet);
    for (int c = 0; c < columns; ++c) {
        writer.text(0, lxw_col_t(c), report.columns[c].heading, heading);
    }
    lxw_row_t row = 1;
    for (const QStringList& cells : report.rows) {
        for (int c = 0; c < columns && c < cells.size(); ++c) {
            writer.cell(row, lxw_col_t(c), cells[c], report.columns[c].numeric, number, nullptr);
        }
        ++row;
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

    const lxw_error written = writer.error();
    errno = 0;
    const lxw_error closed = workbook_close(workbook);
    const int systemErrno = errno;
    const lxw_error error = written != LXW_NO_ERROR ? written : closed;
    if (error != LXW_NO_ERROR) {
        QFile::remove(path);
        // A full disk or a folder the user cannot write is said as such.
        return systemErrno ? DescribeSystemError(systemErrno)
                           : QStringLiteral("写入文件出错（%1）")
                                 .arg(QString::fromUtf8(lxw_strerror(error)));
    }
    return QString();
}
