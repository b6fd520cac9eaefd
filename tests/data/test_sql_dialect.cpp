#include <QTest>

#include "data/database.h"
#include "data/seed.h"
#include "data/sql_dialect.h"

class TestSqlDialect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void numbersPlaceholders_data() {
        QTest::addColumn<QString>("sqlite");
        QTest::addColumn<QString>("postgres");
        QTest::newRow("none") << "select 1"
                              << "select 1";
        QTest::newRow("in order") << "update t set a=?, b = ? where c=?"
                                  << "update t set a=$1, b = $2 where c=$3";
        QTest::newRow("in a string") << "select '?', ? from t where a = 'it''s ?' and b = ?"
                                     << "select '?', $1 from t where a = 'it''s ?' and b = $2";
        QTest::newRow("in a quoted identifier") << "select \"a?\"\"b?\" from t where x=?"
                                                << "select \"a?\"\"b?\" from t where x=$1";
        QTest::newRow("in a line comment") << "select ? -- why? because\nfrom t where a=?"
                                           << "select $1 -- why? because\nfrom t where a=$2";
        QTest::newRow("in a block comment") << "select /* ? 'x */ ? from t"
                                            << "select /* ? 'x */ $1 from t";
        QTest::newRow("minus is no comment") << "select ?-? from t"
                                             << "select $1-$2 from t";
        QTest::newRow("unclosed string") << "select ?, 'a ? b"
                                         << "select $1, 'a ? b";
        QTest::newRow("unclosed comment") << "select ? /* ?"
                                          << "select $1 /* ?";
        QTest::newRow("numbered") << "select ?2, ?1, ?"
                                  << "select $2, $1, $3";
        QTest::newRow("ten and more") << "values (?,?,?,?,?,?,?,?,?,?,?)"
                                      << "values ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11)";
        QTest::newRow("like escape") << "where a like ? escape '\\' or b like ?"
                                     << "where a like $1 escape '\\' or b like $2";
        QTest::newRow("chinese text around") << "select '苏E?' || ? from t where 名 = ?"
                                             << "select '苏E?' || $1 from t where 名 = $2";
    }
    void numbersPlaceholders() {
        QFETCH(QString, sqlite);
        QFETCH(QString, postgres);
        QCOMPARE(sql::NumberedPlaceholders(sqlite), postgres);
        QCOMPARE(sql::ForEngine(sql::Engine::Sqlite, sqlite), sqlite);
    }

    void splitsStatements_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("statements");
        QTest::newRow("two") << "create table a (x);\n create table b (y);\n"
                             << QStringList{"create table a (x)", "create table b (y)"};
        QTest::newRow("semicolons in text")
            << "insert into a values ('x;y'); -- a; comment\ninsert into \"b;\" values (1)"
            << QStringList{"insert into a values ('x;y')",
                           "-- a; comment\ninsert into \"b;\" values (1)"};
        QTest::newRow("only comments and blanks")
            << "  -- nothing here;\n /* nor ; here */ ;;" << QStringList{};
    }
    void splitsStatements() {
        QFETCH(QString, script);
        QFETCH(QStringList, statements);
        QCOMPARE(sql::SplitStatements(script), statements);
    }

    void typesOnlyInCode() {
        QCOMPARE(sql::ForEngine(sql::Engine::Postgres,
                                "create table t (a REAL NOT NULL DEFAULT 0, real_b TEXT, "
                                "c real) -- REAL stays\n; select 'REAL', ?"),
                 QStringLiteral("create table t (a double precision NOT NULL DEFAULT 0, real_b "
                                "TEXT, c double precision) -- REAL stays\n; select 'REAL', $1"));
    }

    // The server's schema comes from the same text as the file's: the same statements, apart
    // from the marker, the amount type, the row id column and the date-text function.
    void postgresSchemaFollowsTheFile() {
        const QString schema = SchemaSql();
        QVERIFY(!schema.isEmpty());
        const QStringList sqlite = sql::SchemaStatements(sql::Engine::Sqlite, schema);
        QStringList postgres = sql::SchemaStatements(sql::Engine::Postgres, schema);
        QCOMPARE(sqlite, sql::SplitStatements(schema));
        QVERIFY(sqlite.first().contains(QStringLiteral("PRAGMA application_id")));
        QCOMPARE(postgres.size(), sqlite.size() + 1);
        QVERIFY(postgres.takeLast().startsWith(QStringLiteral("create function str(text)")));
        QCOMPARE(postgres.last(), QStringLiteral("comment on table meta is '%1'")
                                      .arg(sql::ApplicationMark(Database::kApplicationId)));
        for (int i = 1; i < sqlite.size(); ++i) {
            QString expected = sqlite[i];
            expected.replace(QStringLiteral("REAL"), QStringLiteral("double precision"));
            if (expected.contains(QStringLiteral("CREATE TABLE"))) {
                expected.insert(expected.lastIndexOf(u')'), QStringLiteral(",\n    ") +
                                                                QLatin1String(sql::kRowidColumn) +
                                                                QLatin1Char('\n'));
            }
            QCOMPARE(postgres[i - 1], expected);
        }
    }

    // Statements keep their SQLite form in the program; the server gets its own words for what
    // it says differently, and text in quotes is never touched.
    void rewritesForTheServer_data() {
        QTest::addColumn<QString>("sqlite");
        QTest::addColumn<QString>("postgres");
        QTest::newRow("like folds letter case")
            << "select 1 from t where a like ? escape '\\' or b not like 'like'"
            << "select 1 from t where a ilike $1 escape '\\' or b not ilike 'like'";
        QTest::newRow("row id") << "update t set a=? where _rowid_ = ?"
                                << "update t set a=$1 where rowid = $2";
        QTest::newRow("no limit") << "select a from t limit -1 offset ?"
                                  << "select a from t limit all offset $1";
        QTest::newRow("64-bit cast") << "select max(cast(substr(a, ?) as integer)) from t"
                                     << "select max(cast(substr(a, $1) as bigint)) from t";
        QTest::newRow("amount text") << "select xm_code, printf('%.15g', xm_je) from xm_table"
                                     << "select xm_code, cast(cast(xm_je as numeric) as text) "
                                        "from xm_table";
        QTest::newRow("words in names stay") << "select likeness, unlike_rowid_ from t"
                                             << "select likeness, unlike_rowid_ from t";
    }
    void rewritesForTheServer() {
        QFETCH(QString, sqlite);
        QFETCH(QString, postgres);
        QCOMPARE(sql::ForEngine(sql::Engine::Sqlite, sqlite), sqlite);
        QCOMPARE(sql::ForEngine(sql::Engine::Postgres, sqlite), postgres);
    }
};

QTEST_GUILESS_MAIN(TestSqlDialect)
#include "test_sql_dialect.moc"
