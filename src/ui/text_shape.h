#pragma once

#include <QByteArrayView>
#include <string>

class QFontMetricsF;

namespace ui {

// The digit that takes the most room in this font; a text measured with every digit set in it
// is at least as wide as any text of the same shape.
char WidestDigit(const QFontMetricsF& metrics);

// The shape of a UTF-8 text for measuring: digits become `digit` and every character of the
// main CJK blocks (U+4000 to U+9FFF, all drawn full width) becomes one of them; the rest stays.
void TextShape(QByteArrayView utf8, char digit, std::string& shape);

}  // namespace ui
