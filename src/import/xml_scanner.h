#pragma once

#include <string>
#include <string_view>
#include <vector>

class ZipXmlEvents;

// A reader of our own for the XML of a workbook's bulk parts, several times faster than a
// general parser on them: UTF-8 only, no document type (so no entities but the five predefined
// and character references), elements, attributes, text, CDATA, comments and processing
// instructions. It checks what a well-formed document needs of them (matching tags, quoted
// attributes, one root, known references) and bounds what it holds: a tag of at most
// kMaxTagBytes, nesting at most kMaxDepth deep. Any other input is refused as malformed.
class XmlScanner {
public:
    static constexpr size_t kMaxTagBytes = 1 << 20;
    static constexpr size_t kMaxDepth = 256;

    enum class Result { More, Stopped, Malformed };

    explicit XmlScanner(ZipXmlEvents& events) : events_(events) {}

    // Takes the next piece of the document (`last` when it is the final one, perhaps empty) and
    // hands over what it completes. More: go on; Stopped: a handler ended the parse; Malformed.
    Result feed(std::string_view bytes, bool last);

    // Whether the bytes that start a document can be read here: UTF-8 with or without its
    // byte-order mark, and no other encoding declared.
    static bool Reads(std::string_view start);

private:
    Result scan(bool last);
    // Each returns the bytes it used, 0 when the token is not complete yet, or npos when it
    // is malformed or stopped (result_ says which).
    size_t tag(std::string_view at);
    size_t text(std::string_view at, bool last);
    bool startTag(std::string_view inside, bool empty);
    bool decode(std::string_view raw, std::string& to) const;

    ZipXmlEvents& events_;
    std::string buffer_;
    size_t at_ = 0;
    bool bomChecked_ = false;
    bool rootSeen_ = false;
    bool rootClosed_ = false;
    Result result_ = Result::More;
    std::vector<std::string> open_;
    std::string decoded_;
    std::string attributeBytes_;
    std::vector<size_t> attributeOffsets_;
    std::vector<const char*> attributes_;
};
