#pragma once

#include <QString>
#include <QVariant>
#include <memory>

// A forward-walking view of one statement's rows. A recordset opened on "select * from <table>"
// (with an optional where or order clause) is updatable: fields of the current row can be
// assigned and written back with Update(), and AddNew() appends a row. Rows are written back
// by the engine's row id, never by position. Copies share the same rows, like a handle.
//
// A null recordset stands for a statement that failed; error() tells why.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&);
    Recordset& operator=(const Recordset&);
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // A failed statement's recordset, carrying the reason.
    static Recordset failed(const QString& reason);

    bool isNull() const { return !d_; }
    explicit operator bool() const { return !isNull(); }

    // True when there is no current row (a recordset without rows is at EOF at once).
    bool Eof() const;
    void MoveNext();
    void MoveLast();

    // The named column of the current row (names compare without letter case); an invalid
    // QVariant when there is no such column or no current row.
    QVariant Field(const QString& name) const;
    // The same value as text; dates are stored as yyyy-MM-dd text and come back unchanged.
    QString Text(const QString& name) const;
    // The same by position, for loops that read many rows: FieldIndex() once, then Text(i).
    int FieldIndex(const QString& name) const;
    QString Text(int index) const;
    // The current row's text of a column as the engine holds it, in UTF-8, valid until the
    // next move; for filling long lists without converting every cell.
    QByteArray Utf8(int index) const;
    int fieldCount() const;
    QString fieldName(int index) const;

    // Editing: nothing is written until Update(). A QDate is stored as yyyy-MM-dd text.
    void AddNew();
    void SetField(const QString& name, const QVariant& value);
    bool Update();
    void Close();

    // Rows changed by an executed insert, update or delete.
    int rowsAffected() const;
    // Why the statement failed (for a null recordset), or why the walk stopped early or the last
    // Update() failed; empty when all went well.
    QString error() const;

private:
    struct Impl;
    explicit Recordset(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> d_;
    QString error_;

    friend Recordset RunSql(const QString&, const QVariantList&);
};
