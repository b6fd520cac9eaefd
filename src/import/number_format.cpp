#include "import/number_format.h"

#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "core/date_text.h"
#include "import/sheet_builder.h"

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

namespace {

// The significant digits of a finite number > 0 as a spreadsheet keeps them: its shortest
// decimal form rounded half up to 15 digits, without trailing zeros, and the power of ten of the
// first digit.
std::pair<QString, int> KeptDigits(double value) {
    const QString shortest = QString::number(value, 'e', QLocale::FloatingPointShortest);
    const qsizetype e = shortest.indexOf(u'e');
    QString digits = shortest.left(e).remove(u'.');
    int exponent = shortest.mid(e + 1).toInt();
    if (digits.size() > 15) {
        const bool up = digits[15] >= u'5';
        digits.truncate(15);
        for (qsizetype i = 14; up && i >= 0; --i) {
            if (digits[i] == u'9') {
                digits[i] = u'0';
                if (i == 0) {
                    digits.prepend(u'1');
                    ++exponent;
                }
            } else {
                digits[i] = QChar(digits[i].unicode() + 1);
                break;
            }
        }
    }
    while (digits.size() > 1 && digits.endsWith(u'0')) {
        digits.chop(1);
    }
    return {digits, exponent};
}

}  // namespace

QString GeneralNumberText(double value) {
    if (!std::isfinite(value)) {
        return {};
    }
    const double size = std::fabs(value);
    if (size >= 1e15) {
        if (size >= 1e21) {
            return QString::number(value, 'g', QLocale::FloatingPointShortest);
        }
        return QString::number(value, 'f', QLocale::FloatingPointShortest);
    }
    if (size == std::floor(size)) {
        return size == 0 ? QStringLiteral("0") : QString::number(value, 'f', 0);
    }
    // Fifteen significant digits, all a spreadsheet keeps: short of the tail that binary
    // fractions leave in the last digits.
    const auto [digits, exponent] = KeptDigits(size);
    QString text;
    if (exponent < -9) {
        text = digits.left(1) + (digits.size() > 1 ? u'.' + digits.mid(1) : QString()) +
               QStringLiteral("E-") + QString::number(-exponent).rightJustified(2, u'0');
    } else if (exponent < 0) {
        text = QStringLiteral("0.") + QString(-exponent - 1, u'0') + digits;
    } else if (digits.size() > exponent + 1) {
        text = digits.left(exponent + 1) + u'.' + digits.mid(exponent + 1);
    } else {
        text = digits + QString(exponent + 1 - digits.size(), u'0');
    }
    return value < 0 ? u'-' + text : text;
}

