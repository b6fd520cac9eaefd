#include <freexl.h>

#include <QFile>
#include <cstring>

#include "import/child_process.h"
#include "import/sheet_readers.h"

// The legacy format's library overruns a stack buffer inside its character conversion on some
// crafted files, so it reads in a child process (import/child_process.h). The child runs the
// library and write(2) only.

namespace {

// What the child sends: for each non-empty cell kCell, its row (4 bytes), column (1 byte), kind
// (1 byte) and payload, a double (8 bytes) or a UTF-8 text (4-byte length, bytes); at the end
// kEnd and a status byte.
enum : char { kCell = 'c', kEnd = 'e' };
enum : char {
    kRead = 'R',
    kCannotOpen = 'O',
    kDamaged = 'D',
    kEncrypted = 'E',
    kNoSheet = 'S',
    kTooLong = 'L',
    kNoMemory = 'M'
};
enum : char { kNumber = 'n', kText = 't', kDate = 'd' };

// More than the child could honestly send for 65,536 rows of eight cells.
constexpr qint64 kMaxTransfer = qint64(512) << 20;
// A child that sends nothing for this long is stuck in the library.
constexpr int kStallMs = 60000;

// Runs in the child: the library, plain C++ and write(2) only.
char ReadInChild(const char* path, PipeWriter& out) {
    const void* xls = nullptr;
    const int opened = freexl_open(path, &xls);
    if (opened == FREEXL_FILE_NOT_FOUND) {
        return kCannotOpen;
    }
    if (opened != FREEXL_OK) {
        return opened == FREEXL_INSUFFICIENT_MEMORY ? kNoMemory : kDamaged;
    }
    unsigned int info = 0;
    if (freexl_get_info(xls, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        return kEncrypted;
    }
    if (freexl_get_info(xls, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0) {
        return kNoSheet;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(xls, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(xls, &rows, &columns) != FREEXL_OK) {
        return kDamaged;
    }
    if (rows > unsigned(SheetBuilder::kMaxRows)) {
        return kTooLong;
    }
    const unsigned short used = std::min<unsigned short>(columns, kSheetColumnCount);
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < used; ++column) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(xls, row, column, &cell) != FREEXL_OK) {
                return kDamaged;
            }
            char kind = 0;
            double number = 0;
            const char* text = nullptr;
            switch (cell.type) {
                case FREEXL_CELL_INT:
                    kind = kNumber;
                    number = cell.value.int_value;
                    break;
                case FREEXL_CELL_DOUBLE:
                    kind = kNumber;
                    number = cell.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_TIME:
                    kind = kText;
                    text = cell.value.text_value;
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                    kind = kDate;
                    text = cell.value.text_value;
                    break;
                default:
                    break;
            }
            if (kind == 0 || (kind != kNumber && (!text || !*text))) {
                continue;
            }
            out.put(kCell);
            out.put(quint32(row));
            out.put(quint8(column));
            out.put(kind);
            if (kind == kNumber) {
                out.put(number);
            } else {
                out.text(text, std::strlen(text));
            }
        }
    }
    freexl_close(xls);
    return kRead;
}

QString Reason(char status) {
    switch (status) {
        case kCannotOpen:
            return sheet_error::kCannotOpen;
        case kEncrypted:
            return sheet_error::kEncrypted;
        case kNoSheet:
            return sheet_error::kNoSheet;
        case kTooLong:
            return sheet_error::kTooLong;
        case kNoMemory:
            return sheet_error::kTooBig;
        default:
            return sheet_error::kDamaged;
    }
}

}  // namespace

QString ReadXlsWorkbook(const QString& path, SheetBuilder& builder) {
    const QByteArray name = QFile::encodeName(path);
    const std::optional<QByteArray> report = RunInChild(
        [&name](PipeWriter& out) {
            const char status = ReadInChild(name.constData(), out);
            out.put(kEnd);
            out.put(status);
        },
        kMaxTransfer, kStallMs);
    if (!report) {
        return sheet_error::kDamaged;
    }
    const QByteArray& data = *report;
    PipeReader in(data);
    for (;;) {
        char tag = 0;
        if (!in.get(tag)) {
            return sheet_error::kDamaged;  // the child stopped without saying why
        }
        if (tag == kEnd) {
            char result = kDamaged;
            in.get(result);
            if (result != kRead) {
                return Reason(result);
            }
            break;
        }
        quint32 row = 0;
        quint8 column = 0;
        char kind = 0;
        if (tag != kCell || !in.get(row) || !in.get(column) || !in.get(kind)) {
            return sheet_error::kDamaged;
        }
        QString text;
        if (kind == kNumber) {
            double number = 0;
            if (!in.get(number)) {
                return sheet_error::kDamaged;
            }
            text = NumberCellText(number);
        } else if (!in.text(text)) {
            return sheet_error::kDamaged;
        } else if (kind == kDate) {
            text = text.left(10);  // "yyyy-mm-dd", maybe with a time of day: keep the day
        }
        builder.setCell(row, column, text);
    }
    return {};
}
