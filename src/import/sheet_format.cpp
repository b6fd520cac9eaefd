#include "import/sheet_format.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <cerrno>

#include "data/engine_error.h"

namespace sheet_format_error {
const QString kCannotOpen = QStringLiteral("文件无法打开。");
const QString kTooBig = QStringLiteral("文件太大。");
const QString kNotASheet = QStringLiteral("不是表格文件。");
const QString kNewerVersion = QStringLiteral("文件由较新版本的程序保存，请升级后再打开。");
const QString kDamaged = QStringLiteral("文件已损坏。");
}  // namespace sheet_format_error

namespace {

const QByteArray kMagic = QByteArrayLiteral("RVSHEET\x1A");
constexpr qsizetype kHeaderBytes = 48;
constexpr qsizetype kHashBytes = 32;
// The fewest bytes one entry of each list can take, to refuse counts the bytes left cannot hold
// before anything is reserved for them.
constexpr qsizetype kMinFormatBytes = 16;
constexpr qsizetype kMinColumnBytes = 9;
constexpr qsizetype kMinLineBytes = 10;
constexpr qsizetype kMinCellBytes = 12;

constexpr quint8 kBold = 1 << 0;
constexpr quint8 kItalic = 1 << 1;
constexpr quint8 kUnderline = 1 << 2;
constexpr quint8 kWrap = 1 << 3;
constexpr quint8 kLocked = 1 << 4;
constexpr quint8 kTextColor = 1 << 5;
constexpr quint8 kBackColor = 1 << 6;

bool IsAlignment(int code) {
    return code == 0 || (code >= 5 && code <= 7) || (code >= 9 && code <= 11) ||
           (code >= 13 && code <= 15);
}

class Writer {
public:
    void u8(quint8 value) { bytes_.append(char(value)); }
    void u16(quint16 value) { put(qToLittleEndian(value)); }
    void u32(quint32 value) { put(qToLittleEndian(value)); }
    void text(const QString& text, int maxBytes, int lengthBytes) {
        QByteArray utf8 = text.toUtf8();
        if (utf8.size() > maxBytes) {
            // Cut on a character boundary so the reader still sees valid UTF-8.
            utf8 = QStringView(text).left(maxBytes / 4).toUtf8();
        }
        lengthBytes == 2 ? u16(quint16(utf8.size())) : u32(quint32(utf8.size()));
        bytes_.append(utf8);
    }
    QByteArray& bytes() { return bytes_; }

private:
    template <typename T>
    void put(T value) {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    QByteArray bytes_;
};

// Reads the payload; any read past the end, or any value outside its bound, fails the reader,
// after which every read gives 0.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : bytes_(bytes) {}

    bool failed() const { return failed_; }
    bool atEnd() const { return at_ == bytes_.size(); }
    qsizetype left() const { return bytes_.size() - at_; }
    void fail() { failed_ = true; }

    quint8 u8() { return quint8(take(1)[0]); }
    quint16 u16() { return qFromLittleEndian<quint16>(take(2).data()); }
    quint32 u32() { return qFromLittleEndian<quint32>(take(4).data()); }

    // A value in [low, high], or a failure.
    qint64 bounded(quint32 value, qint64 low, qint64 high) {
        if (value < low || value > high) {
            fail();
            return low;
        }
        return value;
    }
    // A count of entries of at least `minBytes` each, or a failure when the rest cannot hold it.
    int count(qint64 high, qsizetype minBytes) {
        const quint32 value = u32();
        if (value > high || qint64(value) * minBytes > left()) {
            fail();
            return 0;
        }
        return int(value);
    }
    QString text(quint32 length, qint64 maxBytes) {
        if (length > maxBytes || length > left()) {
            fail();
            return {};
        }
        const QByteArrayView utf8 = take(length);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString decoded = decoder.decode(utf8);
        if (decoder.hasError()) {
            fail();
            return {};
        }
        return decoded;
    }

private:
    QByteArrayView take(qsizetype size) {
        static const char zeros[8] = {};
        if (failed_ || size > left()) {
            failed_ = true;
            return QByteArrayView(zeros, std::min<qsizetype>(size, sizeof zeros));
        }
        const QByteArrayView part = bytes_.sliced(at_, size);
        at_ += size;
        return part;
    }

