#include <iconv.h>

#include "platform/legacy_text.h"

namespace platform {

std::optional<QByteArray> Gb18030ToUtf8(const QByteArray& data) {
    iconv_t convert = iconv_open("UTF-8", "GB18030");
    if (convert == iconv_t(-1)) {
        return std::nullopt;
    }
    // Two bytes of GB18030 become at most three of UTF-8, four become four.
    QByteArray out(data.size() * 2 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(data.constData());
    size_t inLeft = size_t(data.size());
    char* to = out.data();
    size_t outLeft = size_t(out.size());
    const size_t done = iconv(convert, &in, &inLeft, &to, &outLeft);
    iconv_close(convert);
    if (done == size_t(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

}  // namespace platform
