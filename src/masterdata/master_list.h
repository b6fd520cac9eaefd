#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "data/db_result.h"
#include "data/recordset.h"

// The lists the shop edits in place: the price list (xm_table) and the technicians
// (wxjs_table). A row is one record, known by its key alone: two rows may carry the same name.
struct MasterTable {
    QString table;
    QString keyColumn;
    QString nameColumn;
    QString amountColumn;  // empty when the list has no amount
    bool hasAmount() const { return !amountColumn.isEmpty(); }
};

const MasterTable& RepairItemTable();
const MasterTable& TechnicianTable();

// Every record in stored order, as the columns key, name and (when the list has one) the
// amount in its plain text form: "120", "35.5".
Recordset OpenMasterList(const MasterTable& list);
// The statement OpenMasterList runs.
QString MasterListStatement(const MasterTable& list);

// Stores a new record with an empty name (and amount 0) at once; returns its key.
DbResult<QString> AddMasterRow(const MasterTable& list);
DbStatus DeleteMasterRow(const MasterTable& list, const QString& key);

// One row as the window holds it; the amount is the text typed.
struct MasterRow {
    QString key;
    QString name;
    QString amount;
};

// What an amount cell stands for: blanks around a number are ignored and an empty cell counts
// as 0; nothing when the text is not a number.
std::optional<double> AmountValue(const QString& text);

// What a save did: badAmountRow is 0 when every row was written, else the first row (counted
// from 1) whose amount is not a number, and then nothing was written.
struct MasterSave {
    int badAmountRow = 0;
};

// Writes each row's name (and amount) to the record with its key, all rows in one transaction.
// A row whose record is gone is skipped.
DbResult<MasterSave> SaveMasterRows(const MasterTable& list, const QList<MasterRow>& rows);
