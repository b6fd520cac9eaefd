#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string_view>

namespace biff {

// What a cell a formula refers to holds: its text, or nothing when the formula cannot use it
// (a number, whose text is formatted; a cell not read).
using CellText = std::function<std::optional<QString>(int row, int column)>;

// The text a formula of the Excel 97 format gives, worked out from its tokens: text constants,
// references to text cells, &, = and <>, and the text functions IF, CONCATENATE, UPPER, LOWER,
// PROPER, TRIM, LEFT, RIGHT, MID and T. Nothing for any other formula. The office suite saves
// such formulas without their results when it has not shown them.
std::optional<QString> TextFormulaResult(std::string_view tokens, const CellText& cell);

}  // namespace biff
