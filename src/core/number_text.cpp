#include "core/number_text.h"

#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace {

// Money never needs more than 15 significant digits, and rounding there first removes the
// binary noise of a double (2.675 is stored as 2.67499999...) before the half-up step.
constexpr int kSignificantDigits = 15;

struct Picture {
    int integerDigits = 1;
    int decimals = 0;
};

Picture ParsePicture(const QString& format) {
    Picture picture;
    const qsizetype point = format.indexOf(QLatin1Char('.'));
    const QString integerPart = point < 0 ? format : format.left(point);
    picture.integerDigits = int(integerPart.count(QLatin1Char('0')));
    if (point >= 0)
        picture.decimals = int(format.mid(point + 1).count(QLatin1Char('0')));
    Q_ASSERT_X(format.count(QLatin1Char('.')) <= 1 &&
                   std::all_of(format.begin(), format.end(),
                               [](QChar c) { return QStringLiteral("#0.").contains(c); }),
               "FormatAmount", "the picture may hold only '#', '0' and one '.'");
    return picture;
}

// Decimal digits of |value| rounded half away from zero to `decimals` places, as a plain digit
// string with `decimals` digits after an implied point (so 2.68 with two decimals is "268").
std::string RoundedDigits(double value, int decimals) {
    // Scientific form with 15 significant digits: "d.dddddddddddddde+XX".
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, kSignificantDigits - 1);
    const std::string text(buffer, result.ptr);
    const std::size_t ePos = text.find('e');
    std::string mantissa = text.substr(0, ePos);
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    const int exponent = std::stoi(text.substr(ePos + 1));

    // The value is 0.mantissa * 10^(exponent + 1); keep the digits up to the wanted place.
    const int kept = exponent + 1 + decimals;
    if (kept < 0)
        return std::string(1, '0');
    std::string digits;
    bool roundUp = false;
    if (kept >= int(mantissa.size())) {
        digits = mantissa + std::string(std::size_t(kept) - mantissa.size(), '0');
    } else {
        digits = mantissa.substr(0, std::size_t(kept));
        roundUp = mantissa[std::size_t(kept)] >= '5';
    }
    if (roundUp) {
        int i = int(digits.size()) - 1;
        for (; i >= 0 && digits[std::size_t(i)] == '9'; --i)
            digits[std::size_t(i)] = '0';
        if (i >= 0)
            ++digits[std::size_t(i)];
        else
            digits.insert(digits.begin(), '1');
    }
    // A new string rather than assigning "0": GCC 12 at -O3 misreads that assignment as an
    // overlapping copy (-Wrestrict).
    if (digits.empty())
        return std::string(1, '0');
    return digits;
}

}  // namespace

QString FormatAmount(double value, const QString& format) {
    const Picture picture = ParsePicture(format);
    if (!std::isfinite(value))
        value = 0;

    std::string digits = RoundedDigits(value, picture.decimals);
    // Pad so that the integer part has at least the wanted digits (and at least one when there
    // are decimals, so 0.5 shows as "0.50").
    const int minimumInteger = std::max(picture.integerDigits, picture.decimals > 0 ? 1 : 0);
    const int wanted = minimumInteger + picture.decimals;
    if (int(digits.size()) < wanted)
        digits.insert(0, std::size_t(wanted) - digits.size(), '0');
    // Drop leading zeros beyond the picture's integer digits ("#" adds none).
    while (int(digits.size()) > wanted && digits.front() == '0')
        digits.erase(0, 1);

    const bool isZero = digits.find_first_not_of('0') == std::string::npos;
    QString out;
    if (value < 0 && !isZero)
        out += QLatin1Char('-');
    const std::size_t integerLength = digits.size() - std::size_t(picture.decimals);
    out += QString::fromLatin1(digits.data(), qsizetype(integerLength));
    if (picture.decimals > 0) {
        out += QLatin1Char('.');
        out += QString::fromLatin1(digits.data() + integerLength, picture.decimals);
    }
    return out;
}

double LeadingNumber(const QString& text) {
    std::string compact;
    compact.reserve(std::size_t(text.size()));
    for (const QChar c : text) {
        // Blanks typed anywhere (also the full-width space of Chinese input) are ignored.
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
            c == QLatin1Char('\r') || c == QChar(0x3000))
            continue;
        if (c.unicode() > 0x7f)
            break;
        compact += char(c.unicode());
    }

    std::size_t pos = 0;
    bool negative = false;
    if (pos < compact.size() && (compact[pos] == '+' || compact[pos] == '-')) {
        negative = compact[pos] == '-';
        ++pos;
    }
    const std::size_t start = pos;
    auto isDigit = [&](std::size_t i) {
        return i < compact.size() && compact[i] >= '0' && compact[i] <= '9';
    };
    std::size_t mantissaDigits = 0;
    while (isDigit(pos)) {
        ++pos;
        ++mantissaDigits;
    }
    if (pos < compact.size() && compact[pos] == '.') {
        ++pos;
        while (isDigit(pos)) {
            ++pos;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0;
    std::size_t end = pos;
    // An exponent counts only when digits follow it; "1e" reads as 1. "d" is the old
    // double-precision spelling of the exponent.
    if (pos < compact.size() && (compact[pos] == 'e' || compact[pos] == 'E' ||
                                 compact[pos] == 'd' || compact[pos] == 'D')) {
        std::size_t exponentPos = pos + 1;
        if (exponentPos < compact.size() &&
            (compact[exponentPos] == '+' || compact[exponentPos] == '-'))
            ++exponentPos;
        if (isDigit(exponentPos)) {
            compact[pos] = 'e';
            while (isDigit(exponentPos))
                ++exponentPos;
            end = exponentPos;
        }
    }

    double value = 0;
    const auto result = std::from_chars(compact.data() + start, compact.data() + end, value);
    // Out of range is the only failure left: underflow reads as zero anyway, and a number past
    // the largest double is not one the shop could mean.
    if (result.ec != std::errc())
        return 0;
    return negative ? -value : value;
}

QString FileSizeText(qint64 bytes) {
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) {
        return QStringLiteral("%1 B").arg(std::max<qint64>(bytes, 0));
    }
    double size = double(bytes) / 1024;
    int unit = 0;
    // Compare what will be shown, so 1023.97 KB reads 1.0 MB rather than 1024.0 KB.
    while (std::round(size * 10) >= 1024 * 10 && unit < 3) {
        size /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(size, 0, 'f', 1).arg(QLatin1String(units[unit]));
}
