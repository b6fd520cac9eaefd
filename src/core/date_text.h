#pragma once

#include <QDate>
#include <QString>

// A date as the database stores it and the windows show it: "yyyy-MM-dd". An invalid date
// gives an empty text.
QString DateText(const QDate& date);

// Reads "yyyy-MM-dd" (single-digit months and days are accepted too, and a time of day after
// a blank or a "T" is ignored). Anything else gives an invalid date.
QDate ParseDateText(const QString& text);

// The main window's date line, e.g. "今天是2026年12月6日  星期日".
QString TodayLine(const QDate& today);
