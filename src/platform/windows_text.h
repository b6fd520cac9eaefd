#pragma once

#include <QDir>
#include <QString>
#include <string>

namespace platform {

// A path as the system's wide-character calls take it.
inline std::wstring WidePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// Sets errno from the system's last error, so callers describe every failure one way.
void SetErrnoFromLastError();

}  // namespace platform
