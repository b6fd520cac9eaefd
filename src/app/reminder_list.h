#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>
#include <vector>

#include "data/db_result.h"
#include "data/recordset.h"

// The display modes of the main window's list, in list order.
enum class ReminderMode { All = 0, Called = 1, NotCalled = 2 };

QString ReminderModeText(ReminderMode mode);
// The mode a list entry names; nothing for any other text.
std::optional<ReminderMode> ReminderModeFromText(const QString& text);

// Customers whose reminder date lies in [from, to], both ends included, filtered by mode. The
// rows hold every kh_table column, kh_sfdgdh as CountsAsCalled says; a null recordset carries
// the reason the read failed.
Recordset OpenReminderList(ReminderMode mode, const QDate& from, const QDate& to);

// A statement with the values for its placeholders, in order.
struct ListQuery {
    QString text;
    QVariantList params;
};
// What OpenReminderList and SearchCustomers run. The rows start with the row id, `list_key`,
// then the fields of ListFields().
ListQuery ReminderListQuery(ReminderMode mode, const QDate& from, const QDate& to);
ListQuery SearchQuery(const QString& text);

// The fields of a list row after its key, in order.
const QStringList& ListFields();
// The keys of the rows `query` lists, in its order.
ListQuery ListKeysQuery(const ListQuery& query);
// The rows of these keys as a list shows them now, whether or not they still match its filter,
// in no order.
ListQuery ListRowsByKeys(const std::vector<qint64>& keys);

// Customers whose plate, owner's name or telephone contains `text`, taken literally; the rows
// as for the reminder list.
Recordset SearchCustomers(const QString& text);

// Customers due before `day` who were not called since they became due (CountsAsCalled), the
// longest overdue first; the rows as for the reminder list.
ListQuery OverdueListQuery(const QDate& day);
Recordset OpenOverdueList(const QDate& day);
// How many customers OpenOverdueList(day) lists.
DbResult<qint64> CountOverdue(const QDate& day);
