#include "data/sql_dialect.h"

#include <QRegularExpression>
#include <algorithm>

namespace sql {

namespace {

// A stretch of statement text: code, or text the engine does not read as code (a quoted
// string or identifier, a comment), which no rewrite may touch.
struct Span {
    qsizetype begin;
    qsizetype end;
    bool code;
};

// Where a quoted string or identifier that opens at `begin` ends; a doubled quote is part of it.
// An unclosed one runs to the end, as the engine would read it before refusing it.
qsizetype QuotedEnd(const QString& text, qsizetype begin) {
    const QChar quote = text[begin];
    qsizetype i = begin + 1;
    while (i < text.size()) {
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return text.size();
}

QList<Span> Spans(const QString& text) {
    QList<Span> spans;
    qsizetype codeBegin = 0;
    qsizetype i = 0;
    auto other = [&](qsizetype end) {
        if (codeBegin < i) {
            spans.append({codeBegin, i, true});
        }
        spans.append({i, end, false});
        i = end;
        codeBegin = end;
    };
    while (i < text.size()) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (c == u'\'' || c == u'"') {
            other(QuotedEnd(text, i));
        } else if (c == u'-' && next == u'-') {
            const qsizetype newline = text.indexOf(u'\n', i);
            other(newline < 0 ? text.size() : newline);
        } else if (c == u'/' && next == u'*') {
            const qsizetype close = text.indexOf(QStringLiteral("*/"), i + 2);
            other(close < 0 ? text.size() : close + 2);
        } else {
            ++i;
        }
    }
    if (codeBegin < text.size()) {
        spans.append({codeBegin, text.size(), true});
    }
    return spans;
}

// `text` with `rewrite` applied to its code only.
template <typename Rewrite>
QString RewriteCode(const QString& text, Rewrite rewrite) {
    QString out;
    out.reserve(text.size() + 16);
    for (const Span& span : Spans(text)) {
        const QString piece = text.mid(span.begin, span.end - span.begin);
        out += span.code ? rewrite(piece) : piece;
    }
    return out;
}

QString CodeOnly(const QString& text) {
    QString out;
    for (const Span& span : Spans(text)) {
        out += span.code ? text.mid(span.begin, span.end - span.begin) : QStringLiteral(" ");
    }
    return out;
}

QString PostgresTypes(const QString& statement) {
    static const QRegularExpression real(QStringLiteral("\\bREAL\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    return RewriteCode(statement, [](QString code) {
        return code.replace(real, QStringLiteral("double precision"));
    });
}

// What SQLite understands and the server needs said its own way, in code only: no limit, the
// row id, like without letter case, and 64-bit integers.
QString PostgresWords(const QString& statement) {
    static const QRegularExpression rowid(QStringLiteral("\\b_rowid_\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression like(QStringLiteral("\\blike\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression integer(QStringLiteral("\\bas\\s+integer\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression noLimit(QStringLiteral("\\blimit\\s+-1\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    return RewriteCode(statement, [](QString code) {
        return code.replace(noLimit, QStringLiteral("limit all"))
            .replace(rowid, QStringLiteral("rowid"))
            .replace(like, QStringLiteral("ilike"))
            .replace(integer, QStringLiteral("as bigint"));
    });
}

// printf('%.15g', column): the server turns a double into a numeric with the same 15
// significant digits, and a numeric's text has no trailing zeros.
QString PostgresPrintf(QString statement) {
    static const QRegularExpression printf(
        QStringLiteral("\\bprintf\\s*\\(\\s*'%\\.15g'\\s*,\\s*([A-Za-z_][A-Za-z0-9_.]*)\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    return statement.replace(printf, QStringLiteral("cast(cast(\\1 as numeric) as text)"));
}

// The server's tables have no hidden row id; each gets a column of that name, numbered as rows
// are saved, so "order by rowid" keeps save order and a row is found again by it.
QString WithRowidColumn(const QString& statement) {
    static const QRegularExpression create(QStringLiteral("^\\s*create\\s+table\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    // Comments come before the statement they belong to, so its last parenthesis closes it.
    const qsizetype close = statement.lastIndexOf(u')');
    if (!create.match(CodeOnly(statement)).hasMatch() || close < 0) {
        return statement;
    }
    QString out = statement;
    out.insert(close, QStringLiteral(",\n    ") + QLatin1String(kRowidColumn) + QLatin1Char('\n'));
    return out;
}

}  // namespace

QString QuotedName(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(u'"', QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString NumberedPlaceholders(const QString& statement) {
    int number = 0;
    return RewriteCode(statement, [&number](const QString& code) {
        QString out;
        out.reserve(code.size() + 8);
        for (qsizetype i = 0; i < code.size(); ++i) {
            if (code[i] != u'?') {
                out += code[i];
                continue;
            }
            qsizetype digits = i + 1;
            while (digits < code.size() && code[digits].isDigit()) {
                ++digits;
            }
            if (digits > i + 1) {
                // A numbered placeholder keeps its number, and the next plain one follows it,
                // as SQLite counts them.
                const QString given = code.mid(i + 1, digits - i - 1);
                number = std::max(number, given.toInt());
                out += u'$' + given;
                i = digits - 1;
            } else {
                out += u'$' + QString::number(++number);
            }
        }
        return out;
    });
}

QString ForEngine(Engine engine, const QString& statement) {
    if (engine == Engine::Sqlite) {
        return statement;
    }
    return NumberedPlaceholders(PostgresWords(PostgresTypes(PostgresPrintf(statement))));
}

QStringList SplitStatements(const QString& script) {
    QStringList statements;
    QString current;
    auto finish = [&] {
        if (!CodeOnly(current).trimmed().isEmpty()) {
            statements.append(current.trimmed());
        }
        current.clear();
    };
    for (const Span& span : Spans(script)) {
        const QString piece = script.mid(span.begin, span.end - span.begin);
        if (!span.code) {
            current += piece;
            continue;
        }
        qsizetype from = 0;
        for (qsizetype end = piece.indexOf(u';'); end >= 0; end = piece.indexOf(u';', from)) {
            current += piece.mid(from, end - from);
            finish();
            from = end + 1;
        }
        current += piece.mid(from);
    }
    finish();
    return statements;
}

QString StepStatement(Engine engine, const QString& statement) {
    return engine == Engine::Postgres ? WithRowidColumn(ForEngine(engine, statement)) : statement;
}

QString ApplicationMark(int applicationId) {
    return QStringLiteral("ruvaso application_id %1").arg(applicationId);
}

QStringList SchemaStatements(Engine engine, const QString& schemaSql) {
    static const QRegularExpression pragma(
        QStringLiteral("^\\s*PRAGMA\\s+application_id\\s*=\\s*(\\d+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList statements;
    QString mark;
    for (const QString& statement : SplitStatements(schemaSql)) {
        if (engine == Engine::Postgres) {
            if (const auto match = pragma.match(CodeOnly(statement)); match.hasMatch()) {
                // The meta table does not exist yet where the pragma stands; mark it last.
                mark = QStringLiteral("comment on table meta is '%1'")
                           .arg(ApplicationMark(match.captured(1).toInt()));
                continue;
            }
        }
        statements.append(engine == Engine::Postgres ? WithRowidColumn(ForEngine(engine, statement))
                                                     : statement);
    }
    if (!mark.isEmpty()) {
        statements.append(mark);
    }
    if (engine == Engine::Postgres) {
        // str(date) gives a date's stored text, as the function SQLite connections register.
        statements.append(QStringLiteral(
            "create function str(text) returns text language sql immutable as 'select $1'"));
    }
    return statements;
}

}  // namespace sql
