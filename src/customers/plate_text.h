#pragma once

#include <QString>

// A plate as it is stored: full-width letters and digits made half-width, Latin letters in upper
// case, and the spaces and separators people type between the region and the number left out
// ("苏ｅ 88-a66", "浙A·D12345" → "苏E88A66", "浙AD12345"). The province character stays.
QString NormalizedPlate(const QString& typed);

// The engine's reading of a stored plate as NormalizedPlate gives it, for plates stored before
// the separators were left out: `column` in upper case without any separator. Both engines index
// this very expression, so a lookup through it reads the index.
QString PlateKeySql(const QString& column);

// The condition that finds a stored plate from a normalised one, given twice: as stored, or as
// an older plate with lower-case letters or separators reads once normalised.
QString PlateMatches();

// A telephone as its digits: what is typed holds only digits (of either width) and the marks
// people write in telephone numbers (spaces, dashes, dots, brackets, a leading +86 or 0086).
// Empty when `typed` is no telephone number, or holds no digit.
QString TelephoneDigits(const QString& typed);

// The engine's reading of a stored telephone without its marks, for finding TelephoneDigits in
// it: a stored "+86 138-0000-0000" holds "13800000000".
QString TelephoneDigitsSql(const QString& column);
