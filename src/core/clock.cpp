#include "core/clock.h"

namespace {

QDateTime& Pinned() {
    static QDateTime pinned;
    return pinned;
}

}  // namespace

QDateTime Now() {
    return Pinned().isValid() ? Pinned() : QDateTime::currentDateTime();
}

QDate Today() {
    return Now().date();
}

void SetClock(const QDateTime& fixed) {
    Pinned() = fixed;
}
