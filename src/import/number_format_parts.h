#pragma once

#include <QDate>
#include <QString>
#include <utility>

#include "import/number_format.h"

// The pieces NumberFormat is made of, shared by its files: number_format_parser.cpp reads a
// code into sections, number_format.cpp picks a value's section, and a section's text comes from
// number_format_digits.cpp (numbers, fractions, literals) or number_format_time.cpp (dates,
// times, durations).
namespace format_parts {

// The significant digits of a finite number > 0 as a spreadsheet keeps them: its shortest
// decimal form rounded half up to 15 digits, without trailing zeros, and the power of ten of the
// first digit.
std::pair<QString, int> KeptDigits(double value);

// A number ≥ 0 in a section with digit placeholders; a section without any shows as LiteralText.
QString NumberText(const NumberFormat::Section& section, double value);
// A section without placeholders: its text, and the number where it has @ or General.
QString LiteralText(const NumberFormat::Section& section, double value);

// A day count ≥ 0 in a section that shows a date: yyyy-MM-dd, with the time of day after it
// when the section shows one.
QString DateTimeText(const NumberFormat::Section& section, double value, const QDate& origin);
// A day count ≥ 0 in a section that shows a time of day or a duration.
QString TimeText(const NumberFormat::Section& section, double value);

}  // namespace format_parts
