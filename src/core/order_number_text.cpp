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

void AppendOrderNumberText(QByteArrayView stored, QByteArray& out) {
    // The common form is read in place; anything else takes the rule above as it stands.
    qsizetype begin = 0;
    qsizetype end = stored.size();
    while (begin < end && stored[begin] == ' ')
        ++begin;
    while (end > begin && stored[end - 1] == ' ')
        --end;
    bool digits = begin > 0 && end - begin > kDateDigits;
    for (qsizetype i = begin; digits && i < end; ++i)
        digits = stored[i] >= '0' && stored[i] <= '9';
    if (!digits) {
        out += OrderNumberText(QString::fromUtf8(stored)).toUtf8();
        return;
    }
    out.append(stored.data() + begin, kDateDigits);
    out += '-';
    out.append(stored.data() + begin + kDateDigits, end - begin - kDateDigits);
}
