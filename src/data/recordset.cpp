#include "data/recordset.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>

#include "data/database.h"
#include "data/recordset_impl.h"
#include "data/sql_error.h"

QVariant ToStoredValue(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QDate:
            return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::QDateTime:
            return value.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::QString:
            // A null QString would be bound as SQL NULL; an empty box stores the empty text.
            return value.toString().isNull() ? QVariant(QLatin1String("")) : value;
        default:
            return value;
    }
}

void Recordset::Impl::fetchCurrent() {
    const int count = int(names.size());
    row.resize(count);
    for (int i = 0; i < count; ++i) {
        row[i] = query.value(i);
    }
    if (rowidColumn >= 0) {
        rowid = query.value(rowidColumn).toLongLong();
    }
}

int Recordset::Impl::indexOf(const QString& name) const {
    auto it = byName.constFind(name);
    if (it != byName.constEnd()) {
        return it.value();
    }
    it = byName.constFind(name.toLower());
    return it != byName.constEnd() ? it.value() : -1;
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
    d_->eof = !d_->query.next();
    if (d_->eof) {
        d_->row.clear();
    } else {
        d_->fetchCurrent();
    }
}

void Recordset::MoveLast() {
    if (!d_ || d_->closed || d_->eof) {
        return;
    }
    d_->adding = false;
    d_->pending.clear();
    while (d_->query.next()) {
        d_->fetchCurrent();
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
    if (d_->adding || d_->eof || index >= int(d_->row.size())) {
        return {};
    }
    return d_->row[index];
}

QString Recordset::Text(const QString& name) const {
    return Field(name).toString();
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

namespace {

QString QuoteName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

bool Recordset::Update() {
    auto fail = [this](const QString& reason) {
        if (d_) {
            d_->error = reason;
        }
        SetLastSqlError(reason);
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

    QSqlQuery write(Database::Connection());
    QString statement;
    QStringList columns;
    for (const auto& [index, value] : d_->pending) {
        columns << QuoteName(d_->names[index]);
    }
    if (d_->adding) {
        if (columns.isEmpty()) {
            statement = QStringLiteral("insert into %1 default values").arg(QuoteName(d_->table));
        } else {
            QStringList marks;
            marks.fill(QStringLiteral("?"), columns.size());
            statement = QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(QuoteName(d_->table), columns.join(QLatin1Char(',')),
                                 marks.join(QLatin1Char(',')));
        }
    } else {
        statement = QStringLiteral("update %1 set %2 where _rowid_ = ?")
                        .arg(QuoteName(d_->table), columns.join(QStringLiteral("=?,")) +
                                                       QStringLiteral("=?"));
    }
    if (!write.prepare(statement)) {
        return fail(write.lastError().text());
    }
    for (const auto& [index, value] : d_->pending) {
        write.addBindValue(value);
    }
    if (!d_->adding) {
        write.addBindValue(d_->rowid);
    }
    if (!write.exec()) {
        return fail(write.lastError().text());
    }

    if (d_->adding) {
        // Read the new row back so defaults show as the engine stored them.
        const qint64 newRowid = write.lastInsertId().toLongLong();
        QSqlQuery reread(Database::Connection());
        reread.prepare(QStringLiteral("select * from %1 where _rowid_ = ?").arg(QuoteName(d_->table)));
        reread.addBindValue(newRowid);
        std::vector<QVariant> values(d_->names.size());
        if (reread.exec() && reread.next()) {
            for (int i = 0; i < int(values.size()); ++i) {
                values[i] = reread.value(i);
            }
        }
        d_->row = std::move(values);
        d_->rowid = newRowid;
        d_->adding = false;
        d_->eof = false;
    } else {
        if (write.numRowsAffected() == 0) {
            d_->pending.clear();
            return fail(QStringLiteral("记录已不存在，可能已被删除"));
        }
        for (const auto& [index, value] : d_->pending) {
            d_->row[index] = value;
        }
    }
    d_->pending.clear();
    d_->error.clear();
    SetLastSqlError(QString());
    return true;
}

void Recordset::Close() {
    if (!d_ || d_->closed) {
        return;
    }
    d_->query.finish();
    d_->closed = true;
    d_->eof = true;
    d_->adding = false;
    d_->pending.clear();
    d_->row.clear();
}

int Recordset::rowsAffected() const {
    return d_ ? d_->rowsAffected : 0;
}

QString Recordset::lastError() const {
    return d_ ? d_->error : QString();
}
