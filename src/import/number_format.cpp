#include "import/number_format.h"

#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <vector>

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(), [](char a, char b) {
               return std::toupper(uchar(a)) == std::toupper(uchar(b));
           });
}

}  // namespace

// Number formats that show a day: the built-in date formats, and codes that name a day or a
// year outside quotes, escapes and brackets, or ask for the system's long date ([$-F800]).
bool IsDateFormat(size_t builtin, std::string_view code) {
    // 32 to 35, 55 and 56 are times of day in the East Asian workbooks that use them.
    if (code.empty()) {
        return (builtin >= 14 && builtin <= 17) || builtin == 22 ||
               (builtin >= 27 && builtin <= 31) || builtin == 36 ||
               (builtin >= 50 && builtin <= 54) || builtin == 57 || builtin == 58;
    }
    bool quoted = false;
    int bracket = 0;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            if (StartsWithNoCase(code.substr(i + 1), "$-F800]")) {
                return true;
            }
            ++bracket;
        } else if (c == ']') {
            bracket = std::max(0, bracket - 1);
        } else if (bracket == 0 && (c == 'd' || c == 'D' || c == 'y' || c == 'Y')) {
            return true;
        } else if (bracket == 0 && c == ';') {
            return false;  // only the first section decides
        }
    }
    return false;
}

std::optional<std::string> LiteralFormatText(std::string_view code, double value) {
    std::vector<std::string> sections(1);
    bool quoted = false;
    for (const char c : code) {
        if (c == '"') {
            quoted = !quoted;
            sections.back() += c;
        } else if (c == ';' && !quoted) {
            sections.emplace_back();
        } else {
            sections.back() += c;
        }
    }
    if (quoted || sections.size() > 4) {
        return std::nullopt;
    }
    for (const std::string& section : sections) {
        if (section.size() < 2 || section.front() != '"' || section.back() != '"' ||
            section.find('"', 1) != section.size() - 1) {
            return std::nullopt;
        }
    }
    size_t pick = 0;
    if (value < 0 && sections.size() > 1) {
        pick = 1;
    } else if (value == 0 && sections.size() > 2) {
        pick = 2;
    }
    return sections[pick].substr(1, sections[pick].size() - 2);
}