namespace {

using Kind = NumberFormat::Kind;
using Token = NumberFormat::Token;
using Section = NumberFormat::Section;

// Digits a section may ask for; a code asking for more is shown with this many.
constexpr int kMostDecimals = 30;

bool StartsWithNoCase(QStringView text, qsizetype at, QStringView start) {
    return text.mid(at).startsWith(start, Qt::CaseInsensitive);
}

qsizetype RunOf(QStringView text, qsizetype at) {
    qsizetype end = at;
    while (end < text.size() && text[end].toLower() == text[at].toLower()) {
        ++end;
    }
    return end - at;
}

bool IsDateOrTime(Kind kind) {
    return kind >= Kind::Year && kind <= Kind::AmPm;
}

// What a bracket holds: a condition, a currency, an elapsed time part; colours, locales and
// numeral systems show nothing.
void ReadBracket(QStringView content, Section& section) {
    if (content.startsWith(u'$')) {
        const QStringView symbol = content.mid(1, content.indexOf(u'-') - 1);
        if (!symbol.isEmpty()) {
            section.tokens.push_back({Kind::Literal, symbol.toString(), 1});
        }
        return;
    }
    if (!content.isEmpty() && (content[0] == u'<' || content[0] == u'>' || content[0] == u'=')) {
        qsizetype opEnd = 1;
        if (content.size() > 1 && (content[1] == u'=' || content[1] == u'>')) {
            opEnd = 2;
        }
        bool ok = false;
        const double limit = content.mid(opEnd).trimmed().toDouble(&ok);
        if (ok) {
            section.condition = NumberFormat::Condition{content.left(opEnd).toString(), limit};
        }
        return;
    }
    if (!content.isEmpty() && RunOf(content, 0) == content.size()) {
        const QChar c = content[0].toLower();
        const int width = int(content.size());
        if (c == u'h') {
            section.tokens.push_back({Kind::ElapsedHour, {}, width});
        } else if (c == u'm') {
            section.tokens.push_back({Kind::ElapsedMinute, {}, width});
        } else if (c == u's') {
            section.tokens.push_back({Kind::ElapsedSecond, {}, width});
        }
    }
}

Section ParseSection(QStringView code) {
    Section section;
    auto literal = [&section](QString text) {
        section.tokens.push_back({Kind::Literal, std::move(text), 1});
    };
    for (qsizetype i = 0; i < code.size();) {
        const QChar c = code[i];
        const QChar lower = c.toLower();
        if (c == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? code.size() : close;
            literal(code.mid(i + 1, end - i - 1).toString());
            i = end + 1;
        } else if (c == u'\\' || c == u'_') {
            if (i + 1 < code.size()) {
                // An escaped character shows itself; _x leaves the room of an x, a blank here.
                literal(c == u'\\' ? QString(code[i + 1]) : QStringLiteral(" "));
            }
            i += 2;
        } else if (c == u'*') {
            i += 2;  // filling the cell with a character needs a cell width
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            if (close < 0) {
                literal(code.mid(i).toString());
                break;
            }
            ReadBracket(code.mid(i + 1, close - i - 1), section);
            i = close + 1;
        } else if (c == u'0' || c == u'#' || c == u'?') {
            section.tokens.push_back({Kind::Digit, QString(c), 1});
            ++i;
        } else if (c == u'.') {
            const bool afterSeconds =
                !section.tokens.empty() && (section.tokens.back().kind == Kind::Second ||
                                            section.tokens.back().kind == Kind::ElapsedSecond);
            if (afterSeconds && i + 1 < code.size() && code[i + 1] == u'0') {
                const qsizetype zeros = RunOf(code, i + 1);
                section.tokens.push_back({Kind::SubSecond, {}, int(std::min<qsizetype>(zeros, 3))});
                i += 1 + zeros;
            } else {
                section.tokens.push_back({Kind::Point, {}, 1});
                ++i;
            }
        } else if (c == u',') {
            section.tokens.push_back({Kind::Comma, {}, 1});
            ++i;
        } else if (c == u'%') {
            section.tokens.push_back({Kind::Percent, {}, 1});
            ++i;
        } else if (lower == u'e' && i + 1 < code.size() &&
                   (code[i + 1] == u'+' || code[i + 1] == u'-')) {
            section.tokens.push_back({Kind::Exponent, {}, code[i + 1] == u'+' ? 1 : 0});
            i += 2;
        } else if (c == u'/') {
            section.tokens.push_back({Kind::Slash, {}, 1});
            ++i;
        } else if (c == u'@') {
            section.tokens.push_back({Kind::Text, {}, 1});
            ++i;
        } else if (StartsWithNoCase(code, i, u"General")) {
            section.tokens.push_back({Kind::General, {}, 1});
            i += 7;
        } else if (StartsWithNoCase(code, i, u"AM/PM") || StartsWithNoCase(code, i, u"上午/下午")) {
            section.tokens.push_back({Kind::AmPm, QStringLiteral("上午/下午"), 1});
            i += 5;
        } else if (StartsWithNoCase(code, i, u"A/P")) {
            section.tokens.push_back({Kind::AmPm, code.mid(i, 3).toString(), 1});
            i += 3;
        } else if (lower == u'y' || lower == u'm' || lower == u'd' || lower == u'h' ||
                   lower == u's' || (lower == u'a' && RunOf(code, i) >= 3)) {
            const qsizetype run = RunOf(code, i);
            Kind kind = Kind::Year;
            if (lower == u'm') {
                kind = Kind::Month;
            } else if (lower == u'd') {
                kind = run >= 3 ? Kind::Weekday : Kind::Day;
            } else if (lower == u'a') {
                kind = Kind::Weekday;
            } else if (lower == u'h') {
                kind = Kind::Hour;
            } else if (lower == u's') {
                kind = Kind::Second;
            }
            section.tokens.push_back({kind, {}, int(std::min<qsizetype>(run, 8))});
            i += run;
        } else {
            literal(QString(c));
            ++i;
        }
    }
    // m and mm are minutes after an hour or before a second, months otherwise.
    std::vector<Token>& tokens = section.tokens;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != Kind::Month || tokens[i].width > 2) {
            continue;
        }
        bool minute = false;
        for (size_t j = i; j-- > 0;) {
            if (IsDateOrTime(tokens[j].kind)) {
                minute = tokens[j].kind == Kind::Hour || tokens[j].kind == Kind::ElapsedHour;
                break;
            }
        }
        for (size_t j = i + 1; !minute && j < tokens.size(); ++j) {
            if (IsDateOrTime(tokens[j].kind) && tokens[j].kind != Kind::SubSecond) {
                minute = tokens[j].kind == Kind::Second || tokens[j].kind == Kind::ElapsedSecond;
                break;
            }
        }
        if (minute) {
            tokens[i].kind = Kind::Minute;
        }
    }
    for (const Token& token : tokens) {
        section.date = section.date || (token.kind >= Kind::Year && token.kind <= Kind::Weekday);
        section.time = section.time || (token.kind >= Kind::Hour && token.kind <= Kind::AmPm);
        section.number = section.number || token.kind == Kind::Digit || token.kind == Kind::General;
    }
    return section;
}

