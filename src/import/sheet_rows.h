#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

// The eight columns of an import sheet, in the order the shop's workbooks hold them.
enum SheetColumn {
    kReminderDateColumn,
    kPlateColumn,
    kOwnerColumn,
    kSexColumn,
    kTelephoneColumn,
    kEntryDateColumn,
    kIdentityColumn,
    kModelColumn,
    kSheetColumnCount
};

// One customer row of the sheet: the texts of columns 1 to 8, at indexes 0 to 7.
using SheetRow = std::array<QString, kSheetColumnCount>;
using SheetRows = std::vector<SheetRow>;

// The columns of a file the import looks at: a heading row may name the eight anywhere among
// them, beside columns of the shop's own (a running number, an address).
constexpr int kMaxFileColumns = 32;
// A row as the file holds it, before its columns are known.
using FileRow = std::array<QString, kMaxFileColumns>;

// "提醒日期", "车牌号", ... in column order.
const QStringList& SheetHeadings();

// Called now and then with the rows done so far and the rows in all; returning false asks the
// work to stop.
using SheetProgress = std::function<bool(qsizetype done, qsizetype total)>;
