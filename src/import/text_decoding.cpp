#include "import/text_decoding.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include "platform/legacy_text.h"

namespace {

// The declaration of an encoding comes before any content; a web page keeps it in its head.
constexpr qsizetype kDeclarationWindow = 4096;

std::optional<QString> DecodeWith(QStringDecoder::Encoding encoding, const QByteArray& data) {
    QStringDecoder decoder(encoding);
    QString text = decoder(data);
    return decoder.hasError() ? std::nullopt : std::optional<QString>(std::move(text));
}

bool IsChinese(const QByteArray& charset) {
    return charset == "gb18030" || charset == "gbk" || charset == "gb2312" || charset == "x-gbk" ||
           charset == "cp936" || charset == "euc-cn";
}

}  // namespace

std::optional<QByteArray> Gb18030ToUtf8(const QByteArray& data) {
    return platform::Gb18030ToUtf8(data);
}

std::optional<QString> DecodeGb18030(const QByteArray& data) {
    const std::optional<QByteArray> utf8 = Gb18030ToUtf8(data);
    return utf8 ? std::optional<QString>(QString::fromUtf8(*utf8)) : std::nullopt;
}

std::optional<QString> DecodeText(const QByteArray& data) {
    if (data.startsWith("\xEF\xBB\xBF")) {
        return DecodeWith(QStringDecoder::Utf8, data.sliced(3));
    }
    if (data.startsWith("\xFF\xFE")) {
        return DecodeWith(QStringDecoder::Utf16LE, data.sliced(2));
    }
    if (data.startsWith("\xFE\xFF")) {
        return DecodeWith(QStringDecoder::Utf16BE, data.sliced(2));
    }
    if (std::optional<QString> text = DecodeWith(QStringDecoder::Utf8, data)) {
        return text;
    }
    return DecodeGb18030(data);
}

QByteArray DeclaredCharset(const QByteArray& data) {
    static const QRegularExpression declaration(
        QStringLiteral(R"((?:charset|encoding)\s*=\s*["']?\s*([A-Za-z0-9_.:-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(data.left(kDeclarationWindow));
    const QRegularExpressionMatch match = declaration.match(head);
    return match.hasMatch() ? match.captured(1).toLower().toLatin1() : QByteArray();
}

std::optional<QByteArray> DeclaredTextUtf8(const QByteArray& data) {
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        const std::optional<QString> text = DecodeText(data);
        return text ? std::optional<QByteArray>(text->toUtf8()) : std::nullopt;
    }
    // A page reads in the encoding it names. Some programs never change their template's meta
    // tag, so bytes that are not that encoding fall back to the usual guess.
    const bool bom = data.startsWith("\xEF\xBB\xBF");
    if (!bom && IsChinese(DeclaredCharset(data))) {
        if (std::optional<QByteArray> utf8 = Gb18030ToUtf8(data)) {
            return utf8;
        }
    }
    // UTF-8, the common case, is used as it is.
    const QByteArray text = bom ? data.sliced(3) : data;
    if (QByteArrayView(text).isValidUtf8()) {
        return text;
    }
    return bom ? std::nullopt : Gb18030ToUtf8(data);
}
