#include "import/xml_scanner.h"

#include <algorithm>
#include <cstring>

#include "import/zip_xml_events.h"

namespace {

constexpr size_t npos = std::string_view::npos;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The first of the bytes `a` to `c` in `text` from `from` on: a loop, as the library's search
// for one of several bytes goes through the set again for every byte of the text.
size_t FindAny(std::string_view text, size_t from, char a, char b, char c) {
    for (size_t i = from; i < text.size(); ++i) {
        const char at = text[i];
        if (at == a || at == b || at == c) {
            return i;
        }
    }
    return npos;
}

std::string_view LocalName(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == npos ? name : name.substr(colon + 1);
}

void AppendUtf8(std::string& to, char32_t code) {
    if (code < 0x80) {
        to += char(code);
    } else if (code < 0x800) {
        to += char(0xC0 | (code >> 6));
        to += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        to += char(0xE0 | (code >> 12));
        to += char(0x80 | ((code >> 6) & 0x3F));
        to += char(0x80 | (code & 0x3F));
    } else {
        to += char(0xF0 | (code >> 18));
        to += char(0x80 | ((code >> 12) & 0x3F));
        to += char(0x80 | ((code >> 6) & 0x3F));
        to += char(0x80 | (code & 0x3F));
    }
}

// A character reference's code, or 0 when it names no character XML allows.
char32_t CharacterReference(std::string_view digits) {
    const bool hex = !digits.empty() && digits[0] == 'x';
    if (hex) {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 8) {
        return 0;
    }
    char32_t code = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return 0;
        }
        code = code * (hex ? 16 : 10) + char32_t(digit);
    }
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                         (code >= 0x10000 && code <= 0x10FFFF);
    return allowed ? code : 0;
}

}  // namespace

bool XmlScanner::Reads(std::string_view start) {
    if (start.substr(0, 3) == "\xEF\xBB\xBF") {
        start.remove_prefix(3);
    }
    if (start.empty() || start[0] != '<') {
        return false;  // another byte-order mark, UTF-16 without one, or not XML at all
    }
    if (start.substr(0, 5) != "<?xml") {
        return true;
    }
    const std::string_view declaration = start.substr(0, start.find("?>"));
    const size_t encoding = declaration.find("encoding");
    if (encoding == npos) {
        return true;
    }
    std::string_view value = declaration.substr(encoding + 8);
    const size_t quote = value.find_first_of("\"'");
    if (quote == npos) {
        return false;
    }
    value = value.substr(quote + 1);
    value = value.substr(0, value.find_first_of("\"'"));
    std::string lower(value);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower == "utf-8" || lower == "utf8";
}

XmlScanner::Result XmlScanner::feed(std::string_view bytes, bool last) {
    if (result_ != Result::More) {
        return result_;
    }
    // What was used goes when it is most of the buffer, so the buffer stays near one piece.
    if (at_ > 0 && at_ * 2 >= buffer_.size()) {
        buffer_.erase(0, at_);
        at_ = 0;
    }
    buffer_.append(bytes);
    if (!bomChecked_) {
        if (buffer_.size() < 3 && !last) {
            return Result::More;
        }
        if (std::string_view(buffer_).substr(at_, 3) == "\xEF\xBB\xBF") {
            at_ += 3;
        }
        bomChecked_ = true;
    }
    return scan(last);
}

XmlScanner::Result XmlScanner::scan(bool last) {
    while (at_ < buffer_.size()) {
        const std::string_view rest = std::string_view(buffer_).substr(at_);
        const size_t used = rest[0] == '<' ? tag(rest) : text(rest, last);
        if (used == npos) {
            return result_;
        }
        if (used == 0) {
            break;
        }
        at_ += used;
    }
    if (last && (at_ < buffer_.size() || !rootClosed_)) {
        result_ = Result::Malformed;
    }
    return result_;
}

