#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <string>

#include "import/sheet_readers.h"

// The legacy format's library is old C that a crafted file can still lead astray (a fuzzed
// file makes it overrun a stack buffer inside its character conversion). It therefore reads
// the file in a child process of its own and hands the cells over a pipe: whatever a hostile
// file does to it, this process only sees a child that did not finish, and the file reads as
// damaged.

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

class Writer {
public:
    explicit Writer(int fd) : fd_(fd) {}
    ~Writer() { flush(); }
    void put(const void* data, size_t size) {
        buffer_.append(static_cast<const char*>(data), size);
        if (buffer_.size() >= 1 << 16) {
            flush();
        }
    }
    template <class T>
    void put(T value) {
        put(&value, sizeof value);
    }
    void flush() {
        const char* p = buffer_.data();
        size_t left = buffer_.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                _exit(3);
            }
            p += n;
            left -= size_t(n);
        }
        buffer_.clear();
    }

private:
    int fd_;
    std::string buffer_;
};

// Runs in the child: the library, plain C++ and write(2) only.
char ReadInChild(const char* path, Writer& out) {
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
                const quint32 size = quint32(std::strlen(text));
                out.put(size);
                out.put(text, size);
            }
        }
    }
    freexl_close(xls);
    return kRead;
}

// Reads the child's whole report, or less when it stalls or sends more than it could mean.
bool ReadAll(int fd, pid_t child, QByteArray& data) {
    char chunk[1 << 16];
    for (;;) {
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, kStallMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            ::kill(child, SIGKILL);
            return false;
        }
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::kill(child, SIGKILL);
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (data.size() + n > kMaxTransfer) {
            ::kill(child, SIGKILL);
            return false;
        }
        data.append(chunk, n);
    }
}

class Reader {
public:
    explicit Reader(const QByteArray& data) : data_(data) {}
    template <class T>
    bool get(T& value) {
        if (at_ + qsizetype(sizeof value) > data_.size()) {
            return false;
        }
        std::memcpy(&value, data_.constData() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool text(QString& value) {
        quint32 size = 0;
        if (!get(size) || at_ + qint64(size) > data_.size()) {
            return false;
        }
        value = QString::fromUtf8(data_.constData() + at_, qsizetype(size));
        at_ += size;
        return true;
    }

private:
    const QByteArray& data_;
    qsizetype at_ = 0;
};

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
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return sheet_error::kCannotOpen;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return sheet_error::kCannotOpen;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        // What the library or a checker says as it fails is for nobody: the file reads as damaged.
        if (const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        {
            Writer out(pipeFds[1]);
            const char status = ReadInChild(name.constData(), out);
            out.put(kEnd);
            out.put(status);
        }
        // No exit handlers: they belong to the parent.
        _exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray data;
    const bool complete = ReadAll(pipeFds[0], child, data);
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || data.isEmpty()) {
        return sheet_error::kDamaged;
    }
    Reader in(data);
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
