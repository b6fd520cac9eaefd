#pragma once

#include <cstddef>
#include <string_view>

// Whether a cell with this number format shows a date: a built-in format id (used when `code`
// is empty), or a format code. Shared by every workbook reader.
bool IsDateFormat(size_t builtin, std::string_view code);
