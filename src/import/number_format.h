#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Whether a cell with this number format shows a date: a built-in format id (used when `code`
// is empty), or a format code. Shared by every workbook reader.
bool IsDateFormat(size_t builtin, std::string_view code);

// The text a cell shows when each section of its format is quoted text alone, as in the truth
// value format "TRUE";"TRUE";"FALSE": the first section for positive numbers, the second for
// negative ones, the third for zero. Nothing for any other format.
std::optional<std::string> LiteralFormatText(std::string_view code, double value);
