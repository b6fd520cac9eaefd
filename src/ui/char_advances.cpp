#include "ui/char_advances.h"

#include <QString>

namespace ui {

CharAdvances::CharAdvances(const QFontMetricsF& metrics) : metrics_(metrics) {
    ascii_.fill(-1);
}

double CharAdvances::measure(QByteArrayView character) {
    return metrics_.horizontalAdvance(QString::fromUtf8(character));
}

double CharAdvances::sum(QByteArrayView utf8) {
    double total = 0;
    const qsizetype size = utf8.size();
    for (qsizetype i = 0; i < size;) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            double& advance = ascii_[lead];
            if (advance < 0) {
                advance = measure(utf8.sliced(i, 1));
            }
            total += advance;
            ++i;
            continue;
        }
        // A broken sequence is measured byte by byte, as whatever the font draws for it.
        const qsizetype length = std::min(size - i, qsizetype(lead >= 0xF0   ? 4
                                                              : lead >= 0xE0 ? 3
                                                              : lead >= 0xC0 ? 2
                                                                             : 1));
        quint32 key = 0;
        for (qsizetype k = 0; k < length; ++k) {
            key = (key << 8) | static_cast<unsigned char>(utf8[i + k]);
        }
        auto it = others_.find(key);
        if (it == others_.end()) {
            it = others_.emplace(key, measure(utf8.sliced(i, length))).first;
        }
        total += it->second;
        i += length;
    }
    return total;
}

}  // namespace ui
