#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "data/pg_connection.h"
#include "session/connection_settings.h"
#include "support/pg_server.h"
#include "support/scratch_settings.h"

namespace {

QString Identifier(const QString& name) {
    QString quoted = name;
    return QLatin1Char('"') + quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString Literal(const QString& text) {
    QString quoted = text;
    return QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int Mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Who the connection is, as the server sees it; the client library's reason when it failed.
QString WhoConnects(const QString& uri) {
    PgConnection connection(uri);
    if (!connection.ok()) {
        return QStringLiteral("<%1>").arg(connection.error());
    }
    const PgResult who =
        connection.exec(QStringLiteral("select current_user || '|' || "
                                       "current_database()"));
    return who.ok() && who.rows() == 1 ? who.row(0).text(0) : who.error();
}

}  // namespace

class TestConnectionSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<PgServer> server_;
    std::unique_ptr<PgConnection> admin_;
    std::unique_ptr<ScratchSettings> settings_;
    // A database that asks every user for a password, on a server that trusts its socket.
    QString guarded_;

    void exec(const QString& statement) {
        const PgResult result = admin_->exec(statement);
        QVERIFY2(result.ok(), qPrintable(statement + QStringLiteral(": ") + result.error()));
    }

    ServerAddress onServer(const QString& database, const QString& user) const {
        return ServerAddress{server_->folder(), QString(), database, user};
    }

private Q_SLOTS:
    void initTestCase() {
        server_ = std::make_unique<PgServer>();
        QVERIFY2(server_->ok(), qPrintable(server_->message()));
        const QString adminDatabase = server_->createDatabase();
        QVERIFY2(!adminDatabase.isEmpty(), qPrintable(server_->message()));
        admin_ = std::make_unique<PgConnection>(server_->uri(adminDatabase));
        QVERIFY2(admin_->ok(), qPrintable(admin_->error()));
        guarded_ = server_->createDatabase();
        QVERIFY2(!guarded_.isEmpty(), qPrintable(server_->message()));
        // Ahead of the trust rules, so only this database asks for a password.
        QFile hba(server_->folder() + QStringLiteral("/data/pg_hba.conf"));
        QVERIFY(hba.open(QIODevice::ReadOnly));
        const QByteArray rules = hba.readAll();
        hba.close();
        QVERIFY(hba.open(QIODevice::WriteOnly | QIODevice::Truncate));
        hba.write("local " + guarded_.toUtf8() + " all scram-sha-256\n" + rules);
        hba.close();
        exec(QStringLiteral("select pg_reload_conf()"));
        // The server reads the rules again a moment after it is asked to.
        const QString unguarded = server_->uri(guarded_);
        QTRY_VERIFY_WITH_TIMEOUT(!PgConnection(unguarded).ok(), 10000);
    }

    void init() { settings_ = std::make_unique<ScratchSettings>(); }
    void cleanup() { settings_.reset(); }

    void cleanupTestCase() {
        admin_.reset();
        server_.reset();
    }

    void uris_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("uri");
        QTest::newRow("host and port") << "db.shop.lan"
                                       << "5433"
                                       << "shop"
                                       << "clerk"
                                       << ""
                                       << "postgresql://clerk@db.shop.lan:5433/shop";
        QTest::newRow("defaults left out") << ""
                                           << ""
                                           << "shop"
                                           << ""
                                           << ""
                                           << "postgresql:///shop";
        QTest::newRow("socket folder")
            << "/run/postgresql"
            << "5433"
            << "shop"
            << "clerk"
            << ""
            << "postgresql://clerk@/shop?host=%2Frun%2Fpostgresql&port=5433";
        QTest::newRow("IPv6 address") << "::1"
                                      << "5432"
                                      << "shop"
                                      << ""
                                      << ""
                                      << "postgresql://[::1]:5432/shop";
        QTest::newRow("odd characters")
            << ""
            << ""
            << "店 铺/1?#"
            << "a@b:c%"
            << "p@s:s/w&=?"
            << "postgresql://a%40b%3Ac%25@/"
               "%E5%BA%97%20%E9%93%BA%2F1%3F%23?password=p%40s%3As%2Fw%26%3D%3F";
    }
    void uris() {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, uri);
        QCOMPARE(ConnectionUri({host, port, database, user}, {}, password), uri);
        QCOMPARE(ConnectionUri({host, port, database, user}, QStringLiteral("/a b/pass"), password),
                 uri + (uri.contains(QLatin1Char('?')) ? "&" : "?") +
                     QStringLiteral("passfile=%2Fa%20b%2Fpass"));
    }

    // The server itself reads back the names the URI carries.
    void oddNamesReachTheServer_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::newRow("plain") << "shop_one"
                               << "clerk";
        QTest::newRow("URI characters") << "a/b?c#d&e=f%g"
                                        << "u@v:w/x%";
        QTest::newRow("Chinese and spaces") << "蓝天 汽修"
                                            << "前台 小李";
        QTest::newRow("quotes and backslash") << "o'b\"c\\d"
                                              << "e'f\\g";
    }
    void oddNamesReachTheServer() {
        QFETCH(QString, database);
        QFETCH(QString, user);
        exec(QStringLiteral("create role %1 login").arg(Identifier(user)));
        exec(QStringLiteral("create database %1 owner %2")
                 .arg(Identifier(database), Identifier(user)));
        QCOMPARE(WhoConnects(ConnectionUri(onServer(database, user))), user + "|" + database);
        // And the port, given as the server has it.
        QCOMPARE(WhoConnects(ConnectionUri(
                     ServerAddress{server_->folder(), QStringLiteral("5432"), database, user})),
                 user + "|" + database);
    }

    void passwordFileLines_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << "db"
                               << "5432"
                               << "shop"
                               << "clerk"
                               << "secret"
                               << "db:5432:shop:clerk:secret";
        QTest::newRow("empty fields match any") << ""
                                                << ""
                                                << "shop"
                                                << ""
                                                << "x"
                                                << "*:*:shop:*:x";
        QTest::newRow("colon and backslash") << "/run/pg"
                                             << ""
                                             << "a:b"
                                             << "c\\d"
                                             << "p:\\q"
                                             << "/run/pg:*:a\\:b:c\\\\d:p\\:\\\\q";
        QTest::newRow("a lone star is a name") << "db"
                                               << "1"
                                               << "*"
                                               << "*"
                                               << "*"
                                               << "db:1:\\*:\\*:*";
        QTest::newRow("a hash is no comment") << "#db"
                                              << ""
                                              << "#s"
                                              << "u"
                                              << "#"
                                              << "\\#db:*:\\#s:u:#";
        QTest::newRow("IPv6") << "::1"
                              << "5432"
                              << "s"
                              << "u"
                              << "pw"
                              << "\\:\\:1:5432:s:u:pw";
    }
    void passwordFileLines() {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, line);
        QCOMPARE(PasswordFileLine({host, port, database, user}, password), line);
    }

    void withPasswordReplacesOnlyItsOwnLine() {
        const ServerAddress shop{
            QStringLiteral("db"), {}, QStringLiteral("shop"), QStringLiteral("u")};
        const ServerAddress other{
            QStringLiteral("db"), {}, QStringLiteral("shop"), QStringLiteral("u:x")};
        const QString start = QStringLiteral("# kept\nhost:1:a:b:c\n");
        QString contents = WithPassword(start, shop, QStringLiteral("one"));
        contents = WithPassword(contents, other, QStringLiteral("two"));
        contents = WithPassword(contents, shop, QStringLiteral("three"));
        QCOMPARE(contents,
                 QStringLiteral("# kept\nhost:1:a:b:c\ndb:*:shop:u\\:x:two\ndb:*:shop:u:three\n"));
        QVERIFY(HasPasswordLine(contents, shop));
        contents = WithPassword(contents, shop, {});
        QCOMPARE(contents, QStringLiteral("# kept\nhost:1:a:b:c\ndb:*:shop:u\\:x:two\n"));
        QVERIFY(!HasPasswordLine(contents, shop));
        QVERIFY(HasPasswordLine(contents, other));
    }

    void addressProblems_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("problem");
        QTest::newRow("fine") << "db"
                              << "5432"
                              << "shop"
                              << "";
        QTest::newRow("fine without host and port") << ""
                                                    << ""
                                                    << "shop"
                                                    << "";
        QTest::newRow("no database") << "db"
                                     << ""
                                     << ""
                                     << "请填写数据库名称！";
        QTest::newRow("port 0") << "db"
                                << "0"
                                << "shop"
                                << "端口应为1到65535之间的数字！";
        QTest::newRow("port too high") << "db"
                                       << "65536"
                                       << "shop"
                                       << "端口应为1到65535之间的数字！";
        QTest::newRow("port with sign") << "db"
                                        << "+5432"
                                        << "shop"
                                        << "端口应为1到65535之间的数字！";
        QTest::newRow("port in words") << "db"
                                       << "五"
                                       << "shop"
                                       << "端口应为1到65535之间的数字！";
        QTest::newRow("line break") << "db\nx"
                                    << ""
                                    << "shop"
                                    << "主机、端口、数据库、用户名和密码中不能有换行符！";
        QTest::newRow("relative socket") << "run/pg"
                                         << ""
                                         << "shop"
                                         << "套接字文件夹应以“/”开头！";
    }
    void addressProblems() {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, problem);
        QCOMPARE(AddressProblem({host, port, database, QStringLiteral("u")}), problem);
    }

    // Stored per data folder, however the folder is spelled; the password only in its own file.
    void storedServerRoundTrip() {
        QTemporaryDir shopA;
        QTemporaryDir shopB;
        QVERIFY(!StoredServer(shopA.path()));
        QCOMPARE(StoredServerUri(shopA.path()), QString());
        const ServerAddress server{QStringLiteral("db.shop.lan"), QStringLiteral("5433"),
                                   QStringLiteral("蓝天"), QStringLiteral("前台")};
        const QString password = QStringLiteral("密码:a\\b");
        const DbStatus stored = StoreServer(shopA.path(), server, password);
        QVERIFY2(stored, qPrintable(stored.error()));
        QCOMPARE(StoredServer(shopA.path() + QStringLiteral("/../") + QDir(shopA.path()).dirName()),
                 server);
        QVERIFY(!StoredServer(shopB.path()));
        QCOMPARE(StoredServerUri(shopA.path()), ConnectionUri(server, PasswordFilePath()));
        QVERIFY(HasStoredPassword(server));

        const QString passFile = PasswordFilePath();
        QCOMPARE(Mode(passFile), 0600);
        QCOMPARE(Bytes(passFile), PasswordFileLine(server, password).toUtf8() + "\n");
        const QString settingsFile =
            QSettings(QStringLiteral("ruvaso"), QStringLiteral("database-connection")).fileName();
        QVERIFY(QFileInfo(settingsFile).dir() == QFileInfo(passFile).dir());
        QVERIFY(!Bytes(settingsFile).contains("a\\b"));
        QVERIFY(!Bytes(settingsFile).contains(QStringLiteral("密码").toUtf8()));

        // Stored again without a password: the one stored stays.
        QVERIFY(StoreServer(shopA.path(), server));
        QVERIFY(HasStoredPassword(server));
        // A second shop on the same server keeps the password when the first goes back.
        QVERIFY(StoreServer(shopB.path(), server));
        ForgetServer(shopA.path());
        QVERIFY(!StoredServer(shopA.path()));
        QVERIFY(HasStoredPassword(server));
        ForgetServer(shopB.path());
        QVERIFY(!StoredServer(shopB.path()));
        QVERIFY(!HasStoredPassword(server));
        QCOMPARE(Mode(passFile), 0600);
    }

    void refusedAddressesStoreNothing_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("password");
        QTest::newRow("bad port") << "x"
                                  << "pw";
        QTest::newRow("line break in the password") << ""
                                                    << "pw\nother:line";
    }
    void refusedAddressesStoreNothing() {
        QFETCH(QString, port);
        QFETCH(QString, password);
        QTemporaryDir shop;
        QVERIFY(!StoreServer(shop.path(), {QStringLiteral("db"), port, QStringLiteral("s"), {}},
                             password));
        QVERIFY(!StoredServer(shop.path()));
        QVERIFY(!QFile::exists(PasswordFilePath()));
    }

    // The client library finds the password in the file by the escaped fields, and only there.
    void theServerAcceptsTheStoredPassword_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("plain") << "cashier"
                               << "secret";
        QTest::newRow("escaped characters") << "c:a\\sh"
                                            << "p:a\\ss*#w 密码";
        QTest::newRow("a lone star") << "*"
                                     << "*";
    }
    void theServerAcceptsTheStoredPassword() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        exec(QStringLiteral("create role %1 login password %2")
                 .arg(Identifier(user), Literal(password)));
        QTemporaryDir shop;
        const ServerAddress server = onServer(guarded_, user);
        // A neighbour's line that matches any user must not be taken first.
        QVERIFY(StoreServer(shop.path(), onServer(guarded_, QStringLiteral("other")),
                            QStringLiteral("wrong")));
        QVERIFY(StoreServer(shop.path(), server, password));
        QCOMPARE(WhoConnects(StoredServerUri(shop.path())), user + "|" + guarded_);

        QVERIFY(StoreServer(shop.path(), server, password + QStringLiteral("x")));
        const QString refused = WhoConnects(StoredServerUri(shop.path()));
        QVERIFY2(refused.contains(QStringLiteral("password authentication failed")),
                 qPrintable(refused));
        exec(QStringLiteral("drop role %1").arg(Identifier(user)));
    }
};

QTEST_GUILESS_MAIN(TestConnectionSettings)
#include "test_connection_settings.moc"
