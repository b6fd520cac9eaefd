#include "core/order_number_text.h"

namespace {

constexpr int kDateDigits = 8;

bool AllDigits(QStringView text) {
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

}  // namespace

QString OrderNumberText(const QString& stored) {
    const QString trimmed = stored.trimmed();
    if (!stored.startsWith(QLatin1Char(' ')) || trimmed.size() <= kDateDigits ||
        !AllDigits(trimmed))
        return trimmed;
    return trimmed.left(kDateDigits) + QLatin1Char('-') + trimmed.mid(kDateDigits);
}
