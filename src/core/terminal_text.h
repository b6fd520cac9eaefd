#pragma once

#include <QString>

// Columns a terminal gives `c`: two for the wide East Asian characters (Chinese, full-width
// forms), one otherwise.
int TerminalColumns(QChar c);
// The columns `text` takes on one line of a terminal.
int TerminalColumns(const QString& text);

// `text` broken into lines of at most `columns` terminal columns, for help texts that mix
// Chinese with options and addresses. A line may break between two Chinese characters or at a
// space; it never starts with closing punctuation ("，。、）…") nor ends with opening
// punctuation. A run of other characters (an option, a URL) stays whole on its line unless it is
// wider than a line by itself. Line breaks already in `text` are kept.
QString WrapToTerminalColumns(const QString& text, int columns);
