#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "import/sheet_size.h"

// The import window's own sheet file: every text of the sheet and every format its commands set,
// so a sheet being corrected can be put aside and taken up again. Widget-free, so the reader can
// be tested (and fuzzed) without a screen.
//
// File layout, version 1. Integers are unsigned little-endian unless marked signed (i32).
//
//   offset  size  field
//   0       8     magic "RVSHEET" followed by 0x1A
//   8       4     format version (1). A reader refuses any version above its own.
//   12      4     payload size in bytes; the payload is the rest of the file, exactly
//   16      32    SHA-256 of the payload: a file whose bytes changed is refused, not half-read
//   48      n     payload
//
// Payload, in this order:
//   u32 rows, u32 cols                  1 to kMaxSheetLines each; row 0 holds the headings
//   u32 format count                    1 to kMaxFormats; format 0 is the default and must be so
//     per format (16 bytes and the name):
//       u8  flags    bit 0 bold, 1 italic, 2 underline, 3 wrap, 4 locked, 5 text colour set,
//                    6 back colour set; bit 7 is 0
//       u8  alignment code: 0 (the column's), 5-7, 9-11 or 13-15
//       u8  borders  2 bits an edge (0 none, 1 thin, 2 thick): left 0-1, top 2-3, right 4-5,
//                    bottom 6-7
//       u8  0
//       u32 text colour, u32 back colour   0x00RRGGBB; 0 when the flag is not set
//       u16 font size in tenths of a point, 0 for the sheet's size, at most kMaxFontTenths
//       u16 font name length in bytes (0 for the sheet's font), at most kMaxFontNameBytes,
//           then the name in UTF-8
//   u32 column entry count              at most cols; columns not listed keep the defaults
//     per entry: u32 col, i32 width (-1 default, 0 hidden, up to kMaxWidth), u8 locked (0 or 1)
//     in strictly increasing col order
//   u32 row entry count                 at most rows; rows not listed are empty
//     per entry: u32 row, u16 height (0 default, up to kMaxHeight), u32 cell count (at most
//     cols), then per cell: u32 col, u32 format index, u32 text length in bytes (at most
//     kMaxTextBytes), the text in UTF-8
//     rows and, within a row, cells in strictly increasing order
//
// Every count and length is checked before anything is allocated for it, against its bound and
// against the bytes left, so a hostile file costs no more memory than its own size.
struct SheetDocument {
    static constexpr quint32 kVersion = 1;
    static constexpr int kMaxFormats = 65536;
    static constexpr int kMaxFontTenths = 4096;
    static constexpr int kMaxFontNameBytes = 1024;
    static constexpr int kMaxWidth = 65535;
    static constexpr int kMaxHeight = 65535;
    static constexpr int kMaxTextBytes = 16 << 20;
    static constexpr qint64 kMaxFileBytes = qint64(1) << 30;

    enum Border : quint8 { kNone = 0, kThin = 1, kThick = 2 };

    struct Format {
        bool bold = false;
        bool italic = false;
        bool underline = false;
        bool wrap = false;
        bool locked = false;
        std::optional<quint32> textColor;  // 0xRRGGBB
        std::optional<quint32> backColor;
        int alignment = 0;
        quint8 left = kNone;
        quint8 top = kNone;
        quint8 right = kNone;
        quint8 bottom = kNone;
        int fontTenths = 0;  // font size in tenths of a point, 0: the sheet's size
        QString fontName;    // empty: the sheet's font
        bool operator==(const Format&) const = default;
    };
    struct Column {
        int col = 0;
        int width = -1;
        bool locked = false;
        bool operator==(const Column&) const = default;
    };
    struct Cell {
        int col = 0;
        int format = 0;
        QString text;
        bool operator==(const Cell&) const = default;
    };
    struct Line {
        int row = 0;
        int height = 0;
        std::vector<Cell> cells;
        bool operator==(const Line&) const = default;
    };

    int rows = 1;
    int cols = 1;
    std::vector<Format> formats{Format{}};
    std::vector<Column> columns;
    std::vector<Line> lines;

    bool operator==(const SheetDocument&) const = default;
};

// Reasons a file is refused, fit to follow "无法打开表格文件：".
namespace sheet_format_error {
extern const QString kCannotOpen;
extern const QString kTooBig;
extern const QString kNotASheet;
extern const QString kNewerVersion;
extern const QString kDamaged;
}  // namespace sheet_format_error

// The file's bytes. The document must keep the bounds above (what a sheet's commands make does);
// values outside them are clamped.
QByteArray WriteSheetDocument(const SheetDocument& document);

struct SheetDocumentRead {
    SheetDocument document;
    QString error;  // empty when read; otherwise the document is the empty default

    bool ok() const { return error.isEmpty(); }
};

// Reads a whole file's bytes; anything outside the layout above refuses the whole file.
SheetDocumentRead ReadSheetDocument(QByteArrayView bytes);

// The same from and to a file. Saving replaces the file only once every byte is written;
// it returns the reason it failed, or an empty text.
SheetDocumentRead LoadSheetDocument(const QString& path);
QString SaveSheetDocument(const QString& path, const SheetDocument& document);