// The digits of a number ≥ 0 rounded half away from zero to `decimals` places, from the 15
// significant digits a spreadsheet keeps: whole part (empty for 0) and exactly `decimals`
// fraction digits.
std::pair<QString, QString> RoundedDigits(double value, int decimals) {
    QString whole;
    QString fraction;
    if (value > 0 && std::isfinite(value)) {
        const auto [digits, exponent] = KeptDigits(value);
        if (exponent >= 0) {
            whole = digits.left(exponent + 1);
            whole += QString(std::max<qsizetype>(0, exponent + 1 - whole.size()), u'0');
            fraction = digits.mid(exponent + 1);
        } else {
            fraction = QString(-exponent - 1, u'0') + digits;
        }
    }
    const bool up = fraction.size() > decimals && fraction[decimals] >= u'5';
    fraction = fraction.left(decimals);
    fraction += QString(decimals - fraction.size(), u'0');
    if (up) {
        QString all = whole + fraction;
        qsizetype i = all.size();
        while (i-- > 0) {
            if (all[i] == u'9') {
                all[i] = u'0';
            } else {
                all[i] = QChar(all[i].unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            all.prepend(u'1');
        }
        whole = all.left(all.size() - decimals);
        fraction = all.right(decimals);
    }
    qsizetype zeros = 0;
    while (zeros < whole.size() && whole[zeros] == u'0') {
        ++zeros;
    }
    return {whole.mid(zeros), fraction};
}

QString Padded(qint64 number, int width) {
    return QString::number(number).rightJustified(std::min(width, 2), u'0');
}

bool Matches(const NumberFormat::Condition& condition, double value) {
    const QString& op = condition.op;
    if (op == u"<") {
        return value < condition.limit;
    }
    if (op == u"<=") {
        return value <= condition.limit;
    }
    if (op == u">") {
        return value > condition.limit;
    }
    if (op == u">=") {
        return value >= condition.limit;
    }
    if (op == u"<>") {
        return value != condition.limit;
    }
    return value == condition.limit;
}

// Whether a condition takes only negative numbers, whose section then shows them without a
// sign as the negative section does.
bool OnlyNegative(const NumberFormat::Condition& condition) {
    return (condition.op == u"<" && condition.limit <= 0) ||
           (condition.op == u"<=" && condition.limit < 0);
}

// Digit placeholders in `tokens` from `from` to `to`, with the whole digits of `whole` placed
// right to left (extra digits go before the first placeholder) and thousands separators when
// `grouping`.
void PutWhole(const std::vector<Token>& tokens, size_t from, size_t to, const QString& whole,
              bool grouping, const std::vector<bool>& skip, QString& out) {
    std::vector<size_t> places;
    for (size_t i = from; i < to; ++i) {
        if (tokens[i].kind == Kind::Digit) {
            places.push_back(i);
        }
    }
    if (grouping) {
        // The digits as one block where the first placeholder stands: a separator between
        // every three, and zeros up to the placeholders from the first 0 on.
        qsizetype least = 0;
        for (size_t k = 0; k < places.size(); ++k) {
            if (tokens[places[k]].text == u"0") {
                least = qsizetype(places.size() - k);
                break;
            }
        }
        QString digits = whole.rightJustified(least, u'0');
        for (qsizetype at = digits.size() - 3; at > 0; at -= 3) {
            digits.insert(at, u',');
        }
        bool done = false;
        for (size_t i = from; i < to; ++i) {
            if (skip[i]) {
                continue;
            }
            if (tokens[i].kind == Kind::Digit) {
                if (!done) {
                    out += digits;
                    done = true;
                }
            } else {
                out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
            }
        }
        return;
    }
    std::vector<QString> shown(tokens.size());
    qsizetype next = whole.size() - 1;
    for (size_t k = places.size(); k-- > 0;) {
        const Token& place = tokens[places[k]];
        QString& text = shown[places[k]];
        if (next >= 0) {
            text = whole[next--];
        } else if (place.text == u"0") {
            text = QStringLiteral("0");
        } else if (place.text == u"?") {
            text = QStringLiteral(" ");
        }
        if (k == 0 && next >= 0) {
            text.prepend(whole.left(next + 1));
        }
    }
    for (size_t i = from; i < to; ++i) {
        if (skip[i]) {
            continue;
        }
        if (tokens[i].kind == Kind::Digit) {
            out += shown[i];
        } else if (tokens[i].kind == Kind::Literal) {
            out += tokens[i].text;
        } else if (tokens[i].kind == Kind::Comma) {
            out += u',';
        } else if (tokens[i].kind == Kind::Percent) {
            out += u'%';
        } else if (tokens[i].kind == Kind::Slash) {
            out += u'/';
        }
    }
}

// Fraction digits left to right; trailing zeros show as 0 for a 0, nothing for a #, a blank
// for a ?.
void PutFraction(const std::vector<Token>& tokens, size_t from, size_t to, const QString& fraction,
                 QString& out) {
    qsizetype last = fraction.size();
    while (last > 0 && fraction[last - 1] == u'0') {
        --last;
    }
    qsizetype at = 0;
    for (size_t i = from; i < to; ++i) {
        const Token& token = tokens[i];
        if (token.kind == Kind::Digit) {
            if (at < last) {
                out += fraction[at];
            } else if (token.text == u"0") {
                out += u'0';
            } else if (token.text == u"?") {
                out += u' ';
            }
            ++at;
        } else if (token.kind == Kind::Literal) {
            out += token.text;
        } else if (token.kind == Kind::Percent) {
            out += u'%';
        }
    }
}

QString DateTimeText(const Section& section, double value, const QDate& origin) {
    const double seconds = std::round(value * 86400);
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e12) {
        return GeneralNumberText(value);
    }
    const qint64 total = qint64(seconds);
    const std::optional<QString> date = SerialDateText(double(total / 86400), origin);
    if (!date) {
        return GeneralNumberText(value);
    }
    if (!section.time) {
        return *date;
    }
    const qint64 time = total % 86400;
    bool withSeconds = false;
    for (const Token& token : section.tokens) {
        withSeconds = withSeconds || token.kind == Kind::Second;
    }
    QString text = *date + u' ' + Padded(time / 3600, 2) + u':' + Padded(time / 60 % 60, 2);
    if (withSeconds) {
        text += u':' + Padded(time % 60, 2);
    }
    return text;
}

QString TimeText(const Section& section, double value) {
    int sub = 0;
    bool elapsedHours = false;
    bool elapsedMinutes = false;
    bool elapsedSeconds = false;
    bool twelve = false;
    for (const Token& token : section.tokens) {
        sub = token.kind == Kind::SubSecond ? std::max(sub, token.width) : sub;
        elapsedHours = elapsedHours || token.kind == Kind::ElapsedHour;
        elapsedMinutes = elapsedMinutes || token.kind == Kind::ElapsedMinute;
        elapsedSeconds = elapsedSeconds || token.kind == Kind::ElapsedSecond;
        twelve = twelve || token.kind == Kind::AmPm;
    }
    const qint64 scale = sub == 0 ? 1 : sub == 1 ? 10 : sub == 2 ? 100 : 1000;
    const double units = std::round(value * 86400 * double(scale));
    if (!std::isfinite(units) || units > 1e15) {
        return GeneralNumberText(value);
    }
    const qint64 all = qint64(units);
    const qint64 seconds = all / scale;
    const qint64 parts = all % scale;
    const qint64 ofDay = seconds % 86400;
    qint64 hours = elapsedHours ? seconds / 3600 : ofDay / 3600;
    if (twelve && !elapsedHours) {
        hours = hours % 12 == 0 ? 12 : hours % 12;
    }
    const qint64 minutes = elapsedMinutes && !elapsedHours ? seconds / 60 : seconds / 60 % 60;
    const qint64 secs = elapsedSeconds && !elapsedMinutes && !elapsedHours ? seconds : seconds % 60;
    QString out;
    for (const Token& token : section.tokens) {
        switch (token.kind) {
            case Kind::Hour:
            case Kind::ElapsedHour:
                out += Padded(hours, token.width);
                break;
            case Kind::Minute:
            case Kind::ElapsedMinute:
                out += Padded(minutes, token.width);
                break;
            case Kind::Second:
            case Kind::ElapsedSecond:
                out += Padded(secs, token.width);
                break;
            case Kind::SubSecond:
                out += u'.' + QString::number(parts).rightJustified(sub, u'0').left(token.width);
                break;
            case Kind::AmPm: {
                const bool morning = ofDay < 43200;
                if (token.text.size() == 3) {  // A/P, in the case the code wrote
                    out += morning ? token.text[0] : token.text[2];
                } else {
                    out += morning ? QStringLiteral("上午") : QStringLiteral("下午");
                }
                break;
            }
            case Kind::Literal:
                out += token.text;
                break;
            default:
                break;
        }
    }
    return out;
}

// The best fraction for `value` (0 ≤ value < 1) with a denominator of at most `most`, or with
// exactly `fixed` when that is set.
std::pair<qint64, qint64> Fraction(double value, qint64 most, qint64 fixed) {
    if (fixed > 0) {
        return {qint64(std::round(value * double(fixed))), fixed};
    }
    qint64 bestNumerator = 0;
    qint64 bestDenominator = 1;
    double bestError = value;
    for (qint64 denominator = 1; denominator <= most; ++denominator) {
        const qint64 numerator = qint64(std::round(value * double(denominator)));
        const double error = std::fabs(value - double(numerator) / double(denominator));
        if (error < bestError - 1e-12) {
            bestError = error;
            bestNumerator = numerator;
            bestDenominator = denominator;
        }
    }
    return {bestNumerator, bestDenominator};
}

QString FractionText(const std::vector<Token>& tokens, size_t slash, double value) {
    // Numerator: the placeholders just before the slash; the whole part: placeholders before
    // those; the denominator: placeholders, or the digits of a fixed one, after it.
    size_t numeratorStart = slash;
    while (numeratorStart > 0 && tokens[numeratorStart - 1].kind == Kind::Digit) {
        --numeratorStart;
    }
    size_t wholeEnd = numeratorStart;
    while (wholeEnd > 0 && tokens[wholeEnd - 1].kind != Kind::Digit) {
        --wholeEnd;
    }
    const bool hasWhole = wholeEnd > 0;
    size_t after = slash + 1;
    int denominatorWidth = 0;
    QString fixedDigits;
    for (; after < tokens.size(); ++after) {
        if (tokens[after].kind == Kind::Digit) {
            ++denominatorWidth;
        } else if (tokens[after].kind == Kind::Literal && tokens[after].text.size() == 1 &&
                   tokens[after].text[0].isDigit() && denominatorWidth == 0) {
            fixedDigits += tokens[after].text;
        } else {
            break;
        }
    }
    const qint64 fixed = fixedDigits.left(6).toLongLong();
    const qint64 most = denominatorWidth >= 3 ? 999 : denominatorWidth == 2 ? 99 : 9;
    double whole = hasWhole ? std::floor(value) : 0;
    if (value >= 1e15) {
        return GeneralNumberText(value);
    }
    auto [numerator, denominator] = Fraction(value - whole, most, fixed);
    if (hasWhole && numerator == denominator) {
        whole += 1;
        numerator = 0;
    }
    QString out;
    std::vector<bool> skip(tokens.size(), false);
    const QString wholeDigits = whole == 0 ? QString() : QString::number(whole, 'f', 0);
    if (hasWhole) {
        PutWhole(tokens, 0, wholeEnd, wholeDigits, false, skip, out);
    }
    if (numerator == 0 && (hasWhole && whole != 0)) {
        for (size_t i = after; i < tokens.size(); ++i) {
            out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
        }
        return out;
    }
    if (numerator == 0 && !hasWhole) {
        return QStringLiteral("0");
    }
    for (size_t i = wholeEnd; i < numeratorStart; ++i) {
        out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
    }
    out += QString::number(numerator) + u'/' + QString::number(denominator);
    for (size_t i = after; i < tokens.size(); ++i) {
        out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
    }
    return out;
}

// A section without placeholders: its text, and the number where it has @.
QString LiteralText(const Section& section, double value) {
    QString out;
    for (const Token& token : section.tokens) {
        if (token.kind == Kind::Literal) {
            out += token.text;
        } else if (token.kind == Kind::Text || token.kind == Kind::General) {
            out += GeneralNumberText(value);
        } else if (token.kind == Kind::Percent) {
            out += u'%';
        } else if (token.kind == Kind::Comma) {
            out += u',';
        } else if (token.kind == Kind::Point) {
            out += u'.';
        } else if (token.kind == Kind::Slash) {
            out += u'/';
        }
    }
    return out;
}

QString NumberText(const Section& section, double value) {
    const std::vector<Token>& tokens = section.tokens;
    std::vector<bool> skip(tokens.size(), false);
    size_t point = tokens.size();
    size_t exponent = tokens.size();
    size_t slash = tokens.size();
    bool grouping = false;
    int lastDigit = -1;
    for (size_t i = 0; i < tokens.size(); ++i) {
        switch (tokens[i].kind) {
            case Kind::Percent:
                value *= 100;
                break;
            case Kind::Point:
                point = std::min(point, i);
                break;
            case Kind::Exponent:
                exponent = std::min(exponent, i);
                break;
            case Kind::Slash:
                if (lastDigit >= 0 && slash == tokens.size() && point == tokens.size()) {
                    slash = i;
                }
                break;
            case Kind::Digit:
                lastDigit = int(i);
                break;
            case Kind::Comma: {
                // Between placeholders: thousands; after the last whole placeholder: the number
                // in thousands; anywhere else: the character itself.
                size_t next = i;
                while (next < tokens.size() && tokens[next].kind == Kind::Comma) {
                    ++next;
                }
                if (lastDigit >= 0 && next < tokens.size() && tokens[next].kind == Kind::Digit &&
                    i < point) {
                    grouping = true;
                    skip[i] = true;
                } else if (lastDigit == int(i) - 1 && lastDigit >= 0) {
                    for (size_t k = i; k < next; ++k) {
                        value /= 1000;
                        skip[k] = true;
                    }
                }
                break;
            }
            default:
                break;
        }
    }
    if (lastDigit < 0) {
        return LiteralText(section, value);
    }
    if (!std::isfinite(value)) {
        return {};  // a percentage or a thousandfold past the largest number
    }
    if (slash < tokens.size() && exponent == tokens.size()) {
        return FractionText(tokens, slash, value);
    }
    const size_t wholeEnd = std::min(point, exponent);
    int decimals = 0;
    for (size_t i = point; i < exponent; ++i) {
        decimals += tokens[i].kind == Kind::Digit;
    }
    decimals = std::min(decimals, kMostDecimals);
    int shift = 0;
    if (exponent < tokens.size()) {
        int wholePlaces = 0;
        bool engineering = false;
        for (size_t i = 0; i < wholeEnd; ++i) {
            if (tokens[i].kind == Kind::Digit) {
                engineering = engineering || (wholePlaces == 0 && tokens[i].text != u"0");
                ++wholePlaces;
            }
        }
        wholePlaces = std::max(wholePlaces, 1);
        engineering = engineering && wholePlaces > 1;
        if (value > 0) {
            const int magnitude = int(std::floor(std::log10(value)));
            auto step = [&](int e) {
                return engineering ? int(std::floor(double(e) / wholePlaces)) * wholePlaces
                                   : e - (wholePlaces - 1);
            };
            shift = step(magnitude);
            // Rounding may carry the mantissa past its places: one step more.
            const auto [whole, fraction] = RoundedDigits(value / std::pow(10.0, shift), decimals);
            if (whole.size() > wholePlaces) {
                shift = step(magnitude + 1);
            }
            value /= std::pow(10.0, shift);
            if (!std::isfinite(value) || value == 0) {
                return {};  // past what a double can scale to
            }
        }
    }
    const auto [whole, fraction] = RoundedDigits(value, decimals);
    QString out;
    PutWhole(tokens, 0, wholeEnd, whole, grouping, skip, out);
    if (point < exponent) {
        out += u'.';
        PutFraction(tokens, point + 1, exponent, fraction, out);
    }
    if (exponent < tokens.size()) {
        int places = 0;
        size_t end = exponent + 1;
        while (end < tokens.size() && tokens[end].kind == Kind::Digit) {
            ++places;
            ++end;
        }
        out += u'E';
        out += shift < 0                     ? QStringLiteral("-")
               : tokens[exponent].width == 1 ? QStringLiteral("+")
                                             : QString();
        out += QString::number(std::abs(shift)).rightJustified(places, u'0');
        for (size_t i = end; i < tokens.size(); ++i) {
            out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
        }
    }
    return out;
}

QString TrimBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ') {
        ++start;
    }
    while (end > start && text[end - 1] == u' ') {
        --end;
    }
    return text.mid(start, end - start);
}

