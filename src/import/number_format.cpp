#include "import/number_format.h"

#include <QLocale>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

#include "import/number_format_parts.h"

std::pair<QString, int> format_parts::KeptDigits(double value) {
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
    const auto [digits, exponent] = format_parts::KeptDigits(size);
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
        return negative ? GeneralNumberText(value)
                        : format_parts::DateTimeText(*section, size, origin);
    } else if (section->time) {
        text = format_parts::TimeText(*section, size);
    } else if (section->number) {
        text = format_parts::NumberText(*section, size);
    } else {
        text = format_parts::LiteralText(*section, size);
    }
    text = TrimBlanks(text);
    if (negative && HasNonZeroDigit(text)) {
        text.prepend(u'-');
    }
    return text;
}

QString NumberFormat::textOf(const QString& text) const {
    if (textSection_ < 0) {
        return text;
    }
    // The blanks of _) and the like around the text pad it in the column; the text's own
    // blanks stay.
    QString before;
    QString shown;
    QString after;
    bool placed = false;
    for (const Token& token : sections_[size_t(textSection_)].tokens) {
        if (token.kind == Kind::Text) {
            shown += after + text;
            after.clear();
            placed = true;
        } else if (token.kind == Kind::Literal) {
            (placed ? after : before) += token.text;
        }
    }
    qsizetype lead = 0;
    while (lead < before.size() && before[lead] == u' ') {
        ++lead;
    }
    qsizetype trail = after.size();
    while (trail > 0 && after[trail - 1] == u' ') {
        --trail;
    }
    return before.mid(lead) + shown + after.left(trail);
}

QString FormatNumber(const QString& code, double value, const QDate& origin) {
    return NumberFormat(code).text(value, origin);
}
