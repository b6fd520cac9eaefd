#include "data/run_sql.h"

#include <sqlite3.h>

#include <QRegularExpression>

#include "data/database.h"
#include "data/recordset_impl.h"

namespace {

// The first word decides: these three change rows and are executed; anything else is opened.
bool IsCommand(const QString& trimmed) {
    qsizetype end = 0;
    while (end < trimmed.size() && !trimmed.at(end).isSpace()) {
        ++end;
    }
    const QString first = trimmed.left(end).toUpper();
    return first == QLatin1String("INSERT") || first == QLatin1String("DELETE") ||
           first == QLatin1String("UPDATE");
}

// "select * from <table> ..." reads whole rows of one table, so its rows can be written back.
const QRegularExpression& EditableShape() {
    static const QRegularExpression shape(
        QStringLiteral(R"(^select\s+\*\s+from\s+([A-Za-z_][A-Za-z0-9_]*)(\s.*)?$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return shape;
}

Recordset Failed(const QString& reason) {
    return Recordset::failed(reason);
}

}  // namespace

QString ContainsPattern(const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + 4);
    escaped += QLatin1Char('%');
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_')) {
            escaped += QLatin1Char('\\');
        }
        escaped += c;
    }
    escaped += QLatin1Char('%');
    return escaped;
}

Recordset RunSql(const QString& statement, const QVariantList& params) {
    if (!Database::IsOpen()) {
        return Failed(QStringLiteral("数据库没有打开"));
    }
    const QString trimmed = statement.trimmed();
    if (trimmed.isEmpty()) {
        return Failed(QStringLiteral("语句为空"));
    }

    auto impl = std::make_shared<Recordset::Impl>();
    if (IsCommand(trimmed)) {
        if (!impl->statement.prepare(trimmed, params) || impl->statement.step() != SQLITE_DONE) {
            return Failed(impl->statement.error());
        }
        impl->rowsAffected = Statement::changes();
        impl->statement.finalize();
        impl->closed = true;
        return Recordset(std::move(impl));
    }

    const QRegularExpressionMatch editable = EditableShape().match(trimmed);
    if (editable.hasMatch()) {
        // Carry the row id along, hidden, so Update() finds the row however the rows were ordered.
        // On the server the row id is a column of the table, which "select *" puts last already.
        const QString withRowid = Database::Engine() == sql::Engine::Postgres
                                      ? trimmed
                                      : QStringLiteral("select *, _rowid_ from ") +
                                            editable.captured(1) + editable.captured(2);
        if (impl->statement.prepare(withRowid, params)) {
            impl->table = editable.captured(1);
        }
    }
    if (!impl->statement.isPrepared() && !impl->statement.prepare(trimmed, params)) {
        return Failed(impl->statement.error());
    }

    int visible = impl->statement.columnCount();
    if (!impl->table.isEmpty()) {
        impl->rowidColumn = visible - 1;
        --visible;
    }
    for (int i = 0; i < visible; ++i) {
        const QString name = impl->statement.columnName(i);
        impl->names << name;
        impl->byName.insert(name, i);
        impl->byName.insert(name.toLower(), i);
    }
    impl->eof = !impl->advance();
    if (impl->eof && !impl->error.isEmpty()) {
        return Failed(impl->error);
    }
    return Recordset(std::move(impl));
}

DbResult<QStringList> ColumnTexts(const QString& statement, const QVariantList& params) {
    Recordset rows = RunSql(statement, params);
    QStringList texts;
    for (; !rows.Eof(); rows.MoveNext()) {
        texts << rows.Text(0);
    }
    // A null recordset, or a walk that stopped on an error, has not read every row.
    if (!rows.error().isEmpty()) {
        return DbResult<QStringList>::failure(rows.error());
    }
    rows.Close();
    return texts;
}
