#pragma once

#include <QString>
#include <cstdio>

// A line for the terminal of a command-line action, in UTF-8 whatever the locale, written at
// once so progress shows while the work goes on.
void Say(FILE* stream, const QString& text);
