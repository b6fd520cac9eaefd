#include "ui/text_shape.h"

#include <QFontMetricsF>

namespace ui {

char WidestDigit(const QFontMetricsF& metrics) {
    char widest = '0';
    for (char d = '1'; d <= '9'; ++d) {
        if (metrics.horizontalAdvance(QLatin1Char(d)) >
            metrics.horizontalAdvance(QLatin1Char(widest)))
            widest = d;
    }
    return widest;
}

void TextShape(QByteArrayView utf8, char digit, std::string& shape) {
    shape.clear();
    const qsizetype size = utf8.size();
    for (qsizetype i = 0; i < size;) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= '0' && byte <= '9') {
            shape += digit;
            ++i;
        } else if (byte >= 0xE4 && byte <= 0xE9 && i + 2 < size) {
            shape += "\xE4\xB8\x80";
            i += 3;
        } else {
            shape += char(byte);
            ++i;
        }
    }
}

}  // namespace ui
