#pragma once

#include <QByteArray>
#include <optional>

namespace platform {

// GB18030 text (which covers GBK and GB2312) as UTF-8; nothing when the bytes are not GB18030.
std::optional<QByteArray> Gb18030ToUtf8(const QByteArray& data);

}  // namespace platform