bool HasNonZeroDigit(const QString& text) {
    for (const QChar c : text) {
        if (c.isDigit() && c != u'0') {
            return true;
        }
    }
    return false;
}

}  // namespace

NumberFormat::NumberFormat(const QString& code) {
    if (code.trimmed().compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) {
        return;
    }
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= code.size(); ++i) {
        if (i < code.size() && code[i] == u'"') {
            quoted = !quoted;
        } else if (i < code.size() && !quoted && (code[i] == u'\\' || code[i] == u'_')) {
            ++i;
        } else if (i == code.size() || (!quoted && code[i] == u';')) {
            sections_.push_back(ParseSection(QStringView(code).mid(start, i - start)));
            start = i + 1;
        }
    }
    if (sections_.size() == 1 && sections_[0].tokens.empty() && !sections_[0].condition) {
        sections_.clear();  // an empty code: General
    }
}

bool NumberFormat::showsDate() const {
    return !sections_.empty() && sections_[0].date;
}

const NumberFormat::Section* NumberFormat::pick(double value, bool& absolute) const {
    const size_t count = sections_.size();
    absolute = false;
    const bool conditional = sections_[0].condition || (count > 1 && sections_[1].condition);
    if (conditional) {
        for (size_t i = 0; i < std::min<size_t>(count, 2); ++i) {
            if (sections_[i].condition && Matches(*sections_[i].condition, value)) {
                absolute = OnlyNegative(*sections_[i].condition);
                return &sections_[i];
            }
        }
        if (count > 1 && !sections_[1].condition) {
            return &sections_[1];
        }
        return count > 2 ? &sections_[2] : nullptr;
    }
    if (count == 1 || value > 0 || (value == 0 && count == 2)) {
        return &sections_[0];
    }
    if (value < 0) {
        absolute = true;
        return &sections_[1];
    }
    return &sections_[2];
}

QString NumberFormat::text(double value, const QDate& origin) const {
    if (!std::isfinite(value)) {
        return {};
    }
    if (sections_.empty()) {
        return GeneralNumberText(value);
    }
    bool absolute = false;
    const Section* section = pick(value, absolute);
    if (section == nullptr) {
        return GeneralNumberText(value);
    }
    // A negative section shows the number without its sign; any other shows the sign before
    // everything, as long as a digit other than 0 is left to show.
    const bool negative = value < 0 && !absolute;
    const double size = std::fabs(value);
    QString text;
    if (section->date) {
        return negative ? GeneralNumberText(value) : DateTimeText(*section, size, origin);
    } else if (section->time) {
        text = TimeText(*section, size);
    } else if (section->number) {
        text = NumberText(*section, size);
    } else {
        text = LiteralText(*section, size);
    }
    text = TrimBlanks(text);
    if (negative && HasNonZeroDigit(text)) {
        text.prepend(u'-');
    }
    return text;
}

QString FormatNumber(const QString& code, double value, const QDate& origin) {
    return NumberFormat(code).text(value, origin);
}
