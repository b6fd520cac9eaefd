#pragma once

#include <QByteArrayView>
#include <QFontMetricsF>
#include <array>
#include <unordered_map>

namespace ui {

// The advance of each character of a font, measured once. Their sum is a text's width but for
// kerning and ligatures, which move it by a pixel or so; shaping a whole text costs far more.
class CharAdvances {
public:
    explicit CharAdvances(const QFontMetricsF& metrics);

    // The sum of the advances of the characters of a UTF-8 text.
    double sum(QByteArrayView utf8);

    // How far a text's shaped width may lie above its sum.
    static constexpr double kSlack = 2.0;

private:
    double measure(QByteArrayView character);

    QFontMetricsF metrics_;
    std::array<double, 128> ascii_;
    std::unordered_map<quint32, double> others_;  // keyed by the character's UTF-8 bytes
};

}  // namespace ui
