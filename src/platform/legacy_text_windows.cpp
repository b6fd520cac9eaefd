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

struct CodePageText::Decoder {
    UINT codePage = 1252;
};

CodePageText::CodePageText(quint16 codePage) : decoder_(std::make_unique<Decoder>()) {
    // Legacy workbooks write Mac Roman as 32768; Windows numbers it 10000.
    const UINT wanted = codePage == 32768 ? 10000 : codePage;
    if (wanted != 0 && IsValidCodePage(wanted)) {
        decoder_->codePage = wanted;
    }
}

CodePageText::~CodePageText() = default;

QString CodePageText::decode(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() > INT_MAX / 2) {
        return {};
    }
    const int length = MultiByteToWideChar(decoder_->codePage, 0, bytes.constData(),
                                           int(bytes.size()), nullptr, 0);
    if (length <= 0) {
        return QString::fromLatin1(bytes);
    }
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(decoder_->codePage, 0, bytes.constData(), int(bytes.size()), wide.data(),
                        length);
    return QString::fromStdWString(wide);
}

}  // namespace platform
