#pragma once

#include <QDate>
#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whether a cell with this number format shows a date: a built-in format id (used when `code`
// is empty), or a format code. Shared by every workbook reader.
bool IsDateFormat(size_t builtin, std::string_view code);

// The code a built-in number format id stands for in a Chinese workbook, which carries only the
// id; empty for General and for ids no workbook defines.
QString BuiltinFormatCode(size_t id);

// A number in the General format, as a spreadsheet shows it: at most 15 significant digits, so
// no binary tail shows (0.1 + 0.2 is 0.3), and whole numbers without an exponent, larger ones
// as NumberCellText gives them, so telephone and card numbers stay whole.
QString GeneralNumberText(double value);

// A number format code compiled once, to show many numbers: sections for positive, negative and
// zero values or picked by conditions ([>100]), digit placeholders, thousands separators,
// percentages, exponents, fractions, literal text, currency ([$¥-804]), times and durations
// ([h]:mm:ss). Colours, locales and numeral systems in brackets are dropped. Dates show as
// yyyy-MM-dd, the way the shop's date columns keep them, with the time of day after them when the
// format shows one.
class NumberFormat {
public:
    // Any code compiles: what is not understood shows as literal text.
    explicit NumberFormat(const QString& code = {});

    // The text `value` shows; day counts start at `origin` (day 0).
    QString text(double value, const QDate& origin) const;

    // Whether the section for positive numbers shows a date.
    bool showsDate() const;

    // The text a text cell shows: through the section for texts (the fourth, or the only one
    // when it holds @, as in "编号"@) where the code has one, else as it is.
    QString textOf(const QString& text) const;

    enum class Kind {
        Literal,
        Digit,
        Point,
        Comma,
        Percent,
        Exponent,
        Slash,
        General,
        Text,
        Year,
        Month,
        Day,
        Weekday,
        Hour,
        Minute,
        Second,
        SubSecond,
        ElapsedHour,
        ElapsedMinute,
        ElapsedSecond,
        AmPm,
    };
    struct Token {
        Kind kind = Kind::Literal;
        QString text;   // the literal; the placeholder (0, # or ?); the AM/PM spelling
        int width = 1;  // letters of a date or time part; 1 when an exponent shows its plus
    };
    struct Condition {
        QString op;
        double limit = 0;
    };
    struct Section {
        std::vector<Token> tokens;
        std::optional<Condition> condition;
        bool date = false;
        bool time = false;
        bool number = false;
    };

private:
    const Section* pick(double value, bool& absolute) const;

    std::vector<Section> sections_;
    // The section that shows texts, when it shows more than the text itself; else -1.
    int textSection_ = -1;
};

// The text a number shows under `code`, compiled on the spot.
QString FormatNumber(const QString& code, double value, const QDate& origin);
