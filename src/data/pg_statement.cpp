#include "data/pg_statement.h"

#include <cmath>
#include <utility>

namespace {

// The server's type ids of the types our statements return.
enum Oid : unsigned {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kNumeric = 1700,
};

bool IsInteger(unsigned type) {
    return type == kInt8 || type == kInt2 || type == kInt4 || type == kOid;
}

bool IsFloat(unsigned type) {
    return type == kFloat4 || type == kFloat8;
}

double ParseDouble(QByteArrayView text) {
    if (text == "Infinity") {
        return HUGE_VAL;
    }
    if (text == "-Infinity") {
        return -HUGE_VAL;
    }
    return text.toByteArray().toDouble();
}

// A numeric without a fraction that fits 64 bits is an integer, as SQLite's sum of integers is.
bool NumericInteger(QByteArrayView text, qint64* value) {
    if (text.contains('.') || text.contains('e') || text.contains('E')) {
        return false;
    }
    bool ok = false;
    *value = text.toByteArray().toLongLong(&ok);
    return ok;
}

// As the SQLite path writes a double it reads: the shortest text that reads back the same.
QString RealText(double value) {
    return QVariant(value).toString();
}

}  // namespace

bool PgStatement::start(PgConnection& connection, const QString& text, const QVariantList& params,
                        bool command) {
    if (command) {
        const PgResult result = connection.exec(text, params);
        if (!result.ok()) {
            error_ = result.failure();
            return false;
        }
        affected_ = result.affectedRows();
        returnedRowid_ = result.rows() > 0 && result.columns() > 0
                             ? result.row(result.rows() - 1).view(0).toByteArray().toLongLong()
                             : 0;
        return true;
    }
    query_ = connection.query(text, params);
    if (query_.next()) {
        current_ = query_.takeRow();
        peeked_ = true;
        takeColumns(current_);
        return true;
    }
    if (!query_.ok()) {
        error_ = query_.failure();
        return false;
    }
    takeColumns(query_.end());
    return true;
}

void PgStatement::takeColumns(const PgResult& result) {
    const PgRow row = result.row(0);
    const int count = result.columns();
    columns_.resize(size_t(count));
    names_.clear();
    types_.clear();
    for (int i = 0; i < count; ++i) {
        columns_[size_t(i)] = i;
        names_.append(row.name(i));
        types_.push_back(row.type(i));
    }
}

void PgStatement::moveColumnToEnd(const QString& name) {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (names_[columns_[i]] == name) {
            const int moved = columns_[i];
            columns_.erase(columns_.begin() + qsizetype(i));
            columns_.push_back(moved);
            return;
        }
    }
}

PgStatement::Step PgStatement::step() {
    if (peeked_) {
        peeked_ = false;
        return Step::Row;
    }
    if (!spilled_.empty()) {
        current_ = std::move(spilled_.front());
        spilled_.pop_front();
        return Step::Row;
    }
    current_ = PgResult();
    if (query_.next()) {
        current_ = query_.takeRow();
        return Step::Row;
    }
    if (!query_.ok()) {
        error_ = query_.failure();
        return Step::Failed;
    }
    return Step::Done;
}

void PgStatement::spill() {
    while (query_.next()) {
        spilled_.push_back(query_.takeRow());
    }
    if (!query_.ok() && error_.reason.isEmpty()) {
        // Told at the step that reaches the end of the rows that did arrive.
        error_ = query_.failure();
    }
}

QString PgStatement::columnName(int column) const {
    return names_.value(columns_[size_t(column)]);
}

unsigned PgStatement::type(int column) const {
    return types_[size_t(columns_[size_t(column)])];
}

bool PgStatement::isNull(int column) const {
    return current_.row(0).isNull(columns_[size_t(column)]);
}

QByteArrayView PgStatement::raw(int column) const {
    return current_.row(0).view(columns_[size_t(column)]);
}

QVariant PgStatement::value(int column) const {
    if (column < 0 || column >= columnCount() || isNull(column)) {
        return {};
    }
    const unsigned t = type(column);
    const QByteArrayView bytes = raw(column);
    if (IsInteger(t)) {
        return bytes.toByteArray().toLongLong();
    }
    if (IsFloat(t)) {
        return ParseDouble(bytes);
    }
    if (t == kBool) {
        return qlonglong(bytes == "t" ? 1 : 0);
    }
    if (t == kNumeric) {
        qint64 whole = 0;
        if (NumericInteger(bytes, &whole)) {
            return qlonglong(whole);
        }
        return ParseDouble(bytes);
    }
    if (t == kBytea) {
        // The text form of binary data: \x and two hex digits per byte.
        return QByteArray::fromHex(bytes.toByteArray().mid(2));
    }
    return QString::fromUtf8(bytes.data(), bytes.size());
}

QString PgStatement::text(int column) const {
    if (column < 0 || column >= columnCount() || isNull(column)) {
        return {};
    }
    const unsigned t = type(column);
    if (IsFloat(t)) {
        return RealText(ParseDouble(raw(column)));
    }
    if (t == kBool || t == kBytea) {
        return value(column).toString();
    }
    if (t == kNumeric) {
        qint64 whole = 0;
        const QByteArrayView bytes = raw(column);
        return NumericInteger(bytes, &whole) ? QString::number(whole)
                                             : RealText(ParseDouble(bytes));
    }
    const QByteArrayView bytes = raw(column);
    return QString::fromUtf8(bytes.data(), bytes.size());
}

QByteArray PgStatement::utf8(int column) const {
    if (column < 0 || column >= columnCount() || isNull(column)) {
        return {};
    }
    const unsigned t = type(column);
    if (IsFloat(t) || t == kBool || t == kBytea || t == kNumeric) {
        return text(column).toUtf8();
    }
    const QByteArrayView bytes = raw(column);
    return QByteArray::fromRawData(bytes.data(), bytes.size());
}

qint64 PgStatement::int64(int column) const {
    const QVariant v = value(column);
    return v.typeId() == QMetaType::Double ? qint64(v.toDouble()) : v.toLongLong();
}

bool PgStatement::number(int column, double* out) const {
    if (column < 0 || column >= columnCount() || isNull(column)) {
        return false;
    }
    const unsigned t = type(column);
    if (!IsInteger(t) && !IsFloat(t) && t != kNumeric && t != kBool) {
        return false;
    }
    *out = value(column).toDouble();
    return true;
}