    QByteArrayView bytes_;
    qsizetype at_ = 0;
    bool failed_ = false;
};

void WriteFormat(Writer& out, const SheetDocument::Format& f) {
    quint8 flags = 0;
    flags |= f.bold ? kBold : 0;
    flags |= f.italic ? kItalic : 0;
    flags |= f.underline ? kUnderline : 0;
    flags |= f.wrap ? kWrap : 0;
    flags |= f.locked ? kLocked : 0;
    flags |= f.textColor ? kTextColor : 0;
    flags |= f.backColor ? kBackColor : 0;
    out.u8(flags);
    out.u8(quint8(IsAlignment(f.alignment) ? f.alignment : 0));
    auto edge = [](quint8 style) { return quint8(std::min<quint8>(style, 2)); };
    out.u8(quint8(edge(f.left) | edge(f.top) << 2 | edge(f.right) << 4 | edge(f.bottom) << 6));
    out.u8(0);
    out.u32(f.textColor.value_or(0) & 0xFFFFFF);
    out.u32(f.backColor.value_or(0) & 0xFFFFFF);
    out.u16(quint16(std::clamp(f.fontTenths, 0, SheetDocument::kMaxFontTenths)));
    out.text(f.fontName, SheetDocument::kMaxFontNameBytes, 2);
}

SheetDocument::Format ReadFormat(Reader& in) {
    SheetDocument::Format f;
    const quint8 flags = in.u8();
    if (flags & 0x80) {
        in.fail();
    }
    f.bold = flags & kBold;
    f.italic = flags & kItalic;
    f.underline = flags & kUnderline;
    f.wrap = flags & kWrap;
    f.locked = flags & kLocked;
    f.alignment = in.u8();
    if (!IsAlignment(f.alignment)) {
        in.fail();
    }
    const quint8 borders = in.u8();
    f.left = borders & 3;
    f.top = borders >> 2 & 3;
    f.right = borders >> 4 & 3;
    f.bottom = borders >> 6 & 3;
    if (f.left > 2 || f.top > 2 || f.right > 2 || f.bottom > 2 || in.u8() != 0) {
        in.fail();
    }
    const quint32 text = in.u32();
    const quint32 back = in.u32();
    if (text > 0xFFFFFF || back > 0xFFFFFF || (!(flags & kTextColor) && text != 0) ||
        (!(flags & kBackColor) && back != 0)) {
        in.fail();
    }
    if (flags & kTextColor) {
        f.textColor = text;
    }
    if (flags & kBackColor) {
        f.backColor = back;
    }
    f.fontTenths = int(in.bounded(in.u16(), 0, SheetDocument::kMaxFontTenths));
    f.fontName = in.text(in.u16(), SheetDocument::kMaxFontNameBytes);
    return f;
}

SheetDocument ReadPayload(Reader& in) {
    SheetDocument doc;
    doc.rows = int(in.bounded(in.u32(), 1, kMaxSheetLines));
    doc.cols = int(in.bounded(in.u32(), 1, kMaxSheetLines));
    const int formats = in.count(SheetDocument::kMaxFormats, kMinFormatBytes);
    if (formats < 1) {
        in.fail();
        return doc;
    }
    doc.formats.clear();
    doc.formats.reserve(size_t(formats));
    for (int i = 0; i < formats && !in.failed(); ++i) {
        doc.formats.push_back(ReadFormat(in));
    }
    if (in.failed() || doc.formats.front() != SheetDocument::Format{}) {
        in.fail();
        return doc;
    }

    const int columns = in.count(doc.cols, kMinColumnBytes);
    doc.columns.reserve(size_t(columns));
    for (int i = 0; i < columns && !in.failed(); ++i) {
        SheetDocument::Column column;
        column.col = int(in.bounded(in.u32(), doc.columns.empty() ? 0 : doc.columns.back().col + 1,
                                    doc.cols - 1));
        const qint32 width = qint32(in.u32());
        if (width < -1 || width > SheetDocument::kMaxWidth) {
            in.fail();
        }
        column.width = width;
        column.locked = in.bounded(in.u8(), 0, 1) == 1;
        doc.columns.push_back(column);
    }

    const int lines = in.count(doc.rows, kMinLineBytes);
    doc.lines.reserve(size_t(lines));
    for (int i = 0; i < lines && !in.failed(); ++i) {
        SheetDocument::Line line;
        line.row = int(
            in.bounded(in.u32(), doc.lines.empty() ? 0 : doc.lines.back().row + 1, doc.rows - 1));
        line.height = int(in.bounded(in.u16(), 0, SheetDocument::kMaxHeight));
        const int cells = in.count(doc.cols, kMinCellBytes);
        line.cells.reserve(size_t(cells));
        for (int c = 0; c < cells && !in.failed(); ++c) {
            SheetDocument::Cell cell;
            cell.col = int(in.bounded(in.u32(), line.cells.empty() ? 0 : line.cells.back().col + 1,
                                      doc.cols - 1));
            cell.format = int(in.bounded(in.u32(), 0, formats - 1));
            cell.text = in.text(in.u32(), SheetDocument::kMaxTextBytes);
            line.cells.push_back(std::move(cell));
        }
        doc.lines.push_back(std::move(line));
    }
    if (!in.atEnd()) {
        in.fail();
    }
    return doc;
}

QByteArray Hash(QByteArrayView payload) {
    return QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
}

}  // namespace