size_t XmlScanner::tag(std::string_view at) {
    // A token is refused past its bound whether or not its end has come yet, so how the
    // document is cut into pieces does not matter.
    auto incomplete = [this](size_t size, size_t most) {
        if (size <= most) {
            return size_t(0);
        }
        result_ = Result::Malformed;
        return npos;
    };
    auto complete = [this](size_t size, size_t most) {
        if (size <= most) {
            return size;
        }
        result_ = Result::Malformed;
        return npos;
    };
    if (at.size() < 2) {
        return 0;
    }
    if (at[1] == '!') {
        if (at.size() < 9) {
            return 0;
        }
        if (at.substr(0, 4) == "<!--") {
            const size_t end = at.find("-->", 4);
            return end == npos ? incomplete(at.size(), kMaxTagBytes)
                               : complete(end + 3, kMaxTagBytes);
        }
        if (at.substr(0, 9) == "<![CDATA[" && !open_.empty()) {
            const size_t end = at.find("]]>", 9);
            // A cell's text may stand in one section: up to three bytes a character.
            if (end == npos || end + 3 > kMaxTagBytes * 4) {
                return incomplete(end == npos ? at.size() : end + 3, kMaxTagBytes * 4);
            }
            decoded_.clear();
            for (const char c : at.substr(9, end - 9)) {
                decoded_ += c == '\r' ? '\n' : c;
            }
            if (!events_.text(decoded_)) {
                result_ = Result::Stopped;
                return npos;
            }
            return end + 3;
        }
        // A document type above all: it could declare entities that expand without end.
        result_ = Result::Malformed;
        return npos;
    }
    if (at[1] == '?') {
        const size_t end = at.find("?>", 2);
        return end == npos ? incomplete(at.size(), kMaxTagBytes) : complete(end + 2, kMaxTagBytes);
    }
    // The tag ends at the first '>' outside a quoted value.
    char quote = 0;
    size_t end = 1;
    for (; end < at.size(); ++end) {
        const char c = at[end];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        } else if (c == '<') {
            result_ = Result::Malformed;
            return npos;
        }
    }
    if (end == at.size() || end + 1 > kMaxTagBytes) {
        return incomplete(end + 1, kMaxTagBytes);
    }
    std::string_view inside = at.substr(1, end - 1);
    if (!inside.empty() && inside[0] == '/') {
        inside.remove_prefix(1);
        while (!inside.empty() && IsSpace(inside.back())) {
            inside.remove_suffix(1);
        }
        if (open_.empty() || open_.back() != inside) {
            result_ = Result::Malformed;
            return npos;
        }
        open_.pop_back();
        rootClosed_ = open_.empty();
        if (!events_.end(LocalName(inside))) {
            result_ = Result::Stopped;
            return npos;
        }
        return end + 1;
    }
    const bool empty = !inside.empty() && inside.back() == '/';
    if (empty) {
        inside.remove_suffix(1);
    }
    return startTag(inside, empty) ? end + 1 : npos;
}

