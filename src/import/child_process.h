#pragma once

#include <QByteArray>
#include <QString>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

// Spreadsheet libraries are large C and C++ parsers that a crafted file can lead astray: one
// overruns a buffer, another aborts on a failed assertion. Such a library reads in a child
// process of its own and reports over a pipe, so whatever a hostile file does to it, this
// process only sees a child that did not finish, and the file reads as damaged.

// Collects what the child reports and writes it to the pipe in large pieces.
class PipeWriter {
public:
    explicit PipeWriter(int fd) : fd_(fd) {}
    ~PipeWriter() { flush(); }
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;

    void put(const void* data, size_t size);
    template <class T>
    void put(T value) {
        put(&value, sizeof value);
    }
    // A length and the UTF-8 bytes.
    void text(const char* utf8, size_t size);
    void text(const QString& value);
    void flush();

private:
    int fd_;
    std::string buffer_;
};

// Reads a report back, never past its end.
class PipeReader {
public:
    explicit PipeReader(const QByteArray& data) : data_(data) {}
    template <class T>
    bool get(T& value) {
        if (at_ + qsizetype(sizeof value) > data_.size()) {
            return false;
        }
        std::memcpy(&value, data_.constData() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool text(QString& value);

private:
    const QByteArray& data_;
    qsizetype at_ = 0;
};

// Runs `work` in a forked child, with its error output going nowhere, and returns all it wrote.
// Nothing when the child could not start, died, stalled for `stallMs` or sent more than
// `maxBytes`.
std::optional<QByteArray> RunInChild(const std::function<void(PipeWriter&)>& work, qint64 maxBytes,
                                     int stallMs);