QByteArray WriteSheetDocument(const SheetDocument& doc) {
    Writer out;
    out.u32(quint32(std::clamp(doc.rows, 1, kMaxSheetLines)));
    out.u32(quint32(std::clamp(doc.cols, 1, kMaxSheetLines)));
    out.u32(quint32(std::clamp<size_t>(doc.formats.size(), 1, SheetDocument::kMaxFormats)));
    WriteFormat(out, {});
    for (size_t i = 1; i < std::min<size_t>(doc.formats.size(), SheetDocument::kMaxFormats); ++i) {
        WriteFormat(out, doc.formats[i]);
    }
    out.u32(quint32(doc.columns.size()));
    for (const SheetDocument::Column& column : doc.columns) {
        out.u32(quint32(column.col));
        out.u32(quint32(qint32(std::clamp(column.width, -1, SheetDocument::kMaxWidth))));
        out.u8(column.locked ? 1 : 0);
    }
    out.u32(quint32(doc.lines.size()));
    for (const SheetDocument::Line& line : doc.lines) {
        out.u32(quint32(line.row));
        out.u16(quint16(std::clamp(line.height, 0, SheetDocument::kMaxHeight)));
        out.u32(quint32(line.cells.size()));
        for (const SheetDocument::Cell& cell : line.cells) {
            out.u32(quint32(cell.col));
            out.u32(quint32(cell.format));
            out.text(cell.text, SheetDocument::kMaxTextBytes, 4);
        }
    }

    Writer file;
    file.bytes() = kMagic;
    file.u32(SheetDocument::kVersion);
    file.u32(quint32(out.bytes().size()));
    file.bytes() += Hash(out.bytes());
    file.bytes() += out.bytes();
    return file.bytes();
}

SheetDocumentRead ReadSheetDocument(QByteArrayView bytes) {
    SheetDocumentRead result;
    if (!bytes.startsWith(kMagic)) {
        result.error = sheet_format_error::kNotASheet;
        return result;
    }
    Reader header(bytes.sliced(kMagic.size()));
    const quint32 version = header.u32();
    if (version > SheetDocument::kVersion) {
        result.error = sheet_format_error::kNewerVersion;
        return result;
    }
    const quint32 size = header.u32();
    if (version == 0 || bytes.size() < kHeaderBytes || size != bytes.size() - kHeaderBytes) {
        result.error = sheet_format_error::kDamaged;
        return result;
    }
    const QByteArrayView payload = bytes.sliced(kHeaderBytes);
    if (bytes.sliced(kHeaderBytes - kHashBytes, kHashBytes).toByteArray() != Hash(payload)) {
        result.error = sheet_format_error::kDamaged;
        return result;
    }
    Reader in(payload);
    SheetDocument doc = ReadPayload(in);
    if (in.failed()) {
        result.error = sheet_format_error::kDamaged;
        return result;
    }
    result.document = std::move(doc);
    return result;
}

SheetDocumentRead LoadSheetDocument(const QString& path) {
    SheetDocumentRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = sheet_format_error::kCannotOpen;
        return result;
    }
    if (file.size() > SheetDocument::kMaxFileBytes) {
        result.error = sheet_format_error::kTooBig;
        return result;
    }
    const QByteArray bytes = file.read(SheetDocument::kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.error = sheet_format_error::kCannotOpen;
        return result;
    }
    if (bytes.size() > SheetDocument::kMaxFileBytes) {
        result.error = sheet_format_error::kTooBig;
        return result;
    }
    return ReadSheetDocument(bytes);
}

QString SaveSheetDocument(const QString& path, const SheetDocument& document) {
    QSaveFile file(path);
    errno = 0;
    const QByteArray bytes = WriteSheetDocument(document);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return errno ? DescribeSystemError(errno)
                     : QStringLiteral("写入文件出错（%1）").arg(file.errorString());
    }
    return {};
}
