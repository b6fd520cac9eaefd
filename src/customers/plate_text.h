#pragma once

#include <QString>

// A plate as it is stored: trimmed, full-width letters and digits made half-width and Latin
// letters in upper case ("苏ｅ88a66" → "苏E88A66"). The province character and anything else
// stay as typed.
QString NormalizedPlate(const QString& typed);

// The condition that finds a stored plate from a normalised one, given twice: a plate stored
// before plates were normalised may hold lower-case letters.
inline QString PlateMatches() {
    return QStringLiteral("(kh_cph = ? or upper(kh_cph) = ?)");
}
