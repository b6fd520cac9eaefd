#include <QtGlobal>
#include <algorithm>
#include <vector>

#include "import/number_format.h"

namespace {

using Kind = NumberFormat::Kind;
using Token = NumberFormat::Token;
using Section = NumberFormat::Section;

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
    const auto holdsText = [](const Section& section) {
        return std::any_of(section.tokens.begin(), section.tokens.end(),
                           [](const Token& token) { return token.kind == Kind::Text; });
    };
    if (sections_.size() >= 4) {
        textSection_ = 3;
    } else if (sections_.size() == 1 && holdsText(sections_[0])) {
        textSection_ = 0;
    }
    // @ alone shows the text as it is.
    if (textSection_ >= 0 && sections_[size_t(textSection_)].tokens.size() == 1 &&
        sections_[size_t(textSection_)].tokens[0].kind == Kind::Text) {
        textSection_ = -1;
    }
}
