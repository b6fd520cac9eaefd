#include <QtGlobal>
#include <algorithm>
#include <cmath>

#include "import/number_format_parts.h"
#include "import/sheet_builder.h"

namespace {

using Kind = NumberFormat::Kind;
using Token = NumberFormat::Token;
using Section = NumberFormat::Section;

QString Padded(qint64 number, int width) {
    return QString::number(number).rightJustified(std::min(width, 2), u'0');
}

}  // namespace

namespace format_parts {

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

}  // namespace format_parts
