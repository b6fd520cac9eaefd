#include "data/server_copy.h"

#include <sqlite3.h>

#include <QLocale>
#include <cmath>

#include "data/database.h"
#include "data/pg_connection.h"
#include "data/pg_schema.h"
#include "data/seed.h"
#include "data/sql_dialect.h"
#include "data/statement.h"

namespace {

constexpr auto kEngine = sql::Engine::Postgres;
// Rows go to the server in chunks of about this many bytes.
constexpr qsizetype kChunkBytes = 256 * 1024;
// How often the progress is told, in rows.
constexpr qint64 kProgressRows = 20000;

struct Column {
    QString name;
    bool amount = false;  // REAL: copied as a number
};

// One value of the copy text format: backslash, tab, newline and carriage return escaped.
void AppendText(QByteArray& out, const QByteArray& text) {
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

void AppendNumber(QByteArray& out, double value) {
    if (std::isinf(value)) {
        out += value > 0 ? "Infinity" : "-Infinity";
    } else {
        // The shortest text that reads back as the same double.
        out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    }
}

qint64 Cents(double sum) {
    return std::isfinite(sum) ? qint64(std::llround(sum * 100)) : 0;
}

class Copy {
public:
    Copy(PgConnection& server, const std::function<void(const CopyProgress&)>& progress)
        : server_(server), progress_(progress) {}

    CopyReport run() {
        if (!Database::IsOpen() || Database::Engine() != sql::Engine::Sqlite) {
            return failed(QStringLiteral("没有打开要复制的数据库文件"));
        }
        if (!exec(QStringLiteral("begin")) ||
            !exec(
                QStringLiteral("select pg_advisory_xact_lock(%1)").arg(Database::kApplicationId))) {
            return failed(error_);
        }
        const PgResult present = server_.exec(kListPgTables);
        if (!present.ok()) {
            return failed(present.error());
        }
        if (present.rows() > 0) {
            QStringList names;
            for (int i = 0; i < present.rows() && i < 5; ++i) {
                names << present.row(i).text(0);
            }
            return failed(QStringLiteral("目标数据库不是空的（已有数据表 %1），程序没有修改它。"
                                         "请使用一个新建的空数据库。")
                              .arg(names.join(QStringLiteral("、"))));
        }
        for (const QString& statement : sql::SchemaStatements(kEngine, SchemaSql())) {
            if (!exec(statement)) {
                return failed(QStringLiteral("无法在服务器上建立数据表：%1").arg(error_));
            }
        }
        // One read transaction on the file: every table is read as of the same moment.
        if (!Statement::exec(QStringLiteral("begin"), &error_)) {
            return failed(error_);
        }
        CopyReport report = copyTables();
        QString ignored;
        Statement::exec(QStringLiteral("commit"), &ignored);
        if (!report.ok) {
            return failed(report.message);
        }
        if (!exec(QStringLiteral("commit"))) {
            return failed(error_);
        }
        // Fresh statistics, so the server plans the first lists well.
        exec(QStringLiteral("analyze"));
        return report;
    }

private:
    CopyReport copyTables() {
        CopyReport report;
        for (const QString& table : SchemaTables()) {
            CopiedTable copied;
            copied.table = table;
            const QList<Column> columns = columnsOf(table);
            if (columns.isEmpty()) {
                report.message = QStringLiteral("无法读取数据表 %1 的结构：%2").arg(table, error_);
                return report;
            }
            if (!copyTable(table, columns, copied, report.textAmounts) ||
                !compare(table, columns, copied)) {
                report.message = error_;
                return report;
            }
            report.tables << copied;
            if (!copied.matches()) {
                report.message =
                    QStringLiteral(
                        "复制后核对不一致：数据表 %1 在文件中有 %2 行，服务器上有 %3 行；"
                        "金额合计 %4 分对 %5 分；文字长度 %6 对 %7。")
                        .arg(table)
                        .arg(copied.rows)
                        .arg(copied.serverRows)
                        .arg(copied.cents)
                        .arg(copied.serverCents)
                        .arg(copied.characters)
                        .arg(copied.serverCharacters);
                return report;
            }
        }
        report.ok = true;
        return report;
    }

    QList<Column> columnsOf(const QString& table) {
        QList<Column> columns;
        Statement info;
        if (!info.prepare(QStringLiteral("select name, upper(type) from pragma_table_info(?)"),
                          {table})) {
            error_ = info.error();
            return {};
        }
        while (info.step() == SQLITE_ROW) {
            columns.append({info.text(0), info.text(1) == QLatin1String("REAL")});
        }
        if (!info.error().isEmpty()) {
            error_ = info.error();
            return {};
        }
        return columns;
    }

    // The file's values as the server stores them: a NULL as the column's default, an amount
    // held as text as the number SQLite's own sums read it as.
    static QString Selected(const Column& column) {
        const QString name = sql::QuotedName(column.name);
        return column.amount ? QStringLiteral("coalesce(cast(%1 as real), 0)").arg(name)
                             : QStringLiteral("coalesce(cast(%1 as text), '')").arg(name);
    }

    bool copyTable(const QString& table, const QList<Column>& columns, CopiedTable& copied,
                   qint64& textAmounts) {
        QStringList selected{QStringLiteral("rowid")};
        QStringList names{QStringLiteral("rowid")};
        QStringList notNumbers;
        for (const Column& column : columns) {
            selected << Selected(column);
            names << sql::QuotedName(column.name);
            if (column.amount) {
                notNumbers << QStringLiteral("(typeof(%1) not in ('real', 'integer'))")
                                  .arg(sql::QuotedName(column.name));
            }
        }
        Statement count;
        const QString texts =
            notNumbers.isEmpty()
                ? QStringLiteral("0")
                : QStringLiteral("coalesce(sum(%1), 0)").arg(notNumbers.join(QLatin1Char('+')));
        if (!count.prepare(
                QStringLiteral("select count(*), %1 from %2").arg(texts, sql::QuotedName(table))) ||
            count.step() != SQLITE_ROW) {
            error_ = QStringLiteral("无法读取数据表 %1：%2").arg(table, count.error());
            return false;
        }
        copied.rows = count.int64(0);
        textAmounts += count.int64(1);
        count.finalize();

        Statement rows;
        if (!rows.prepare(QStringLiteral("select %1 from %2 order by rowid")
                              .arg(selected.join(QStringLiteral(", ")), sql::QuotedName(table)))) {
            error_ = QStringLiteral("无法读取数据表 %1：%2").arg(table, rows.error());
            return false;
        }
        qint64 done = 0;
        bool finished = false;
        bool readFailed = false;
        tell(table, 0, copied.rows);
        auto produce = [&](QByteArray& chunk) {
            // A statement stepped again after its end would start over.
            while (!finished && chunk.size() < kChunkBytes) {
                const int rc = rows.step();
                if (rc != SQLITE_ROW) {
                    finished = true;
                    readFailed = rc != SQLITE_DONE;
                    break;
                }
                chunk += QByteArray::number(rows.int64(0));
                for (int i = 0; i < columns.size(); ++i) {
                    chunk += '\t';
                    double value = 0;
                    if (columns[i].amount && rows.number(i + 1, &value)) {
                        AppendNumber(chunk, value);
                    } else {
                        AppendText(chunk, rows.utf8(i + 1));
                    }
                }
                chunk += '\n';
                if (++done % kProgressRows == 0) {
                    tell(table, done, copied.rows);
                }
            }
            return !chunk.isEmpty();
        };
        const DbStatus sent = server_.copyIn(
            QStringLiteral("copy %1 (%2) from stdin").arg(sql::QuotedName(table), names.join(u',')),
            produce);
        if (readFailed) {
            error_ = QStringLiteral("读取数据表 %1 时出错：%2").arg(table, rows.error());
            return false;
        }
        if (!sent.ok()) {
            error_ = QStringLiteral("向服务器复制数据表 %1 时出错：%2").arg(table, sent.error());
            return false;
        }
        tell(table, done, copied.rows);
        // New rows continue the save order after the copied ones.
        return exec(QStringLiteral("select setval(pg_get_serial_sequence('%1', 'rowid'), "
                                   "coalesce(max(rowid), 0) + 1, false) from %2")
                        .arg(table, sql::QuotedName(table)));
    }

    // Counts, amount sums and text lengths on both sides, for the check before commit.
    bool compare(const QString& table, const QList<Column>& columns, CopiedTable& copied) {
        QStringList fileSums;
        QStringList serverSums;
        QStringList fileLengths;
        QStringList serverLengths;
        for (const Column& column : columns) {
            const QString name = sql::QuotedName(column.name);
            if (column.amount) {
                fileSums
                    << QStringLiteral("coalesce(sum(coalesce(cast(%1 as real), 0)), 0)").arg(name);
                serverSums << QStringLiteral("coalesce(sum(%1), 0)").arg(name);
            } else {
                fileLengths << QStringLiteral(
                                   "coalesce(sum(length(coalesce(cast(%1 as text), "
                                   "''))), 0)")
                                   .arg(name);
                serverLengths
                    << QStringLiteral("coalesce(sum(length(cast(%1 as text))), 0)").arg(name);
            }
        }
        const auto joined = [](const QStringList& parts) {
            return parts.isEmpty() ? QStringLiteral("0") : parts.join(QLatin1Char('+'));
        };
        Statement file;
        if (!file.prepare(
                QStringLiteral("select count(*), %1, %2 from %3")
                    .arg(joined(fileSums), joined(fileLengths), sql::QuotedName(table))) ||
            file.step() != SQLITE_ROW) {
            error_ = QStringLiteral("无法核对数据表 %1：%2").arg(table, file.error());
            return false;
        }
        double fileCents = 0;
        file.number(1, &fileCents);
        copied.cents = Cents(fileCents);
        copied.characters = file.int64(2);
        const PgResult server = server_.exec(
            QStringLiteral("select count(*), cast(%1 as double precision), "
                           "cast(%2 as bigint) from %3")
                .arg(joined(serverSums), joined(serverLengths), sql::QuotedName(table)));
        if (!server.ok() || server.rows() != 1) {
            error_ = QStringLiteral("无法核对服务器上的数据表 %1：%2").arg(table, server.error());
            return false;
        }
        copied.serverRows = server.row(0).text(0).toLongLong();
        copied.serverCents = Cents(server.row(0).text(1).toDouble());
        copied.serverCharacters = server.row(0).text(2).toLongLong();
        return true;
    }

    void tell(const QString& table, qint64 copied, qint64 total) {
        if (progress_) {
            progress_({table, copied, total});
        }
    }

    bool exec(const QString& statement) {
        const PgResult result = server_.exec(statement);
        if (!result.ok()) {
            error_ = result.error();
        }
        return result.ok();
    }

    CopyReport failed(const QString& message) {
        if (server_.connected()) {
            server_.exec(QStringLiteral("rollback"));
        }
        CopyReport report;
        report.message = message;
        return report;
    }

    PgConnection& server_;
    const std::function<void(const CopyProgress&)>& progress_;
    QString error_;
};

}  // namespace

CopyReport CopyShopToServer(const QString& uri,
                            const std::function<void(const CopyProgress&)>& progress) {
    PgConnection server(uri);
    if (!server.ok()) {
        CopyReport report;
        report.message = QStringLiteral("无法连接数据库服务器：%1").arg(server.error());
        return report;
    }
    return Copy(server, progress).run();
}
