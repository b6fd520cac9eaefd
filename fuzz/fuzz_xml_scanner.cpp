// Fuzzes the reader of a workbook's bulk XML parts: whatever the bytes, it neither crashes nor
// reads past them, and it makes the same of them whole as cut in two anywhere.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/xml_scanner.h"
#include "import/zip_xml_events.h"

namespace {

class Recorder : public ZipXmlEvents {
public:
    std::string line;

    bool start(std::string_view name, const char** attributes) override {
        line += '<';
        line += name;
        for (const char** at = attributes; *at != nullptr; at += 2) {
            line += ' ';
            line += at[0];
            line += '=';
            line += at[1];
        }
        line += '>';
        return true;
    }
    bool end(std::string_view name) override {
        line += "</";
        line += name;
        return true;
    }
    bool text(std::string_view text) override {
        line += text;
        return true;
    }
};

std::pair<XmlScanner::Result, std::string> Scan(std::string_view bytes, size_t cut) {
    Recorder recorder;
    XmlScanner scanner(recorder);
    XmlScanner::Result result = scanner.feed(bytes.substr(0, cut), false);
    if (result == XmlScanner::Result::More) {
        result = scanner.feed(bytes.substr(cut), true);
    }
    return {result, recorder.line};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto whole = Scan(bytes, size);
    const auto cut = Scan(bytes, size == 0 ? 0 : size_t(data[0]) % size);
    // A malformed document may be found so at different points; a readable one reads the same.
    if (whole.first != cut.first ||
        (whole.first == XmlScanner::Result::More && whole.second != cut.second)) {
        std::abort();
    }
    return 0;
}
