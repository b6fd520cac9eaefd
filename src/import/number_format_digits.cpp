#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <vector>

#include "import/number_format_parts.h"

namespace {

using Kind = NumberFormat::Kind;
using Token = NumberFormat::Token;
using Section = NumberFormat::Section;
using format_parts::KeptDigits;

// Digits a section may ask for; a code asking for more is shown with this many.
constexpr int kMostDecimals = 30;

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
    if (numerator == 0 && whole == 0) {
        return QStringLiteral("0");
    }
    if (numerator == 0) {
        for (size_t i = after; i < tokens.size(); ++i) {
            out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
        }
        return out;
    }
    for (size_t i = wholeEnd; i < numeratorStart; ++i) {
        out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
    }
    // Placeholders the digits leave over: a ? keeps its room as a blank, a 0 shows 0; before
    // the numerator, after the denominator, so the slashes of a column line up.
    const QString top = QString::number(numerator);
    for (size_t i = numeratorStart; i + top.size() < slash; ++i) {
        out += tokens[i].text == u"?"   ? QStringLiteral(" ")
               : tokens[i].text == u"0" ? QStringLiteral("0")
                                        : QString();
    }
    out += top + u'/';
    const QString bottom = QString::number(denominator);
    out += bottom;
    for (qsizetype i = bottom.size(); fixed == 0 && i < denominatorWidth; ++i) {
        out += tokens[slash + 1 + size_t(i)].text == u"?" ? QStringLiteral(" ") : QString();
    }
    for (size_t i = after; i < tokens.size(); ++i) {
        out += tokens[i].kind == Kind::Literal ? tokens[i].text : QString();
    }
    return out;
}

}  // namespace

namespace format_parts {

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

}  // namespace format_parts
