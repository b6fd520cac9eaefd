#include <iconv.h>

#include <QStringDecoder>

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

namespace {

// Code pages by the names the text codecs know them by.
QStringDecoder DecoderFor(quint16 codePage) {
    const char* name = nullptr;
    switch (codePage) {
        case 874:
            name = "windows-874";
            break;
        case 932:
            name = "Shift_JIS";
            break;
        case 936:
            name = "GBK";
            break;
        case 949:
            name = "windows-949";
            break;
        case 950:
            name = "Big5";
            break;
        case 10000:
        case 32768:
            name = "macintosh";
            break;
        default:
            if (codePage >= 1250 && codePage <= 1258) {
                static const char* const windows[] = {
                    "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
                    "windows-1255", "windows-1256", "windows-1257", "windows-1258"};
                name = windows[codePage - 1250];
            } else if (codePage == 437 || codePage == 850 || codePage == 852 || codePage == 866) {
                static const char* const ibm[] = {"IBM437", "IBM850", "IBM852", "IBM866"};
                name = ibm[codePage == 437 ? 0 : codePage == 850 ? 1 : codePage == 852 ? 2 : 3];
            }
            break;
    }
    QStringDecoder decoder(name ? name : "windows-1252");
    if (!decoder.isValid()) {
        decoder = QStringDecoder("windows-1252");
    }
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringDecoder::Latin1);
    }
    return decoder;
}

}  // namespace

struct CodePageText::Decoder {
    QStringDecoder decoder;
};

CodePageText::CodePageText(quint16 codePage)
    : decoder_(std::make_unique<Decoder>(Decoder{DecoderFor(codePage)})) {}

CodePageText::~CodePageText() = default;

QString CodePageText::decode(const QByteArray& bytes) {
    decoder_->decoder.resetState();
    return decoder_->decoder.decode(bytes);
}

}  // namespace platform
