#pragma once

#include <QString>
#include <optional>

// The most rows or columns a sheet may have, heading row and leading column included.
constexpr int kMaxSheetLines = 10'000'000;

// The count an answer to "设置行数" or "设置列数" asks for: the answer's leading number, rounded to
// a whole number with halves going to the even neighbour. Nothing when the answer is empty or
// the count lies outside 1 to kMaxSheetLines.
std::optional<int> SheetCountAnswer(const QString& answer);
