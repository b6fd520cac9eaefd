#include "import/number_format.h"

#include <algorithm>

// Number formats that show a day: the built-in date formats, and codes that name a day or a
// year outside quotes, escapes and brackets.
bool IsDateFormat(size_t builtin, std::string_view code) {
    if (code.empty()) {
        return (builtin >= 14 && builtin <= 17) || builtin == 22 ||
               (builtin >= 27 && builtin <= 31) || (builtin >= 34 && builtin <= 36) ||
               (builtin >= 50 && builtin <= 58);
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
