#pragma once

#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/legacy_text.h"

// The record layer of the legacy workbook stream: records with their CONTINUE records, and the
// strings inside them. Every length and offset comes from the file, so every read is checked
// against the bytes there are and fails instead of reading past them.

namespace biff {

// Record ids the reader acts on.
enum : uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kLabelSst = 0x00FD,
    kLabel = 0x0204,
    kRString = 0x00D6,
    kRk = 0x027E,
    kMulRk = 0x00BD,
    kNumber = 0x0203,
    kBoolErr = 0x0205,
    kFormula = 0x0006,
    kString = 0x0207,
    kShrFmla = 0x04BC,
    kArray = 0x0221,
    kTable = 0x0236,
    kDateMode = 0x0022,
    kXf = 0x00E0,
    kFormat = 0x041E,
    kCodePage = 0x0042,
    kFilePass = 0x002F,
};

// A record whose data may go on in the CONTINUE records right after it: one piece each.
struct Record {
    uint16_t id = 0;
    size_t offset = 0;  // where its header starts in the stream
    std::vector<std::string_view> pieces;
};

// Walks the records of a stream from an offset.
class RecordReader {
public:
    RecordReader(std::string_view stream, size_t offset) : stream_(stream), next_(offset) {}
    // The next record with its CONTINUE records, or false at the end of the stream (or where
    // a record says it runs past the end).
    bool next(Record& record);
    size_t offset() const { return next_; }

private:
    bool header(size_t at, uint16_t& id, uint16_t& size) const;

    std::string_view stream_;
    size_t next_;
};

// Reads the data of one record, across its pieces. Each read fails, leaving the cursor
// unusable, when the data is shorter than it says.
class Cursor {
public:
    explicit Cursor(const Record& record) : pieces_(record.pieces) {}

    bool u8(uint8_t& value);
    bool u16(uint16_t& value);
    bool u32(uint32_t& value);
    bool f64(double& value);
    bool skip(size_t bytes);
    // Bytes left in the current piece and after it.
    size_t remaining() const;
    // The bytes left in the current piece.
    std::string_view restOfPiece() const;

    // A string of the 97 format: a character count of `countBytes` (1 or 2), option flags,
    // then the characters, one byte each (Latin-1) or two (UTF-16). A string cut by a CONTINUE
    // record goes on after a new flags byte there. Rich-text runs and phonetic blocks after
    // the characters are skipped.
    bool unicodeString(int countBytes, QString& text);
    // A string of the 95 format: a byte count of `countBytes`, then bytes in the workbook's
    // code page.
    bool byteString(int countBytes, platform::CodePageText& codePage, QString& text);

private:
    // A string's character count, stored in one byte or two.
    bool characterCount(int countBytes, uint16_t& count);
    bool bytes(void* out, size_t count);
    bool characters(size_t count, bool wide, QString& text);
    // Steps to the next piece when the current one is used up.
    bool nextPieceIfAtEnd();
    // Steps to the next piece, which starts with the flags of the characters going on there.
    bool flagsOfNextPiece(bool& wide);

    const std::vector<std::string_view>& pieces_;
    size_t piece_ = 0;
    size_t at_ = 0;
};

// The number an RK value packs: 30 bits of a double's top or of an integer, maybe /100.
double RkNumber(uint32_t rk);

// The text spreadsheet applications show for a cell error code ("#DIV/0!").
QString ErrorText(uint8_t code);

}  // namespace biff
