#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <functional>
#include <memory>
#include <thread>

#include "data/database.h"
#include "data/password.h"
#include "data/pg_connection.h"
#include "data/pg_schema.h"
#include "data/sql_dialect.h"
#include "support/database_fixture.h"
#include "support/pg_server.h"

namespace {

using Setup = std::function<void(PgConnection&)>;

// A statement of a test's set-up, which must succeed.
void Exec(PgConnection& connection, const QString& statement, const QVariantList& params = {}) {
    const PgResult result = connection.exec(statement, params);
    QVERIFY2(result.ok(), qPrintable(statement + QStringLiteral(": ") + result.error()));
}

QStringList Rows(PgConnection& connection, const QString& statement) {
    QStringList rows;
    const PgResult result = connection.exec(statement);
    if (!result.ok()) {
        return {QStringLiteral("<%1>").arg(result.error())};
    }
    for (int row = 0; row < result.rows(); ++row) {
        QStringList fields;
        for (int column = 0; column < result.row(row).columns(); ++column) {
            fields << result.row(row).text(column);
        }
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList Rows(const QString& statement) {
    QStringList rows;
    QSqlQuery query(Database::Connection());
    if (!query.exec(statement)) {
        return {QStringLiteral("<failed: %1>").arg(statement)};
    }
    while (query.next()) {
        QStringList fields;
        for (int column = 0; column < query.record().count(); ++column) {
            fields << query.value(column).toString();
        }
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

// Every column of every table, as "table.column type not-null default primary-key", in the
// server's words mapped to the file's.
QStringList ServerColumns(PgConnection& connection) {
    QStringList columns =
        Rows(connection,
             QStringLiteral(
                 "select c.table_name || '.' || c.column_name, c.data_type, c.is_nullable = 'NO', "
                 "coalesce(regexp_replace(c.column_default, '::[a-z ]+$', ''), ''), "
                 "exists (select 1 from information_schema.table_constraints t "
                 "join information_schema.key_column_usage k using (constraint_schema, "
                 "constraint_name) where t.constraint_type = 'PRIMARY KEY' and k.table_name = "
                 "c.table_name and k.column_name = c.column_name) "
                 "from information_schema.columns c where c.table_schema = 'public' "
                 "and c.column_name <> 'rowid' order by c.table_name, c.ordinal_position"));
    static const QMap<QString, QString> types = {
        {QStringLiteral("text"), QStringLiteral("TEXT")},
        {QStringLiteral("double precision"), QStringLiteral("REAL")},
        {QStringLiteral("integer"), QStringLiteral("INTEGER")}};
    for (QString& column : columns) {
        QStringList fields = column.split(QLatin1Char('|'));
        fields[1] = types.value(fields[1], fields[1]);
        fields[2] = fields[2] == QLatin1String("t") ? QStringLiteral("1") : QStringLiteral("0");
        fields[4] = fields[4] == QLatin1String("t") ? QStringLiteral("1") : QStringLiteral("0");
        column = fields.join(QLatin1Char('|'));
    }
    return columns;
}

// The same for the open SQLite file.
QStringList FileColumns() {
    QStringList columns;
    for (const QString& table : Rows(
             QStringLiteral("select name from sqlite_master where type = 'table' order by name"))) {
        for (const QString& row : Rows(QStringLiteral("select name, type, \"notnull\", "
                                                      "coalesce(dflt_value, ''), pk > 0 from "
                                                      "pragma_table_info('%1') order by cid")
                                           .arg(table))) {
            columns << table + QLatin1Char('.') + row;
        }
    }
    return columns;
}

QStringList ServerIndexes(PgConnection& connection) {
    return Rows(connection,
                QStringLiteral("select indexname from pg_indexes where schemaname = 'public' "
                               "and indexname not like '%\\_pkey' and indexname not like "
                               "'%\\_rowid\\_key' order by indexname"));
}

QStringList FileIndexes() {
    return Rows(
        QStringLiteral("select name from sqlite_master where type = 'index' and sql is "
                       "not null order by name"));
}

// Everything the public schema holds, and the marker and meta rows, so a check can tell
// whether anything was touched.
QStringList Catalogue(PgConnection& connection) {
    QStringList catalogue = Rows(
        connection, QStringLiteral("select c.relname, c.relkind, coalesce(obj_description(c.oid, "
                                   "'pg_class'), '') from pg_class c join pg_namespace n on n.oid "
                                   "= c.relnamespace where n.nspname = 'public' order by 1"));
    catalogue << ServerColumns(connection);
    if (catalogue.contains(QStringLiteral("meta|r|") +
                           sql::ApplicationMark(Database::kApplicationId))) {
        catalogue << Rows(connection, QStringLiteral("select version from meta"));
    }
    return catalogue;
}

// The database as the first program of schema version 1 left it, made from the kept schema
// of that version through the dialect.
void MakeVersion1(PgConnection& connection) {
    QFile file(QStringLiteral(RUVASO_TEST_DATA_DIR "/schema_v1.sql"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QString& statement :
         sql::SchemaStatements(sql::Engine::Postgres, QString::fromUtf8(file.readAll()))) {
        Exec(connection, statement);
    }
    Exec(connection, QStringLiteral("insert into meta (version) values (1)"));
    Exec(connection, QStringLiteral("insert into regedit_table (re_name) values ('Ruvaso')"));
}

}  // namespace

Q_DECLARE_METATYPE(Setup)

class TestPgSchema : public QObject {
    Q_OBJECT

    std::unique_ptr<PgServer> server_;
    std::unique_ptr<TestDatabase> file_;
    std::unique_ptr<PgConnection> db_;
    QString uri_;

    PgSchemaResult prepare() { return PreparePgSchema(*db_); }

private Q_SLOTS:
    void initTestCase() {
        server_ = std::make_unique<PgServer>();
        QVERIFY2(server_->ok(), qPrintable(server_->message()));
        // The SQLite file a new shop gets, to compare the server's database with.
        file_ = std::make_unique<TestDatabase>();
        QVERIFY2(file_->ok(), qPrintable(file_->message()));
    }

    void init() {
        const QString database = server_->createDatabase();
        QVERIFY2(!database.isEmpty(), qPrintable(server_->message()));
        uri_ = server_->uri(database);
        db_ = std::make_unique<PgConnection>(uri_);
        QVERIFY2(db_->ok(), qPrintable(db_->error()));
    }

    void cleanup() { db_.reset(); }

    void cleanupTestCase() {
        file_.reset();
        server_.reset();
    }

    void emptyDatabaseGetsTheFilesSchemaAndSeed() {
        const PgSchemaResult result = prepare();
        QVERIFY2(result.ok, qPrintable(result.message));
        QVERIFY(result.created);
        QVERIFY(!result.upgraded);

        const QStringList fileColumns = FileColumns();
        QVERIFY(fileColumns.size() > 50);
        QCOMPARE(ServerColumns(*db_), fileColumns);
        QCOMPARE(ServerIndexes(*db_), FileIndexes());

        QCOMPARE(Rows(*db_, QStringLiteral("select version from meta")),
                 QStringList{QString::number(Database::kSchemaVersion)});
        // Every table numbers its rows as the file does, in a last column of its own.
        QCOMPARE(Rows(*db_, QStringLiteral("select table_name from information_schema.columns "
                                           "where table_schema = 'public' and column_name = "
                                           "'rowid' order by table_name")),
                 Rows(QStringLiteral("select name from sqlite_master where type = 'table' "
                                     "order by name")));
        for (const char* table : {"meta", "cp_table", "regedit_table", "xm_table", "kh_table"}) {
            QCOMPARE(Rows(*db_, QStringLiteral("select * from %1").arg(table)),
                     Rows(QStringLiteral("select *, rowid from %1").arg(table)));
        }
        const QStringList users =
            Rows(*db_, QStringLiteral("select user_name, user_pass from user_table"));
        QCOMPARE(users.size(), 1);
        const QStringList user = users.first().split(QLatin1Char('|'));
        QCOMPARE(user.first(), Database::DefaultOperatorName());
        QCOMPARE(CheckPassword(user.last(), Database::DefaultPassword()), PasswordCheck::Match);
    }

    void oursAtOurVersionIsLeftAlone() {
        QVERIFY(prepare().ok);
        Exec(*db_, QStringLiteral("update regedit_table set re_name = $1"),
             {QStringLiteral("苏州车之家")});
        Exec(*db_, QStringLiteral("insert into cp_table values ('苏E')"));
        const QStringList before = Catalogue(*db_);
        const QStringList shop = Rows(*db_, QStringLiteral("select * from regedit_table"));

        PgConnection second(uri_);
        const PgSchemaResult result = PreparePgSchema(second);
        QVERIFY2(result.ok, qPrintable(result.message));
        QVERIFY(!result.created);
        QVERIFY(!result.upgraded);
        QVERIFY(result.message.isEmpty());
        QCOMPARE(Catalogue(*db_), before);
        QCOMPARE(Rows(*db_, QStringLiteral("select * from regedit_table")), shop);
        QCOMPARE(Rows(*db_, QStringLiteral("select count(*) from cp_table")), QStringList{"2"});
        QCOMPARE(Rows(*db_, QStringLiteral("select count(*) from user_table")), QStringList{"1"});
    }

    void refusedAndUntouched_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("another program's tables") << Setup([](PgConnection& c) {
            Exec(c, QStringLiteral("create table orders (id integer)"));
            Exec(c, QStringLiteral("create view open_orders as select * from orders"));
        }) << "中已有其他数据表（open_orders、orders），不是本系统的数据库。";
        QTest::newRow("a meta table without our mark") << Setup([](PgConnection& c) {
            Exec(c, QStringLiteral("create table meta (version integer not null)"));
            Exec(c, QStringLiteral("insert into meta values (3)"));
        }) << "中已有其他数据表（meta），不是本系统的数据库。";
        QTest::newRow("newer version") << Setup([](PgConnection& c) {
            QVERIFY(PreparePgSchema(c).ok);
            Exec(c, QStringLiteral("update meta set version = $1"), {Database::kSchemaVersion + 1});
        }) << "由更新版本的程序建立，请升级本程序后再打开。";
        QTest::newRow("ours without a table") << Setup([](PgConnection& c) {
            QVERIFY(PreparePgSchema(c).ok);
            Exec(c, QStringLiteral("drop table kh_tele_table"));
        }) << "不是本系统的数据库，或者已经损坏（缺少数据表 kh_tele_table）。";
        QTest::newRow("ours without a version") << Setup([](PgConnection& c) {
            QVERIFY(PreparePgSchema(c).ok);
            Exec(c, QStringLiteral("delete from meta"));
        }) << "不是本系统的数据库，或者已经损坏（缺少版本号）。";
    }
    void refusedAndUntouched() {
        QFETCH(Setup, setup);
        QFETCH(QString, reason);
        setup(*db_);
        if (QTest::currentTestFailed()) {
            return;
        }
        const QStringList before = Catalogue(*db_);
        const PgSchemaResult result = prepare();
        QVERIFY(!result.ok);
        QVERIFY(result.refused);
        QVERIFY2(result.message.contains(reason), qPrintable(result.message));
        const QString name = Rows(*db_, QStringLiteral("select current_database()")).value(0);
        QVERIFY2(result.message.contains(QStringLiteral("数据库“%1”").arg(name)),
                 qPrintable(result.message));
        QVERIFY(result.message.endsWith(QStringLiteral("程序没有修改这个数据库。")));
        QCOMPARE(Catalogue(*db_), before);
    }

    // An object of another program that only shows once the schema is half made: the whole
    // creation is undone and the same database takes the schema once the object is gone.
    void failedCreationLeavesNothing() {
        Exec(*db_, QStringLiteral("create sequence kh_wx_mx_table_xm"));
        const QStringList before = Catalogue(*db_);
        const PgSchemaResult result = prepare();
        QVERIFY(!result.ok);
        QVERIFY(!result.refused);
        QVERIFY2(result.message.contains(QStringLiteral("kh_wx_mx_table_xm")),
                 qPrintable(result.message));
        QCOMPARE(Catalogue(*db_), before);

        Exec(*db_, QStringLiteral("drop sequence kh_wx_mx_table_xm"));
        const PgSchemaResult again = prepare();
        QVERIFY2(again.ok, qPrintable(again.message));
        QVERIFY(again.created);
    }

    void olderVersionIsUpgraded() {
        MakeVersion1(*db_);
        Exec(*db_, QStringLiteral("insert into user_table (user_name, user_pass) values "
                                  "('管理员', 'a'), ('小李', 'b')"));
        const PgSchemaResult result = prepare();
        QVERIFY2(result.ok, qPrintable(result.message));
        QVERIFY(result.upgraded);
        QVERIFY(!result.created);
        QCOMPARE(ServerColumns(*db_), FileColumns());
        QCOMPARE(ServerIndexes(*db_), FileIndexes());
        QCOMPARE(Rows(*db_, QStringLiteral("select version from meta")),
                 QStringList{QString::number(Database::kSchemaVersion)});
        // Every operator stays an administrator; the row id is still each table's last column
        // (a recordset finds it there), holds its numbers and numbers the next row after them.
        QCOMPARE(Rows(*db_, QStringLiteral("select user_name, user_role, user_enabled, rowid "
                                           "from user_table order by rowid")),
                 QStringList({"管理员|管理员|1|1", "小李|管理员|1|2"}));
        QCOMPARE(Rows(*db_,
                      QStringLiteral("select c.table_name from information_schema.columns c where "
                                     "c.table_schema = 'public' and c.column_name = 'rowid' and "
                                     "c.ordinal_position < (select max(d.ordinal_position) from "
                                     "information_schema.columns d where d.table_schema = 'public' "
                                     "and d.table_name = c.table_name)")),
                 QStringList());
        QCOMPARE(Rows(*db_, QStringLiteral("insert into user_table (user_name) values ('老王') "
                                           "returning rowid")),
                 QStringList{"3"});
        // Version 1's seeded shop name is no name the shop chose; the step clears it.
        QCOMPARE(
            Rows(*db_, QStringLiteral("select re_name, re_address, re_tele from regedit_table")),
            QStringList{"||"});
    }

    // A database that already repeats an order number keeps working without the unique index.
    void repeatedOrderNumbersUpgradeWithoutTheUniqueIndex_data() {
        QTest::addColumn<bool>("repeated");
        QTest::newRow("numbers unique") << false;
        QTest::newRow("a number repeated") << true;
    }
    void repeatedOrderNumbersUpgradeWithoutTheUniqueIndex() {
        QFETCH(bool, repeated);
        MakeVersion1(*db_);
        Exec(*db_,
             QStringLiteral("insert into kh_wx_table (kh_wx_code, kh_wx_dh) values "
                            "('a', ' 20261206001'), ('b', $1)"),
             {repeated ? QStringLiteral(" 20261206001") : QStringLiteral(" 20261206002")});
        const PgSchemaResult result = prepare();
        QVERIFY2(result.ok, qPrintable(result.message));
        QCOMPARE(Rows(*db_, QStringLiteral("select indexdef like '%UNIQUE%' from pg_indexes "
                                           "where indexname = 'kh_wx_table_dh'")),
                 QStringList{repeated ? QStringLiteral("f") : QStringLiteral("t")});
        QCOMPARE(Rows(*db_, QStringLiteral("select version from meta")),
                 QStringList{QString::number(Database::kSchemaVersion)});
    }

    // A step that fails after earlier ones succeeded takes them all back.
    void failedUpgradeLeavesTheOldVersion() {
        MakeVersion1(*db_);
        Exec(*db_, QStringLiteral("drop index kh_wx_mx_table_date"));
        const QStringList before = Catalogue(*db_);
        const PgSchemaResult result = prepare();
        QVERIFY(!result.ok);
        QVERIFY2(result.message.contains(QStringLiteral("升级失败")), qPrintable(result.message));
        QCOMPARE(Catalogue(*db_), before);
        QCOMPARE(Rows(*db_, QStringLiteral("select re_name from regedit_table")),
                 QStringList{"Ruvaso"});
    }

    // Two stations started at once on an empty database: one makes the schema, the other
    // finds it made, and neither fails.
    void simultaneousFirstStarts() {
        PgSchemaResult results[2];
        std::thread other([&] {
            PgConnection connection(uri_);
            results[1] = PreparePgSchema(connection);
        });
        results[0] = prepare();
        other.join();
        QVERIFY2(results[0].ok, qPrintable(results[0].message));
        QVERIFY2(results[1].ok, qPrintable(results[1].message));
        QCOMPARE(int(results[0].created) + int(results[1].created), 1);
        QCOMPARE(Rows(*db_, QStringLiteral("select count(*) from user_table")), QStringList{"1"});
    }
};

QTEST_GUILESS_MAIN(TestPgSchema)
#include "test_pg_schema.moc"
