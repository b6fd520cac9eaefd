#include "customers/plate_text.h"

QString NormalizedPlate(const QString& typed) {
    QString plate = typed.trimmed();
    for (QChar& c : plate) {
        const char16_t u = c.unicode();
        // The full-width forms of ASCII: U+FF01 to U+FF5E.
        if (u >= 0xFF01 && u <= 0xFF5E) {
            c = QChar(char16_t(u - 0xFEE0));
        }
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(char16_t(c.unicode() - ('a' - 'A')));
        }
    }
    return plate;
}
