#include "customers/plate_text.h"

#include <algorithm>
#include <array>

namespace {

// What people type inside a plate that is not part of it: spaces of either width, the dots and
// dashes between the region and the number. Full-width forms of ASCII are folded before this
// list is consulted, so "－" and "．" arrive as "-" and ".".
constexpr std::array<char16_t, 12> kPlateSeparators = {u' ',      u'\u3000', u'\u00B7', u'\u2022',
                                                       u'\u30FB', u'\u2027', u'\uFF65', u'-',
                                                       u'\u2010', u'\u2013', u'\u2014', u'.'};

// Marks written in telephone numbers around the digits.
constexpr std::array<char16_t, 8> kTelephoneMarks = {u' ', u'\u3000', u'-', u'.',
                                                     u'(', u')',      u'+', u'\u2014'};

bool IsOneOf(char16_t c, const auto& list) {
    return std::find(list.begin(), list.end(), c) != list.end();
}

// Full-width forms of ASCII (U+FF01 to U+FF5E) as their ASCII letters.
char16_t HalfWidth(char16_t u) {
    return u >= 0xFF01 && u <= 0xFF5E ? char16_t(u - 0xFEE0) : u;
}

QString WithoutSeparators(const QString& column, const auto& separators) {
    QString expression = column;
    for (const char16_t c : separators) {
        expression = QStringLiteral("replace(%1, '%2', '')").arg(expression, QString(QChar(c)));
    }
    return expression;
}

}  // namespace

QString NormalizedPlate(const QString& typed) {
    QString plate;
    plate.reserve(typed.size());
    for (const QChar c : typed) {
        char16_t u = HalfWidth(c.unicode());
        if (IsOneOf(u, kPlateSeparators) || QChar(u).isSpace()) {
            continue;
        }
        if (u >= u'a' && u <= u'z') {
            u = char16_t(u - (u'a' - u'A'));
        }
        plate += QChar(u);
    }
    return plate;
}

QString PlateKeySql(const QString& column) {
    return WithoutSeparators(QStringLiteral("upper(%1)").arg(column), kPlateSeparators);
}

QString PlateMatches() {
    return QStringLiteral("(kh_cph = ? or %1 = ?)").arg(PlateKeySql(QStringLiteral("kh_cph")));
}

QString TelephoneDigits(const QString& typed) {
    QString digits;
    for (const QChar c : typed.trimmed()) {
        const char16_t u = HalfWidth(c.unicode());
        if (u >= u'0' && u <= u'9') {
            digits += QChar(u);
        } else if (IsOneOf(u, kTelephoneMarks)) {
            // A plus sign only opens the number; anywhere else the text is something else.
            if (u == u'+' && !digits.isEmpty()) {
                return {};
            }
        } else {
            return {};
        }
    }
    const bool international = typed.trimmed().startsWith(QLatin1Char('+')) ||
                               typed.trimmed().startsWith(QStringLiteral("0086"));
    if (international) {
        const int code = digits.startsWith(QStringLiteral("0086")) ? 4 : 2;
        if (digits.mid(code - 2, 2) == QStringLiteral("86")) {
            digits.remove(0, code);
        }
    }
    return digits;
}

QString TelephoneDigitsSql(const QString& column) {
    return WithoutSeparators(column, kTelephoneMarks);
}
