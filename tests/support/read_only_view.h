#pragma once

#include <QString>
#include <QTemporaryDir>

// A folder that even root cannot write: the same folder mounted read-only (needs root to
// mount). Closes the database before it unmounts.
class ReadOnlyView {
public:
    explicit ReadOnlyView(const QString& dir);
    ~ReadOnlyView();
    ReadOnlyView(const ReadOnlyView&) = delete;
    ReadOnlyView& operator=(const ReadOnlyView&) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return view_.path(); }

private:
    QTemporaryDir view_;
    bool mounted_ = false;
};
