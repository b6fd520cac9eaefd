#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The text of a file saved as UTF-8 (with or without a byte-order mark), as UTF-16 with a mark,
// or, failing UTF-8, in the Chinese national encoding Windows uses for "CSV" files. Nothing when
// the bytes are none of these.
std::optional<QString> DecodeText(const QByteArray& data);

// The text of bytes in GB18030, which also reads GBK and GB2312; nothing for bytes it cannot be.
std::optional<QString> DecodeGb18030(const QByteArray& data);

// The encoding a file names for itself, as `charset=` in an HTML meta tag or `encoding=` in an
// XML declaration near its start, in lower case; empty when it names none.
QByteArray DeclaredCharset(const QByteArray& data);

// The text, as UTF-8, of a file that may name its own encoding: a byte-order mark first, then
// the encoding named when it is one of the Chinese ones, then UTF-8, then GB18030. Nothing when
// the bytes are none of these.
std::optional<QByteArray> DeclaredTextUtf8(const QByteArray& data);
