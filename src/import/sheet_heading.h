#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "import/sheet_rows.h"

// How the columns of a file become the eight columns of the sheet.
struct SheetHeading {
    // For each column of the file, the sheet column it holds, or -1 for a column left out.
    std::array<int, kMaxFileColumns> target{};
    // True when a heading row named the columns; false when they are read by position.
    bool named = false;
    // Columns the heading names that are not the sheet's, as the file writes them, and columns
    // that name a sheet column an earlier one already took.
    QStringList ignored;
    // The sheet columns a customer cannot do without that the heading does not name, by their
    // usual headings.
    QStringList missing;
};

// The eight columns in their usual order, and nothing right of them.
SheetHeading PositionHeading();

// A heading cell as compared with the known names: without blanks anywhere, full-width letters
// and signs as their usual forms, and without a trailing colon or a star marking a column the
// shop must fill.
QString NormalizedHeading(const QString& text);

// The sheet column a heading names ("手机号" is the telephone column), if any.
std::optional<SheetColumn> HeadingColumn(const QString& text);

// Whether the row names the file's columns: it names at least two sheet columns. A customer's
// data never does, so a sheet whose first row is a customer is read by position; nor does a
// title naming one thing.
bool NamesColumns(const FileRow& row);

// The columns the heading row names. The plate, the owner's name and the sex are required:
// a row without the first two is no customer, and the sex is checked on every customer.
SheetHeading HeadingFromRow(const FileRow& row);

// "车牌号、车主姓名" for the file's refusal when the heading lacks required columns.
QString MissingColumnsText(const SheetHeading& heading);
