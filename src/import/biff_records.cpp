#include "import/biff_records.h"

#include <algorithm>
#include <cstring>

namespace biff {

namespace {

uint16_t Le16(const char* p) {
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}

}  // namespace

bool RecordReader::header(size_t at, uint16_t& id, uint16_t& size) const {
    if (at > stream_.size() || stream_.size() - at < 4) {
        return false;
    }
    id = Le16(stream_.data() + at);
    size = Le16(stream_.data() + at + 2);
    return stream_.size() - at - 4 >= size;
}

bool RecordReader::next(Record& record) {
    uint16_t id = 0;
    uint16_t size = 0;
    if (!header(next_, id, size)) {
        next_ = stream_.size();
        return false;
    }
    record.id = id;
    record.offset = next_;
    record.pieces.clear();
    record.pieces.push_back(stream_.substr(next_ + 4, size));
    next_ += 4 + size;
    // A CONTINUE record only ever carries on the record before it.
    while (header(next_, id, size) && id == kContinue) {
        record.pieces.push_back(stream_.substr(next_ + 4, size));
        next_ += 4 + size;
    }
    return true;
}

bool Cursor::nextPieceIfAtEnd() {
    while (piece_ < pieces_.size() && at_ >= pieces_[piece_].size()) {
        ++piece_;
        at_ = 0;
    }
    return piece_ < pieces_.size();
}

size_t Cursor::remaining() const {
    if (piece_ >= pieces_.size()) {
        return 0;
    }
    size_t left = pieces_[piece_].size() - std::min(at_, pieces_[piece_].size());
    for (size_t i = piece_ + 1; i < pieces_.size(); ++i) {
        left += pieces_[i].size();
    }
    return left;
}

std::string_view Cursor::restOfPiece() const {
    if (piece_ >= pieces_.size() || at_ >= pieces_[piece_].size()) {
        return {};
    }
    return pieces_[piece_].substr(at_);
}

bool Cursor::bytes(void* out, size_t count) {
    char* to = static_cast<char*>(out);
    while (count > 0) {
        if (!nextPieceIfAtEnd()) {
            return false;
        }
        const size_t take = std::min(count, pieces_[piece_].size() - at_);
        if (to) {
            std::memcpy(to, pieces_[piece_].data() + at_, take);
            to += take;
        }
        at_ += take;
        count -= take;
    }
    return true;
}

bool Cursor::u8(uint8_t& value) {
    return bytes(&value, 1);
}

bool Cursor::u16(uint16_t& value) {
    char raw[2];
    if (!bytes(raw, 2)) {
        return false;
    }
    value = Le16(raw);
    return true;
}

bool Cursor::u32(uint32_t& value) {
    uint16_t low = 0;
    uint16_t high = 0;
    if (!u16(low) || !u16(high)) {
        return false;
    }
    value = uint32_t(low) | uint32_t(high) << 16;
    return true;
}

bool Cursor::f64(double& value) {
    uint32_t low = 0;
    uint32_t high = 0;
    if (!u32(low) || !u32(high)) {
        return false;
    }
    const uint64_t bits = uint64_t(low) | uint64_t(high) << 32;
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

bool Cursor::skip(size_t count) {
    if (count > remaining()) {
        return false;
    }
    return bytes(nullptr, count);
}

bool Cursor::flagsOfNextPiece(bool& wide) {
    ++piece_;
    at_ = 0;
    if (piece_ >= pieces_.size() || pieces_[piece_].empty()) {
        return false;
    }
    wide = pieces_[piece_][0] & 0x01;
    at_ = 1;
    return true;
}

bool Cursor::characters(size_t count, bool wide, QString& text) {
    text.clear();
    // Never more characters than bytes left, whatever the count says.
    text.reserve(qsizetype(std::min(count, remaining())));
    while (count > 0) {
        // Characters that go on in a CONTINUE record start there with a flags byte of their
        // own: a long string may switch between one and two bytes a character.
        const bool pieceDone = piece_ >= pieces_.size() || at_ >= pieces_[piece_].size();
        if (pieceDone && !flagsOfNextPiece(wide)) {
            return false;
        }
        const std::string_view piece = pieces_[piece_].substr(at_);
        const size_t fits = std::min(count, wide ? piece.size() / 2 : piece.size());
        if (fits == 0) {
            return false;  // half a character before the next piece
        }
        if (wide) {
            const qsizetype start = text.size();
            text.resize(start + qsizetype(fits));
            QChar* out = text.data() + start;
            for (size_t i = 0; i < fits; ++i) {
                out[i] = QChar(Le16(piece.data() + 2 * i));
            }
        } else {
            text += QString::fromLatin1(piece.data(), qsizetype(fits));
        }
        at_ += wide ? fits * 2 : fits;
        count -= fits;
    }
    return true;
}

bool Cursor::characterCount(int countBytes, uint16_t& count) {
    if (countBytes != 1) {
        return u16(count);
    }
    uint8_t shortCount = 0;
    if (!u8(shortCount)) {
        return false;
    }
    count = shortCount;
    return true;
}

bool Cursor::unicodeString(int countBytes, QString& text) {
    uint16_t count = 0;
    if (!characterCount(countBytes, count)) {
        return false;
    }
    uint8_t flags = 0;
    if (!u8(flags)) {
        return false;
    }
    uint16_t runs = 0;
    uint32_t phonetic = 0;
    if (((flags & 0x08) && !u16(runs)) || ((flags & 0x04) && !u32(phonetic))) {
        return false;
    }
    return characters(count, flags & 0x01, text) && skip(size_t(runs) * 4) && skip(phonetic);
}

bool Cursor::byteString(int countBytes, platform::CodePageText& codePage, QString& text) {
    uint16_t count = 0;
    if (!characterCount(countBytes, count)) {
        return false;
    }
    if (count > remaining()) {
        return false;
    }
    QByteArray raw(count, Qt::Uninitialized);
    if (!bytes(raw.data(), count)) {
        return false;
    }
    text = codePage.decode(raw);
    return true;
}

double RkNumber(uint32_t rk) {
    double value = 0;
    if (rk & 0x02) {
        value = double(int32_t(rk) >> 2);
    } else {
        const uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

QString ErrorText(uint8_t code) {
    switch (code) {
        case 0x00:
            return QStringLiteral("#NULL!");
        case 0x07:
            return QStringLiteral("#DIV/0!");
        case 0x0F:
            return QStringLiteral("#VALUE!");
        case 0x17:
            return QStringLiteral("#REF!");
        case 0x1D:
            return QStringLiteral("#NAME?");
        case 0x24:
            return QStringLiteral("#NUM!");
        case 0x2A:
            return QStringLiteral("#N/A");
        default:
            return {};
    }
}

}  // namespace biff
