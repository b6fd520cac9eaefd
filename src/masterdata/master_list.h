#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

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

// A record's name and amount as texts, the amount as the list shows it or as typed.
struct MasterValues {
    QString name;
    QString amount;
};

// One row as the window holds it; the amount is the text typed.
struct MasterRow {
    QString key;
    QString name;
    QString amount;
    // What the record held when the window read it (or stored it new). A row that still holds
    // it is not written, so another station's change to it stays; a row without it is written
    // as it stands.
    std::optional<MasterValues> loaded = {};
};

// What an amount cell stands for: blanks around a number are ignored and an empty cell counts
// as 0; nothing when the text is not a number.
std::optional<double> AmountValue(const QString& text);

// What each row of a master-list window held when it was read (or added), in row order. Kept
// as one block of UTF-8, so a list of 100,000 records costs little more than its text.
class LoadedRows {
public:
    void clear();
    void append(QByteArrayView name, QByteArrayView amount);
    void replace(int index, const MasterValues& values);
    void remove(int index);
    int size() const { return int(rows_.size()); }
    MasterValues at(int index) const;

private:
    struct Span {
        quint32 at;
        quint32 nameSize;
        quint32 amountSize;
    };
    QByteArray bytes_;
    std::vector<Span> rows_;
};

// A row changed here whose record another station changed or deleted since it was read.
struct MasterConflict {
    int row = 0;  // counted from 1
    // What the record holds now; nothing when it was deleted.
    std::optional<MasterValues> stored;
};

// What a save did: badAmountRow is 0 when every row was written, else the first row (counted
// from 1) whose amount is not a number, and then nothing was written. With conflicts, nothing
// was written either.
struct MasterSave {
    int badAmountRow = 0;
    QList<MasterConflict> conflicts = {};
};

// Whether two amount texts stand for the same amount ("120", "120.00"); texts that are no
// number are compared as they are.
bool SameAmount(const QString& a, const QString& b);
// Whether the row holds something other than what it held when read: what a save writes.
bool ChangedHere(const MasterTable& list, const MasterRow& row);

// Writes each changed row's name (and amount) to the record with its key, all rows in one
// transaction. A row changed here whose record was changed or deleted by another station since
// it was read is a conflict: then nothing is written. A row unchanged here, or whose record is
// gone without a change here, is skipped.
DbResult<MasterSave> SaveMasterRows(const MasterTable& list, const QList<MasterRow>& rows);
