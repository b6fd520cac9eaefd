#include "core/date_text.h"

#include <QRegularExpression>

QString DateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QDate ParseDateText(const QString& text) {
    // Exactly the digits we expect: QDate::fromString would also take signs and blanks.
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})(?:[ T].*)?$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return {};
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}

QString TodayLine(const QDate& today) {
    static const QString weekdays = QStringLiteral("一二三四五六日");
    if (!today.isValid())
        return {};
    return QStringLiteral("今天是%1年%2月%3日  星期%4")
        .arg(today.year())
        .arg(today.month())
        .arg(today.day())
        .arg(weekdays.at(today.dayOfWeek() - 1));
}
