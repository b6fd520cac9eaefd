#pragma once

#include <QString>

// Formats a number with a picture made of '#', '0' and at most one '.': the zeros after the
// point give the decimals, the zeros before it the least count of integer digits, and '#'
// only stands for "more digits if needed". "########0.00" gives two decimals without thousands
// separators, "000" a whole number padded to three digits. Rounding is half away from zero on
// the decimal value the number was written as (2.675 gives 2.68), and a value that rounds to
// zero never shows a minus sign. A value that is not finite formats as zero.
QString FormatAmount(double value, const QString& format);

// The numeric value of a text by the leading-number rule: blanks anywhere are dropped, then the
// longest leading number is read (an optional sign, digits with at most one decimal point and an
// optional exponent such as "e3"). Anything that does not start a number, and a number too large
// for a double, counts as 0. "12.5.3" reads 12.5, " 1 2" reads 12.
double LeadingNumber(const QString& text);

// A file size for people: "812 B", "96.0 KB", "1.2 GB", with the same units on every desktop
// language and one decimal; a size never shows as "1024.0" of a unit.
QString FileSizeText(qint64 bytes);
