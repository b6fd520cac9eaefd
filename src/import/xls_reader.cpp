#include <freexl.h>

#include <QFile>

#include "import/sheet_readers.h"

namespace {

class XlsHandle {
public:
    ~XlsHandle() {
        if (handle_) {
            freexl_close(handle_);
        }
    }
    const void** out() { return &handle_; }
    const void* get() const { return handle_; }

private:
    const void* handle_ = nullptr;
};

QString CellText(const FreeXL_CellValue& cell) {
    switch (cell.type) {
        case FREEXL_CELL_INT:
            return QString::number(cell.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return NumberCellText(cell.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_TIME:
            return cell.value.text_value ? QString::fromUtf8(cell.value.text_value) : QString();
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
            // "yyyy-mm-dd", followed by the time of day for a date and time: keep the day.
            return cell.value.text_value ? QString::fromUtf8(cell.value.text_value).left(10)
                                         : QString();
        default:
            return {};
    }
}

}  // namespace

QString ReadXlsWorkbook(const QString& path, SheetBuilder& builder) {
    XlsHandle xls;
    const QByteArray name = QFile::encodeName(path);
    const int opened = freexl_open(name.constData(), xls.out());
    if (opened == FREEXL_FILE_NOT_FOUND) {
        return sheet_error::kCannotOpen;
    }
    if (opened != FREEXL_OK) {
        return opened == FREEXL_INSUFFICIENT_MEMORY ? sheet_error::kTooBig : sheet_error::kDamaged;
    }
    unsigned int info = 0;
    if (freexl_get_info(xls.get(), FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        return sheet_error::kEncrypted;
    }
    if (freexl_get_info(xls.get(), FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0) {
        return sheet_error::kNoSheet;
    }
    if (freexl_select_active_worksheet(xls.get(), 0) != FREEXL_OK) {
        return sheet_error::kDamaged;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(xls.get(), &rows, &columns) != FREEXL_OK) {
        return sheet_error::kDamaged;
    }
    if (rows > unsigned(SheetBuilder::kMaxRows)) {
        return sheet_error::kTooLong;
    }
    const unsigned short used = std::min<unsigned short>(columns, kSheetColumnCount);
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < used; ++column) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(xls.get(), row, column, &cell) != FREEXL_OK) {
                return sheet_error::kDamaged;
            }
            builder.setCell(row, column, CellText(cell));
        }
    }
    return {};
}
