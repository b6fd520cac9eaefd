#include "core/date_text.h"

#include <QRegularExpression>

QString DateText(const QDate& date) {
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (year < 1 || year > 9999) {
        return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    }
    // Written out digit by digit: a workbook's date column calls this for every cell, and the
    // locale's general date formatting costs many times more.
    QString text(10, u'-');
    const auto put = [&text](qsizetype at, int number, int digits) {
        for (qsizetype i = at + digits - 1; i >= at; --i, number /= 10) {
            text[i] = QChar(u'0' + number % 10);
        }
    };
    put(0, year, 4);
    put(5, month, 2);
    put(8, day, 2);
    return text;
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
