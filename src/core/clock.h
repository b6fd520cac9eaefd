#pragma once

#include <QDate>
#include <QDateTime>

// The program's one source of "now". Every date a window proposes or a rule records comes from
// here, so a test can pin the clock and a run across midnight still sees a single day.
QDateTime Now();
QDate Today();

// Pins the clock at `fixed` until it is called again; an invalid value gives the real clock back.
void SetClock(const QDateTime& fixed);
