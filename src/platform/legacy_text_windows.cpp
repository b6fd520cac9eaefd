#include <windows.h>

#include <QString>
#include <climits>

#include "platform/legacy_text.h"

namespace platform {

namespace {

constexpr UINT kGb18030 = 54936;

}  // namespace

std::optional<QByteArray> Gb18030ToUtf8(const QByteArray& data) {
    if (data.isEmpty()) {
        return QByteArray();
    }
    if (data.size() > INT_MAX / 2) {
        return std::nullopt;
    }
    // Bytes that are not GB18030 fail the whole conversion instead of becoming replacements.
    const int length = MultiByteToWideChar(kGb18030, MB_ERR_INVALID_CHARS, data.constData(),
                                           int(data.size()), nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(size_t(length), L'\0');
    if (MultiByteToWideChar(kGb18030, MB_ERR_INVALID_CHARS, data.constData(), int(data.size()),
                            wide.data(), length) != length) {
        return std::nullopt;
    }
    return QString::fromStdWString(wide).toUtf8();
}

}  // namespace platform
