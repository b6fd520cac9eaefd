#include "core/terminal_text.h"

#include <QStringList>

namespace {

bool IsWide(QChar c) {
    return TerminalColumns(c) == 2;
}

bool ClosesPhrase(QChar c) {
    return QStringLiteral("，。、；：！？）】」』”’》〉…").contains(c);
}

bool OpensPhrase(QChar c) {
    return QStringLiteral("（【「『“‘《〈").contains(c);
}

// The pieces a line may break between, with whether a space came before each.
struct Piece {
    QString text;
    bool spaceBefore = false;
};

// Adds `text` as a piece, or to the last one where no line may break before it.
void Append(QList<Piece>& pieces, const QString& text, bool spaceBefore) {
    const bool glue = !pieces.isEmpty() && !spaceBefore &&
                      (OpensPhrase(pieces.last().text.back()) || ClosesPhrase(text.front()));
    if (glue) {
        pieces.last().text += text;
    } else {
        pieces.append({text, spaceBefore});
    }
}

QList<Piece> Pieces(const QString& paragraph) {
    QList<Piece> pieces;
    for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        qsizetype i = 0;
        bool spaceBefore = true;
        // An address stays whole up to the punctuation that ends it, even where it holds
        // Chinese placeholders ("postgresql://用户@主机/数据库名，").
        if (word.contains(QLatin1String("://")) && !ClosesPhrase(word.front())) {
            while (i < word.size() && !ClosesPhrase(word.at(i))) {
                ++i;
            }
            Append(pieces, word.left(i), spaceBefore);
            spaceBefore = false;
        }
        while (i < word.size()) {
            const qsizetype from = i;
            if (IsWide(word.at(i))) {
                ++i;
            } else {
                while (i < word.size() && !IsWide(word.at(i))) {
                    ++i;
                }
            }
            Append(pieces, word.mid(from, i - from), spaceBefore);
            spaceBefore = false;
        }
    }
    return pieces;
}

}  // namespace

int TerminalColumns(QChar c) {
    const char16_t u = c.unicode();
    const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                      (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                      (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                      (u >= 0xFFE0 && u <= 0xFFE6) || u == 0x2026 || u == 0x201C || u == 0x201D ||
                      u == 0x2018 || u == 0x2019;
    return wide ? 2 : 1;
}

int TerminalColumns(const QString& text) {
    int columns = 0;
    for (const QChar c : text) {
        columns += TerminalColumns(c);
    }
    return columns;
}

QString WrapToTerminalColumns(const QString& text, int columns) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        int used = 0;
        for (const Piece& piece : Pieces(paragraph)) {
            const int width = TerminalColumns(piece.text);
            const int space = piece.spaceBefore && used > 0 ? 1 : 0;
            if (used > 0 && used + space + width > columns) {
                lines << line;
                line.clear();
                used = 0;
            } else if (space > 0) {
                line += QLatin1Char(' ');
                used += 1;
            }
            // A piece wider than a line by itself is cut where the line is full.
            for (const QChar c : piece.text) {
                if (used > 0 && used + TerminalColumns(c) > columns) {
                    lines << line;
                    line.clear();
                    used = 0;
                }
                line += c;
                used += TerminalColumns(c);
            }
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}
