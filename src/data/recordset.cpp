#include "data/recordset.h"

#include <sqlite3.h>

#include <QDate>
#include <QDateTime>

#include "data/database.h"
#include "data/recordset_impl.h"
#include "data/sql_dialect.h"

QVariant ToStoredValue(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QDate:
        case QMetaType::QDateTime:
            return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::QString:
            return value.toString().isNull() ? QVariant(QLatin1String("")) : value;
        default:
            return value;
    }
}

bool Recordset::Impl::advance() {
    ++rowNumber;
    written.clear();
    materialized = false;
    row.clear();
    const int rc = statement.step();
    if (rc == SQLITE_ROW) {
        if (rowidColumn >= 0) {
            rowid = statement.int64(rowidColumn);
        }
        return true;
    }
    if (rc != SQLITE_DONE) {
        // The walk stops here; the reason is kept for the error message.
        error = statement.error();
    }
    statement.finalize();
    return false;
}

void Recordset::Impl::materialize() {
    if (materialized) {
        return;
    }
    std::vector<QVariant> values(names.size());
    for (int i = 0; i < int(values.size()); ++i) {
        values[i] = value(i);
    }
    row = std::move(values);
    materialized = true;
}

QVariant Recordset::Impl::value(int index) const {
    auto changed = written.find(index);
    if (changed != written.end()) {
        return changed->second;
    }
    return materialized ? row[index] : statement.value(index);
}

QString Recordset::Impl::text(int index) const {
    if (materialized || !written.empty()) {
        return value(index).toString();
    }
    if (handed.size() != size_t(names.size())) {
        handed.resize(size_t(names.size()));
    }
    HandedText& cached = handed[size_t(index)];
    if (cached.row != rowNumber) {
        statement.textInto(index, cached.text);
        cached.row = rowNumber;
    }
    return cached.text;
}

