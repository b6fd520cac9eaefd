#pragma once

#include <QString>
#include <optional>
#include <utility>

// What a store hands back: the value it read or wrote, or why the database refused. The reason
// travels with the result, so the window that shows it names the statement that failed and no
// later statement can overwrite it.
template <class T>
class DbResult {
public:
    DbResult(T value) : value_(std::move(value)) {}  // NOLINT: a value converts implicitly

    static DbResult failure(QString reason) {
        DbResult result;
        result.error_ = reason.isEmpty() ? QStringLiteral("未知错误") : std::move(reason);
        return result;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return error_; }

    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const T& operator*() const { return *value_; }
    T& operator*() { return *value_; }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }

private:
    DbResult() = default;
    std::optional<T> value_;
    QString error_;
};

// A write that hands back nothing but success.
struct Done {};
using DbStatus = DbResult<Done>;

inline DbStatus DbOk() {
    return Done{};
}
