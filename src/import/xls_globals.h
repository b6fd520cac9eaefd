#pragma once

#include <QString>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/biff_records.h"
#include "import/number_format.h"

// The globals substream at the start of a legacy workbook stream, and the sheet to read.
namespace xls {

struct SheetEntry {
    uint32_t offset = 0;
    bool visible = false;
    bool worksheet = false;
    QString name;
};

// What the workbook's globals say that the cells need.
struct Globals {
    bool biff8 = true;
    bool dates1904 = false;
    uint16_t codePage = 1252;
    std::vector<QString> strings;
    std::vector<uint16_t> xfFormats;
    std::unordered_map<uint16_t, QString> formats;
    std::vector<SheetEntry> sheets;
    std::vector<bool> dateXfs;  // whether each cell style's number format shows a date
    // Each cell style's number format, compiled once: an index into numberFormats.
    std::vector<size_t> xfNumberFormats;
    std::vector<NumberFormat> numberFormats;
    size_t end = 0;  // where the globals' EOF record ends

    void findDateStyles();
    bool showsDate(uint16_t xf) const { return xf < dateXfs.size() && dateXfs[xf]; }
    // The text a number shows in a cell of style `xf`; day counts start at `origin`.
    QString numberText(uint16_t xf, double value, const QDate& origin) const;
    // The text a text cell of style `xf` shows.
    QString text(uint16_t xf, const QString& text) const {
        return xf < xfNumberFormats.size() ? numberFormats[xfNumberFormats[xf]].textOf(text) : text;
    }
};

// The BOF record at the start of a substream: its format version and what it holds.
struct Bof {
    bool biff8 = false;
    uint16_t type = 0;
};
std::optional<Bof> ReadBof(const biff::Record& record);

// Reads the globals; an empty text, or why the workbook cannot be read.
QString ReadGlobals(std::string_view stream, Globals& globals);

// The sheet to read: the first visible worksheet, else the first worksheet; and how many
// visible worksheets there are.
std::optional<size_t> ChosenSheet(const Globals& globals, int& visibleWorksheets);

// Where the sheet's substream starts: where its entry says, or, when no worksheet starts
// there, where the substreams in the entries' order put it.
std::optional<size_t> SheetStart(std::string_view stream, const Globals& globals, size_t sheet);

}  // namespace xls