int Recordset::Impl::indexOf(const QString& name) const {
    const QChar* text = name.constData();
    for (const NameHit& hit : hits) {
        if (hit.text == text && hit.size == name.size()) {
            return hit.index;
        }
    }
    auto it = byName.constFind(name);
    if (it == byName.constEnd()) {
        it = byName.constFind(name.toLower());
    }
    const int index = it != byName.constEnd() ? it.value() : -1;
    // Only literal text (no allocation, so no capacity) keeps its address for the whole run.
    if (index >= 0 && name.capacity() == 0 && !name.isEmpty()) {
        hits[nextHit++ % std::size(hits)] = {text, name.size(), index};
    }
    return index;
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(const Recordset&) = default;
Recordset& Recordset::operator=(const Recordset&) = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::Recordset(std::shared_ptr<Impl> impl) : d_(std::move(impl)) {}

bool Recordset::Eof() const {
    return !d_ || d_->closed || (d_->eof && !d_->adding);
}

void Recordset::MoveNext() {
    if (!d_ || d_->closed || d_->eof) {
        return;
    }
    d_->adding = false;
    d_->pending.clear();
    d_->eof = !d_->statement.isPrepared() || !d_->advance();
}

void Recordset::MoveLast() {
    if (!d_ || d_->closed || d_->eof) {
        return;
    }
    d_->adding = false;
    d_->pending.clear();
    // Keep each row before stepping on: once the statement is done its last row is gone.
    // Materializing takes in what Update() wrote to the row, so nothing else needs keeping.
    while (d_->statement.isPrepared()) {
        d_->materialize();
        std::vector<QVariant> last = d_->row;
        const qint64 lastRowid = d_->rowid;
        if (!d_->advance()) {
            d_->row = std::move(last);
            d_->rowid = lastRowid;
            d_->materialized = true;
            break;
        }
    }
}

QVariant Recordset::Field(const QString& name) const {
    if (!d_ || d_->closed) {
        return {};
    }
    const int index = d_->indexOf(name);
    if (index < 0) {
        return {};
    }
    auto pending = d_->pending.find(index);
    if (pending != d_->pending.end()) {
        return pending->second;
    }
    if (d_->adding || d_->eof) {
        return {};
    }
    return d_->value(index);
}

QString Recordset::Text(const QString& name) const {
    if (!d_ || d_->closed || d_->eof || d_->adding || !d_->pending.empty()) {
        return Field(name).toString();
    }
    const int index = d_->indexOf(name);
    return index < 0 ? QString() : d_->text(index);
}

int Recordset::FieldIndex(const QString& name) const {
    return d_ ? d_->indexOf(name) : -1;
}

QString Recordset::Text(int index) const {
    if (!d_ || index < 0 || index >= int(d_->names.size())) {
        return {};
    }
    if (d_->closed || d_->eof || d_->adding || !d_->pending.empty()) {
        return Field(d_->names[index]).toString();
    }
    return d_->text(index);
}

QByteArray Recordset::Utf8(int index) const {
    if (!d_ || index < 0 || index >= int(d_->names.size())) {
        return {};
    }
    if (d_->closed || d_->eof || d_->adding || !d_->pending.empty() || d_->materialized ||
        !d_->written.empty()) {
        return Text(index).toUtf8();
    }
    return d_->statement.utf8(index);
}

int Recordset::fieldCount() const {
    return d_ ? int(d_->names.size()) : 0;
}

QString Recordset::fieldName(int index) const {
    return d_ ? d_->names.value(index) : QString();
}

void Recordset::AddNew() {
    if (!d_ || d_->closed) {
        return;
    }
    d_->adding = true;
    d_->pending.clear();
}

void Recordset::SetField(const QString& name, const QVariant& value) {
    if (!d_ || d_->closed) {
        return;
    }
    const int index = d_->indexOf(name);
    if (index < 0) {
        d_->error = QStringLiteral("没有名为 %1 的字段").arg(name);
        return;
    }
    d_->pending[index] = ToStoredValue(value);
}

bool Recordset::Update() {
    auto fail = [this](const QString& reason) {
        if (d_) {
            d_->error = reason;
        }
        return false;
    };
    if (!d_ || d_->closed) {
        return fail(QStringLiteral("记录集已关闭"));
    }
    if (!d_->error.isEmpty() && !d_->pending.empty()) {
        // A field assignment named a column that does not exist: write nothing.
        const QString reason = d_->error;
        d_->pending.clear();
        return fail(reason);
    }
    if (d_->table.isEmpty()) {
        return fail(QStringLiteral("该查询结果不能修改"));
    }
    if (!d_->adding && d_->eof) {
        return fail(QStringLiteral("没有当前记录"));
    }
    if (!d_->adding && d_->pending.empty()) {
        return true;
    }

    QStringList columns;
    QVariantList values;
    for (const auto& [index, value] : d_->pending) {
        columns << sql::QuotedName(d_->names[index]);
        values << value;
    }
    QString text;
    if (d_->adding) {
        if (columns.isEmpty()) {
            text = QStringLiteral("insert into %1 default values").arg(sql::QuotedName(d_->table));
        } else {
            QStringList marks;
            marks.fill(QStringLiteral("?"), columns.size());
            text = QStringLiteral("insert into %1 (%2) values (%3)")
                       .arg(sql::QuotedName(d_->table), columns.join(QLatin1Char(',')),
                            marks.join(QLatin1Char(',')));
        }
        if (Database::Engine() == sql::Engine::Postgres) {
            // The server tells the new row's id only when asked.
            text += QStringLiteral(" returning _rowid_");
        }
    } else {
        text = QStringLiteral("update %1 set %2=? where _rowid_ = ?")
                   .arg(sql::QuotedName(d_->table), columns.join(QStringLiteral("=?,")));
        values << d_->rowid;
    }
    Statement write;
    if (!write.prepare(text, values) || write.step() != SQLITE_DONE) {
        return fail(write.error());
    }

    if (d_->adding) {
        // Read the new row back, so defaults show as the engine stored them.
        const qint64 newRowid = Statement::lastInsertRowid();
        Statement reread;
        std::vector<QVariant> row(d_->names.size());
        if (reread.prepare(QStringLiteral("select * from %1 where _rowid_ = ?")
                               .arg(sql::QuotedName(d_->table)),
                           {newRowid}) &&
            reread.step() == SQLITE_ROW) {
            for (int i = 0; i < int(row.size()); ++i) {
                row[i] = reread.value(i);
            }
        }
        d_->row = std::move(row);
        d_->materialized = true;
        d_->written.clear();
        d_->rowid = newRowid;
        d_->adding = false;
        d_->eof = false;
    } else {
        if (Statement::changes() == 0) {
            d_->pending.clear();
            return fail(QStringLiteral("记录已不存在，可能已被删除"));
        }
        for (const auto& [index, value] : d_->pending) {
            d_->written[index] = value;
        }
    }
    d_->pending.clear();
    d_->error.clear();
    return true;
}

void Recordset::Close() {
    if (!d_ || d_->closed) {
        return;
    }
    d_->statement.finalize();
    d_->closed = true;
    d_->eof = true;
    d_->adding = false;
    d_->pending.clear();
    d_->written.clear();
    d_->row.clear();
    d_->handed.clear();
}

int Recordset::rowsAffected() const {
    return d_ ? d_->rowsAffected : 0;
}

QString Recordset::error() const {
    return d_ ? d_->error : error_;
}

Recordset Recordset::failed(const QString& reason) {
    Recordset rs;
    rs.error_ = reason.isEmpty() ? QStringLiteral("未知错误") : reason;
    return rs;
}
