#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "app/main_window.h"
#include "core/data_changes.h"
#include "customers/customer_entry_window.h"
#include "data/database.h"
#include "data/pg_connection.h"
#include "data/server_notices.h"
#include "support/message_script.h"
#include "support/pg_server.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

PgServer& Server() {
    static PgServer server;
    return server;
}

const QString kLost = QStringLiteral("数据库连接中断：");

int Customers() {
    return TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
}

}  // namespace

// Several stations and a server that goes away: a save after the server returns stores what
// was typed, an idle station notices and comes back by itself, and every failed connection says
// its cause.
class TestServerRestartWindow : public WindowTest {
    Q_OBJECT

    QString uri_;

private Q_SLOTS:
    void init() {
        WindowTest::init();
        QVERIFY2(Server().ok(), qPrintable(Server().message()));
        if (!Server().running()) {
            QVERIFY2(Server().start(), qPrintable(Server().message()));
        }
        const QString name = Server().createDatabase();
        QVERIFY2(!name.isEmpty(), qPrintable(Server().message()));
        uri_ = Server().uri(name);
        Database::Close();
        const Database::OpenResult opened = Database::OpenServer(uri_, db_->dir());
        QVERIFY2(opened.ok, qPrintable(opened.message));
    }

    void aSaveAfterTheServerReturnsStoresWhatWasTyped() {
        auto* window = ui::WindowHost::instance<CustomerEntryWindow>();
        ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
        const QStringList typed = {QStringLiteral("京R1"), QStringLiteral("赵六"),
                                   QStringLiteral("13900000000"), QString(), QString()};
        for (int i = 0; i < 5; ++i) {
            window->Text[i]->setText(typed[i]);
        }
        QVERIFY(Server().stop());
        {
            MessageScript messages;
            window->Command1->click();
            QCOMPARE(messages.shown().size(), 1);
            QVERIFY2(messages.shown().first().text.contains(kLost),
                     qPrintable(messages.shown().first().text));
            messages.takeProblems();
        }
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(window->Text[i]->text(), typed[i]);
        }
        QVERIFY2(Server().start(), qPrintable(Server().message()));
        MessageScript messages;
        messages.expect(QStringLiteral("添加成功！"));
        window->Command1->click();
        VERIFY_MESSAGES(messages);
        QCOMPARE(Customers(), 1);
    }

    // The idle station hears its socket close, says so once, and on its own comes back and
    // reads its lists again.
    void anIdleStationNoticesAndComesBack() {
        MainWindow main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QVERIFY(main.connectionNotice->isHidden());
        QSignalSpy lost(DataChanges::instance(), &DataChanges::serverLost);
        QSignalSpy back(DataChanges::instance(), &DataChanges::serverBack);
        QSignalSpy customers(DataChanges::instance(), &DataChanges::customers);
        QVERIFY(Server().stop());
        QTRY_VERIFY_WITH_TIMEOUT(main.connectionNotice->isVisible(), 10000);
        QTest::qWait(1500);
        QCOMPARE(lost.count(), 1);
        QVERIFY(ServerNotices::instance()->reconnectPauseMs() > 500);
        QVERIFY2(Server().start(), qPrintable(Server().message()));
        QTRY_VERIFY_WITH_TIMEOUT(main.connectionNotice->isHidden(), 40000);
        QCOMPARE(back.count(), 1);
        QVERIFY(customers.count() >= 1);
        QVERIFY(Database::Server()->connected());
    }

    void eachConnectionFailureSaysItsCause_data() {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("said");
        const QString folder = QString::fromLatin1(QUrl::toPercentEncoding(Server().folder()));
        QTest::newRow("no such database")
            << QStringLiteral("postgresql:///nothere?host=%1").arg(folder)
            << int(PgConnectFailure::NoDatabase)
            << QStringLiteral("数据库服务器上没有这个数据库（");
        QTest::newRow("no such user")
            << QStringLiteral("postgresql:///postgres?host=%1&user=nobody_here").arg(folder)
            << int(PgConnectFailure::NoUser) << QStringLiteral("数据库服务器上没有这个用户（");
        QTest::newRow("no server at the address")
            << QStringLiteral("postgresql:///postgres?host=%1&port=1").arg(folder)
            << int(PgConnectFailure::NotRunning)
            << QStringLiteral("数据库服务器没有运行，或者无法访问（");
        QTest::newRow("not an address")
            << QStringLiteral("shop.example.com/db") << int(PgConnectFailure::BadAddress)
            << QStringLiteral("数据库服务器的地址无法识别（");
        QTest::newRow("an address that does not parse")
            << QStringLiteral("postgresql://host:port:x/db") << int(PgConnectFailure::BadAddress)
            << QStringLiteral("数据库服务器的地址无法识别（");
    }
    void eachConnectionFailureSaysItsCause() {
        QFETCH(QString, uri);
        QFETCH(int, failure);
        QFETCH(QString, said);
        const PgConnection connection(uri);
        QVERIFY(!connection.ok());
        QCOMPARE(int(connection.failure()), failure);
        QVERIFY2(connection.error().startsWith(said), qPrintable(connection.error()));
        QVERIFY2(connection.error().endsWith(QStringLiteral("）")), qPrintable(connection.error()));
    }

    // The refusals that depend on the server's access rules and passwords.
    void refusedLoginsSayTheirCause() {
        const QString folder = QString::fromLatin1(QUrl::toPercentEncoding(Server().folder()));
        {
            PgConnection admin(Server().uri(QStringLiteral("postgres")));
            QVERIFY2(admin.ok(), qPrintable(admin.error()));
            admin.exec(QStringLiteral("drop role if exists clerk"));
            admin.exec(QStringLiteral("drop role if exists barred"));
            QVERIFY(
                admin.exec(QStringLiteral("create role clerk login password 'right-one'")).ok());
            QVERIFY(admin.exec(QStringLiteral("create role barred login")).ok());
        }
        QVERIFY2(Server().setAccessRules(QStringLiteral("local all clerk scram-sha-256\n"
                                                        "local all barred reject\n"
                                                        "local all all trust")),
                 qPrintable(Server().message()));
        auto restore =
            qScopeGuard([] { Server().setAccessRules(QStringLiteral("local all all trust")); });
        const QByteArray environmentPassword = qgetenv("PGPASSWORD");
        qunsetenv("PGPASSWORD");
        auto environment = qScopeGuard([&] {
            if (!environmentPassword.isEmpty()) {
                qputenv("PGPASSWORD", environmentPassword);
            }
        });
        struct Case {
            QString user;
            QString password;
            PgConnectFailure failure;
            QString said;
        };
        const Case cases[] = {
            {QStringLiteral("clerk"), QStringLiteral("wrong-one"), PgConnectFailure::WrongPassword,
             QStringLiteral("数据库用户名或密码错误（")},
            {QStringLiteral("clerk"), QString(), PgConnectFailure::PasswordNeeded,
             QStringLiteral("数据库服务器要求密码，但没有提供密码（")},
            {QStringLiteral("barred"), QString(), PgConnectFailure::AccessRules,
             QStringLiteral("数据库服务器的访问规则不允许这台电脑或这个用户连接（")},
        };
        for (const Case& c : cases) {
            QString uri =
                QStringLiteral("postgresql:///postgres?host=%1&user=%2&passfile=/nonexistent")
                    .arg(folder, c.user);
            if (!c.password.isEmpty()) {
                uri += QStringLiteral("&password=") + c.password;
            }
            const PgConnection connection(uri);
            QVERIFY(!connection.ok());
            QCOMPARE(int(connection.failure()), int(c.failure));
            QVERIFY2(connection.error().startsWith(c.said), qPrintable(connection.error()));
        }
        const PgConnection right(
            QStringLiteral("postgresql:///postgres?host=%1&user=clerk&password=right-one")
                .arg(folder));
        QVERIFY2(right.ok(), qPrintable(right.error()));
    }

    // Which database is open, without reading the server's settings.
    void theLocationComesFromTheConnection() {
        QVERIFY2(Database::Location().contains(Server().folder()),
                 qPrintable(Database::Location()));
        QVERIFY(Database::Location().endsWith(
            QLatin1Char('/') + uri_.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('/'), -1)));
    }
};

QTEST_MAIN(TestServerRestartWindow)
#include "test_server_restart_window.moc"
