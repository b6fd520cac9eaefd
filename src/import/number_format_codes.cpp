#include "import/number_format.h"

#include <QtGlobal>
#include <algorithm>
#include <cctype>

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

QString BuiltinFormatCode(size_t id) {
    // The ids a workbook may use without defining them, with the codes a Chinese system gives
    // the locale-dependent ones (currency, dates, the 上午/下午 times).
    switch (id) {
        case 1:
            return QStringLiteral("0");
        case 2:
            return QStringLiteral("0.00");
        case 3:
            return QStringLiteral("#,##0");
        case 4:
            return QStringLiteral("#,##0.00");
        case 5:
            return QStringLiteral("¥#,##0;¥-#,##0");
        case 6:
            return QStringLiteral("¥#,##0;[Red]¥-#,##0");
        case 7:
            return QStringLiteral("¥#,##0.00;¥-#,##0.00");
        case 8:
            return QStringLiteral("¥#,##0.00;[Red]¥-#,##0.00");
        case 9:
            return QStringLiteral("0%");
        case 10:
            return QStringLiteral("0.00%");
        case 11:
            return QStringLiteral("0.00E+00");
        case 12:
            return QStringLiteral("# ?/?");
        case 13:
            return QStringLiteral("# ?\?/??");
        case 14:
            return QStringLiteral("yyyy/m/d");
        case 15:
            return QStringLiteral("d-mmm-yy");
        case 16:
            return QStringLiteral("d-mmm");
        case 17:
            return QStringLiteral("mmm-yy");
        case 18:
            return QStringLiteral("h:mm AM/PM");
        case 19:
            return QStringLiteral("h:mm:ss AM/PM");
        case 20:
            return QStringLiteral("h:mm");
        case 21:
            return QStringLiteral("h:mm:ss");
        case 22:
            return QStringLiteral("yyyy/m/d h:mm");
        case 27:
        case 36:
        case 50:
        case 52:
        case 57:
            return QStringLiteral("yyyy\"年\"m\"月\"");
        case 28:
        case 29:
        case 51:
        case 53:
        case 54:
        case 58:
            return QStringLiteral("m\"月\"d\"日\"");
        case 30:
            return QStringLiteral("m-d-yy");
        case 31:
            return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
        case 32:
            return QStringLiteral("h\"时\"mm\"分\"");
        case 33:
            return QStringLiteral("h\"时\"mm\"分\"ss\"秒\"");
        case 34:
        case 55:
            return QStringLiteral("上午/下午h\"时\"mm\"分\"");
        case 35:
        case 56:
            return QStringLiteral("上午/下午h\"时\"mm\"分\"ss\"秒\"");
        case 37:
            return QStringLiteral("#,##0 ;(#,##0)");
        case 38:
            return QStringLiteral("#,##0 ;[Red](#,##0)");
        case 39:
            return QStringLiteral("#,##0.00;(#,##0.00)");
        case 40:
            return QStringLiteral("#,##0.00;[Red](#,##0.00)");
        case 41:
            return QStringLiteral("_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)");
        case 42:
            return QStringLiteral("_(¥* #,##0_);_(¥* \\(#,##0\\);_(¥* \"-\"_);_(@_)");
        case 43:
            return QStringLiteral("_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)");
        case 44:
            return QStringLiteral("_(¥* #,##0.00_);_(¥* \\(#,##0.00\\);_(¥* \"-\"??_);_(@_)");
        case 45:
            return QStringLiteral("mm:ss");
        case 46:
            return QStringLiteral("[h]:mm:ss");
        case 47:
            return QStringLiteral("mm:ss.0");
        case 48:
            return QStringLiteral("##0.0E+0");
        case 49:
            return QStringLiteral("@");
        default:
            return {};
    }
}
