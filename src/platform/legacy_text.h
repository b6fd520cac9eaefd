#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace platform {

// GB18030 text (which covers GBK and GB2312) as UTF-8; nothing when the bytes are not GB18030.
std::optional<QByteArray> Gb18030ToUtf8(const QByteArray& data);

// Text in one of Windows' numbered code pages (936 for GBK, 950 for Big5, 1252 …), as legacy
// workbooks store it. A code page the system cannot read is taken as 1252.
class CodePageText {
public:
    explicit CodePageText(quint16 codePage);
    ~CodePageText();
    CodePageText(const CodePageText&) = delete;
    CodePageText& operator=(const CodePageText&) = delete;

    QString decode(const QByteArray& bytes);

private:
    struct Decoder;
    std::unique_ptr<Decoder> decoder_;
};

}  // namespace platform
