#include "import/xls_globals.h"

#include <algorithm>

#include "import/number_format.h"
#include "import/sheet_builder.h"
#include "import/sheet_readers.h"

namespace xls {

using biff::Cursor;
using biff::Record;
using biff::RecordReader;

namespace {

// Sheet types in a BOUNDSHEET record and in a substream's BOF record.
constexpr uint8_t kWorksheetEntry = 0x00;
constexpr uint16_t kGlobalsStream = 0x0005;
constexpr uint16_t kWorksheetStream = 0x0010;

bool ReadSheetEntry(const Record& record, const Globals& globals, platform::CodePageText& codePage,
                    SheetEntry& entry) {
    Cursor in(record);
    uint8_t visibility = 0;
    uint8_t type = 0;
    if (!in.u32(entry.offset) || !in.u8(visibility) || !in.u8(type)) {
        return false;
    }
    entry.visible = (visibility & 0x03) == 0;
    entry.worksheet = type == kWorksheetEntry;
    return globals.biff8 ? in.unicodeString(1, entry.name) : in.byteString(1, codePage, entry.name);
}

// The shared strings: a count, then the strings, cut across CONTINUE records where they fill
// one. A table that stops short keeps the strings before the cut.
void ReadSharedStrings(const Record& record, std::vector<QString>& strings) {
    Cursor in(record);
    uint32_t total = 0;
    uint32_t unique = 0;
    if (!in.u32(total) || !in.u32(unique)) {
        return;
    }
    // Each string takes at least three bytes, whatever the count says.
    strings.reserve(std::min<size_t>(unique, in.remaining() / 3));
    for (uint32_t i = 0; i < unique; ++i) {
        QString text;
        if (!in.unicodeString(2, text)) {
            return;
        }
        strings.push_back(std::move(text));
    }
}

// Where each substream after the globals starts, in order: the sheets' own BOF records, with
// the charts embedded in a sheet (a BOF inside a BOF) left out.
std::vector<size_t> SubstreamStarts(std::string_view stream, size_t from) {
    std::vector<size_t> starts;
    int depth = 0;
    Record record;
    for (RecordReader records(stream, from); records.next(record);) {
        if (record.id == biff::kBof) {
            if (depth == 0) {
                starts.push_back(record.offset);
            }
            ++depth;
        } else if (record.id == biff::kEof && depth > 0) {
            --depth;
        }
    }
    return starts;
}

}  // namespace

void Globals::findDateStyles() {
    dateXfs.assign(xfFormats.size(), false);
    xfNumberFormats.assign(xfFormats.size(), 0);
    numberFormats.assign(1, NumberFormat());
    std::unordered_map<uint16_t, size_t> compiled;
    for (size_t xf = 0; xf < xfFormats.size(); ++xf) {
        const auto code = formats.find(xfFormats[xf]);
        const QByteArray utf8 = code == formats.end() ? QByteArray() : code->second.toUtf8();
        dateXfs[xf] =
            IsDateFormat(xfFormats[xf], std::string_view(utf8.constData(), size_t(utf8.size())));
        auto [at, added] = compiled.emplace(xfFormats[xf], numberFormats.size());
        if (added) {
            numberFormats.emplace_back(code == formats.end() ? BuiltinFormatCode(xfFormats[xf])
                                                             : code->second);
        }
        xfNumberFormats[xf] = at->second;
    }
}

QString Globals::numberText(uint16_t xf, double value, const QDate& origin) const {
    static const NumberFormat general;
    const NumberFormat& format =
        xf < xfNumberFormats.size() ? numberFormats[xfNumberFormats[xf]] : general;
    // The system's long date ([$-F800]) is a date without a day or a year in its code.
    if (showsDate(xf) && !format.showsDate()) {
        if (const std::optional<QString> date = SerialDateText(value, origin)) {
            return *date;
        }
    }
    return format.text(value, origin);
}

std::optional<Bof> ReadBof(const Record& record) {
    if (record.id != biff::kBof) {
        return std::nullopt;
    }
    Cursor in(record);
    uint16_t version = 0;
    Bof bof;
    if (!in.u16(version) || !in.u16(bof.type)) {
        return std::nullopt;
    }
    // Excel 97 writes 0x0600; a few writers leave the version out of the longer record.
    bof.biff8 = version == 0x0600 || (version != 0x0500 && record.pieces.front().size() >= 16);
    return bof;
}

// Reads the globals substream at the start of the workbook stream.
QString ReadGlobals(std::string_view stream, Globals& globals) {
    RecordReader records(stream, 0);
    Record record;
    std::optional<Bof> bof;
    if (!records.next(record) || !(bof = ReadBof(record)) || bof->type != kGlobalsStream) {
        return sheet_error::kDamaged;
    }
    globals.biff8 = bof->biff8;
    // The code page decodes names and formats of the 95 format; it comes early, but look for
    // it first so the order of records does not matter.
    for (RecordReader scan(stream, records.offset());
         scan.next(record) && record.id != biff::kEof;) {
        Cursor in(record);
        if (record.id == biff::kFilePass) {
            return sheet_error::kEncrypted;
        }
        if (record.id == biff::kCodePage && !in.u16(globals.codePage)) {
            return sheet_error::kDamaged;
        }
    }
    platform::CodePageText codePage(globals.codePage);
    while (records.next(record)) {
        Cursor in(record);
        bool ok = true;
        switch (record.id) {
            case biff::kEof:
                globals.end = records.offset();
                globals.findDateStyles();
                return {};
            case biff::kDateMode: {
                uint16_t mode = 0;
                ok = in.u16(mode);
                globals.dates1904 = mode == 1;
                break;
            }
            case biff::kFormat: {
                uint16_t index = 0;
                QString code;
                ok = in.u16(index) &&
                     (globals.biff8 ? in.unicodeString(2, code) : in.byteString(1, codePage, code));
                globals.formats[index] = code;
                break;
            }
            case biff::kXf: {
                uint16_t font = 0;
                uint16_t format = 0;
                ok = in.u16(font) && in.u16(format);
                globals.xfFormats.push_back(format);
                break;
            }
            case biff::kBoundSheet: {
                SheetEntry entry;
                ok = ReadSheetEntry(record, globals, codePage, entry);
                globals.sheets.push_back(std::move(entry));
                break;
            }
            case biff::kSst:
                ReadSharedStrings(record, globals.strings);
                break;
            default:
                break;
        }
        if (!ok) {
            return sheet_error::kDamaged;
        }
    }
    return sheet_error::kDamaged;  // no EOF: the stream was cut short
}

// The sheet to read: the first visible worksheet, else the first worksheet; and how many
// visible worksheets there are.
std::optional<size_t> ChosenSheet(const Globals& globals, int& visibleWorksheets) {
    std::optional<size_t> firstVisible;
    std::optional<size_t> first;
    visibleWorksheets = 0;
    for (size_t i = 0; i < globals.sheets.size(); ++i) {
        const SheetEntry& sheet = globals.sheets[i];
        if (!sheet.worksheet) {
            continue;
        }
        if (!first) {
            first = i;
        }
        if (sheet.visible) {
            ++visibleWorksheets;
            if (!firstVisible) {
                firstVisible = i;
            }
        }
    }
    return firstVisible ? firstVisible : first;
}

// Where the sheet's substream starts: where its entry says, or, when no worksheet starts
// there, where the substreams in the entries' order put it.
std::optional<size_t> SheetStart(std::string_view stream, const Globals& globals, size_t sheet) {
    auto isWorksheet = [&stream](size_t offset) {
        RecordReader records(stream, offset);
        Record record;
        const std::optional<Bof> bof = records.next(record) ? ReadBof(record) : std::nullopt;
        return bof && bof->type == kWorksheetStream;
    };
    const size_t offset = globals.sheets[sheet].offset;
    if (offset >= globals.end && isWorksheet(offset)) {
        return offset;
    }
    const std::vector<size_t> starts = SubstreamStarts(stream, globals.end);
    if (sheet < starts.size() && isWorksheet(starts[sheet])) {
        return starts[sheet];
    }
    return std::nullopt;
}

}  // namespace xls