bool XmlScanner::startTag(std::string_view inside, bool empty) {
    size_t i = 0;
    while (i < inside.size() && !IsSpace(inside[i])) {
        ++i;
    }
    const std::string_view name = inside.substr(0, i);
    if (name.empty() || rootClosed_ || open_.size() >= kMaxDepth ||
        FindAny(name, 0, '=', '"', '\'') != npos || name.find('/') != npos) {
        result_ = Result::Malformed;
        return false;
    }
    attributeBytes_.clear();
    attributeOffsets_.clear();
    for (;;) {
        const size_t before = i;
        while (i < inside.size() && IsSpace(inside[i])) {
            ++i;
        }
        if (i == inside.size()) {
            break;
        }
        const size_t nameStart = i;
        while (i < inside.size() && inside[i] != '=' && !IsSpace(inside[i])) {
            ++i;
        }
        const std::string_view attribute = inside.substr(nameStart, i - nameStart);
        while (i < inside.size() && IsSpace(inside[i])) {
            ++i;
        }
        if (before == nameStart || attribute.empty() || i == inside.size() || inside[i] != '=') {
            result_ = Result::Malformed;
            return false;
        }
        ++i;
        while (i < inside.size() && IsSpace(inside[i])) {
            ++i;
        }
        if (i == inside.size() || (inside[i] != '"' && inside[i] != '\'')) {
            result_ = Result::Malformed;
            return false;
        }
        const size_t close = inside.find(inside[i], i + 1);
        if (close == npos || !decode(inside.substr(i + 1, close - i - 1), decoded_)) {
            result_ = Result::Malformed;
            return false;
        }
        attributeOffsets_.push_back(attributeBytes_.size());
        attributeBytes_.append(attribute);
        attributeBytes_ += '\0';
        attributeOffsets_.push_back(attributeBytes_.size());
        attributeBytes_.append(decoded_);
        attributeBytes_ += '\0';
        i = close + 1;
    }
    attributes_.clear();
    for (const size_t offset : attributeOffsets_) {
        attributes_.push_back(attributeBytes_.data() + offset);
    }
    attributes_.push_back(nullptr);
    rootSeen_ = true;
    const std::string_view local = LocalName(name);
    if (!events_.start(local, attributes_.data())) {
        result_ = Result::Stopped;
        return false;
    }
    if (!empty) {
        open_.emplace_back(name);
        return true;
    }
    rootClosed_ = open_.empty();
    if (!events_.end(local)) {
        result_ = Result::Stopped;
        return false;
    }
    return true;
}

size_t XmlScanner::text(std::string_view at, bool last) {
    const void* found = std::memchr(at.data(), '<', at.size());
    std::string_view piece =
        found == nullptr ? at : at.substr(0, size_t(static_cast<const char*>(found) - at.data()));
    if (found == nullptr && !last) {
        // A reference or a line end may go on in the next piece.
        const size_t amp = piece.rfind('&');
        if (amp != npos && piece.find(';', amp) == npos) {
            piece = piece.substr(0, amp);
        }
        if (!piece.empty() && piece.back() == '\r') {
            piece.remove_suffix(1);
        }
        if (piece.empty()) {
            return at.size() > 16 ? (result_ = Result::Malformed, npos) : 0;
        }
    }
    if (open_.empty()) {
        // Outside the root only white space may stand.
        if (std::any_of(piece.begin(), piece.end(), [](char c) { return !IsSpace(c); })) {
            result_ = Result::Malformed;
            return npos;
        }
        return piece.size();
    }
    const bool plain = FindAny(piece, 0, '&', '\r', '&') == npos;
    if (!plain && !decode(piece, decoded_)) {
        result_ = Result::Malformed;
        return npos;
    }
    if (!events_.text(plain ? piece : std::string_view(decoded_))) {
        result_ = Result::Stopped;
        return npos;
    }
    return piece.size();
}

bool XmlScanner::decode(std::string_view raw, std::string& to) const {
    to.clear();
    size_t i = 0;
    while (i < raw.size()) {
        const size_t special = FindAny(raw, i, '&', '\r', '<');
        to.append(raw.substr(i, special == npos ? npos : special - i));
        if (special == npos) {
            break;
        }
        i = special;
        if (raw[i] == '<') {
            return false;
        }
        if (raw[i] == '\r') {
            // Line ends read as one line feed, as every XML reader gives them.
            to += '\n';
            i += i + 1 < raw.size() && raw[i + 1] == '\n' ? 2 : 1;
            continue;
        }
        const size_t semicolon = raw.find(';', i);
        if (semicolon == npos) {
            return false;
        }
        const std::string_view entity = raw.substr(i + 1, semicolon - i - 1);
        if (entity == "lt") {
            to += '<';
        } else if (entity == "gt") {
            to += '>';
        } else if (entity == "amp") {
            to += '&';
        } else if (entity == "quot") {
            to += '"';
        } else if (entity == "apos") {
            to += '\'';
        } else if (!entity.empty() && entity[0] == '#') {
            const char32_t code = CharacterReference(entity.substr(1));
            if (code == 0) {
                return false;
            }
            AppendUtf8(to, code);
        } else {
            return false;
        }
        i = semicolon + 1;
    }
    return true;
}
