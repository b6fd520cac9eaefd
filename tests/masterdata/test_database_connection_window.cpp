#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "data/database.h"
#include "data/pg_connection.h"
#include "masterdata/database_connection_window.h"
#include "session/connection_settings.h"
#include "session/roles.h"
#include "support/database_fixture.h"
#include "support/keyboard.h"
#include "support/message_script.h"
#include "support/pg_server.h"
#include "support/scratch_settings.h"
#include "support/window_test.h"
#include "ui/window_host.h"

namespace {

DatabaseConnectionWindow* Open() {
    auto* window = ui::WindowHost::instance<DatabaseConnectionWindow>();
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modeless);
    QApplication::setActiveWindow(window);
    return window;
}

// Fills the boxes as the owner would: each one typed, Enter to the next.
void Enter(DatabaseConnectionWindow* window, const ServerAddress& server, const QString& password) {
    const std::pair<ui::TextBox*, QString> boxes[] = {{window->Text1, server.host},
                                                      {window->Text2, server.port},
                                                      {window->Text3, server.database},
                                                      {window->Text4, server.user}};
    for (const auto& [box, text] : boxes) {
        QVERIFY2(box->hasFocus(), qPrintable(FocusName()));
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        TypeText(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QVERIFY(window->Text5->hasFocus());
    TypeText(window->Text5, password);
}

}  // namespace

class TestDatabaseConnectionWindow : public WindowTest {
    Q_OBJECT

    std::unique_ptr<PgServer> server_;
    std::unique_ptr<ScratchSettings> settings_;
    QString database_;

private Q_SLOTS:
    void initTestCase() {
        WindowTest::initTestCase();
        server_ = std::make_unique<PgServer>();
        QVERIFY2(server_->ok(), qPrintable(server_->message()));
        database_ = server_->createDatabase();
        QVERIFY2(!database_.isEmpty(), qPrintable(server_->message()));
    }
    void init() {
        WindowTest::init();
        settings_ = std::make_unique<ScratchSettings>();
    }
    void cleanup() {
        WindowTest::cleanup();
        settings_.reset();
    }
    void cleanupTestCase() { server_.reset(); }

    void showsTheDatabaseInUse() {
        DatabaseConnectionWindow* window = Open();
        QCOMPARE(window->objectName(), QStringLiteral("frmDatabaseConnection"));
        QCOMPARE(window->windowTitle(), QStringLiteral("数据库连接"));
        QCOMPARE(window->Label2->toolTip(),
                 QStringLiteral("正在使用：数据库文件 ") + Database::Location());
        QVERIFY(Database::Location().endsWith(QStringLiteral("/database.db")));
        QCOMPARE(window->Label3->text(), QStringLiteral("下次启动：数据文件夹中的数据库文件"));
        QVERIFY(!window->Command4->isEnabled());
        QCOMPARE(window->Text5->echoMode(), QLineEdit::Password);
        QVERIFY(window->Text1->hasFocus());
        for (auto [box, caption] :
             {std::pair{window->Text1, "主机:"}, std::pair{window->Text2, "端口:"},
              std::pair{window->Text3, "数据库:"}, std::pair{window->Text4, "用户名:"},
              std::pair{window->Text5, "密码:"}}) {
            bool labelled = false;
            for (QLabel* label : window->findChildren<QLabel*>()) {
                labelled = labelled ||
                           (label->buddy() == box && label->text() == QString::fromUtf8(caption));
            }
            QVERIFY2(labelled, caption);
        }
    }

    // Enter in the password box tries the connection on a thread of its own; the window says
    // what the server said.
    void testsTheConnection_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("socket");
        QTest::addColumn<bool>("connects");
        QTest::newRow("connects") << ""
                                  << "" << true;
        QTest::newRow("no such database") << "no_such_shop"
                                          << "" << false;
        QTest::newRow("no server there") << ""
                                         << "/nonexistent" << false;
    }
    void testsTheConnection() {
        QFETCH(QString, database);
        QFETCH(QString, socket);
        QFETCH(bool, connects);
        const ServerAddress server{socket.isEmpty() ? server_->folder() : socket,
                                   {},
                                   database.isEmpty() ? database_ : database,
                                   {}};
        DatabaseConnectionWindow* window = Open();
        Enter(window, server, {});
        QSignalSpy tested(window, &DatabaseConnectionWindow::connectionTested);
        MessageScript messages;
        if (connects) {
            messages.expect(QStringLiteral("系统提示"), QStringLiteral("连接成功"),
                            MessageScript::Icon::Information);
        } else {
            const QString reason = TryConnection(ConnectionUri(server));
            QVERIFY(reason.contains(socket.isEmpty() ? QStringLiteral("no_such_shop")
                                                     : QStringLiteral("/nonexistent")));
            messages.expect(QStringLiteral("系统提示"), QStringLiteral("连接失败：") + reason,
                            MessageScript::Icon::Stop);
        }
        QTest::keyClick(window->Text5, Qt::Key_Return);
        // The answer comes back through the event loop: until then the window is busy but
        // alive, and a second test waits for the first.
        QVERIFY(window->testing());
        QVERIFY(!window->Command3->isEnabled());
        QCOMPARE(window->cursor().shape(), Qt::BusyCursor);
        QVERIFY(tested.wait(15000));
        VERIFY_MESSAGES(messages);
        QVERIFY(!window->testing());
        QVERIFY(window->Command3->isEnabled());
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
        // Trying stores nothing.
        QVERIFY(!StoredServer(db_->dir()));
    }

    // The address is checked before anything is tried or stored.
    void incompleteAddressesAreRefused_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("no database") << ""
                                     << ""
                                     << "请填写数据库名称！"
                                     << "Text3";
        QTest::newRow("bad port") << "99999"
                                  << "shop"
                                  << "端口应为1到65535之间的数字！"
                                  << "Text2";
    }
    void incompleteAddressesAreRefused() {
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        for (const bool trying : {true, false}) {
            DatabaseConnectionWindow* window = Open();
            Enter(window, {server_->folder(), port, database, {}}, QStringLiteral("pw"));
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"), message, MessageScript::Icon::Stop);
            QTest::mouseClick(trying ? window->Command3 : window->Command1, Qt::LeftButton);
            VERIFY_MESSAGES(messages);
            QVERIFY(!window->testing());
            QCOMPARE(FocusName(), focus);
            window->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QVERIFY(!StoredServer(db_->dir()));
        QVERIFY(!QFile::exists(PasswordFilePath()));
    }

    // Saved for the next start of this data folder, the password in its own file; the window
    // shows it again when reopened, and the owner can go back to the folder's file.
    void storesTheServerAndGoesBack() {
        const ServerAddress server{server_->folder(), QStringLiteral("5432"), database_,
                                   QStringLiteral("前台")};
        DatabaseConnectionWindow* window = Open();
        Enter(window, server, QStringLiteral("密:码\\1"));
        {
            MessageScript messages;
            messages.expect(QStringLiteral("系统提示"),
                            QStringLiteral("已保存。下次启动程序时将使用这个数据库服务器。"),
                            MessageScript::Icon::Information);
            QTest::mouseClick(window->Command1, Qt::LeftButton);
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(StoredServer(db_->dir()), server);
        QVERIFY(HasStoredPassword(server));
        QVERIFY(window->Text5->text().isEmpty());
        QCOMPARE(window->Text5->placeholderText(), QStringLiteral("已保存，不修改请留空"));
        QCOMPARE(window->Label3->toolTip(), QStringLiteral("下次启动：数据库服务器 前台@%1:5432/%2")
                                                .arg(server_->folder(), database_));
        // Still the file until the next start.
        QCOMPARE(Database::Engine(), sql::Engine::Sqlite);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        window = Open();
        QCOMPARE(window->Text1->text(), server.host);
        QCOMPARE(window->Text2->text(), server.port);
        QCOMPARE(window->Text3->text(), server.database);
        QCOMPARE(window->Text4->text(), server.user);
        QVERIFY(window->Text5->text().isEmpty());
        QVERIFY(window->Command4->isEnabled());
        {
            MessageScript messages;
            messages.expect(QStringLiteral("下次启动程序时改用数据文件夹中的数据库文件吗？"),
                            MessageScript::Answer::Cancel);
            QTest::mouseClick(window->Command4, Qt::LeftButton);
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(StoredServer(db_->dir()), server);
        {
            MessageScript messages;
            messages.expect(QStringLiteral("下次启动程序时改用数据文件夹中的数据库文件吗？"))
                .expect(QStringLiteral("已改回数据文件夹中的数据库文件，下次启动程序时生效。"));
            QTest::mouseClick(window->Command4, Qt::LeftButton);
            VERIFY_MESSAGES(messages);
        }
        QVERIFY(!StoredServer(db_->dir()));
        QVERIFY(!HasStoredPassword(server));
        QVERIFY(window->Text1->text().isEmpty());
        QCOMPARE(window->Label3->text(), QStringLiteral("下次启动：数据文件夹中的数据库文件"));
        QVERIFY(!window->Command4->isEnabled());
    }

    // The shop of the data folder copied onto an empty database of the server, then used from
    // the next start on.
    void copiesTheShopOntoTheServer() {
        TestDatabase::addCustomer(TestDatabase::sampleCustomer(
            QStringLiteral("{C1}"), QStringLiteral("京A1"), QStringLiteral("张三")));
        const QString empty = server_->createDatabase();
        QVERIFY2(!empty.isEmpty(), qPrintable(server_->message()));
        const ServerAddress server{server_->folder(), QStringLiteral("5432"), empty, QString()};
        DatabaseConnectionWindow* window = Open();
        Enter(window, server, QString());
        {
            MessageScript messages;
            messages
                .expect(QStringLiteral(
                            "将把本机数据库中的全部数据复制到数据库服务器 %1 上的空数据库中，"
                            "复制后核对行数和金额。复制期间请不要在本程序中录入数据。\n"
                            "是否继续？")
                            .arg(AddressText(server)))
                .expect(QStringLiteral("迁移完成，已核对 1 个客户、0 张维修单。\n"
                                       "是否在下次启动程序时改用这个数据库服务器？"))
                .expect(QStringLiteral("已保存。下次启动程序时将使用这个数据库服务器。"));
            QTest::mouseClick(window->Command5, Qt::LeftButton);
            VERIFY_MESSAGES(messages);
        }
        QCOMPARE(StoredServer(db_->dir()), server);
        PgConnection copied(server_->uri(empty));
        const PgResult plates = copied.exec(QStringLiteral("select kh_cph from kh_table"));
        QVERIFY2(plates.ok(), qPrintable(plates.error()));
        QCOMPARE(plates.rows(), 1);
        QCOMPARE(plates.row(0).text(0), QStringLiteral("京A1"));
        QCOMPARE(Database::Engine(), sql::Engine::Sqlite);
    }

    // A clerk cannot move the shop onto a server from the window either: nothing is copied.
    void aClerkCannotCopyTheShop() {
        const QString empty = server_->createDatabase();
        QVERIFY2(!empty.isEmpty(), qPrintable(server_->message()));
        const ServerAddress server{server_->folder(), QStringLiteral("5432"), empty, QString()};
        TestDatabase::logInAs(QStringLiteral("小王"), Role::Clerk);
        const QString refusal = RefusalFor(Guarded::DatabaseConnection);
        QVERIFY(refusal.contains(QStringLiteral("小王")));
        DatabaseConnectionWindow* window = Open();
        Enter(window, server, QString());
        {
            MessageScript messages;
            messages.expect(refusal);
            QTest::mouseClick(window->Command5, Qt::LeftButton);
            VERIFY_MESSAGES(messages);
        }
        PgConnection target(server_->uri(empty));
        const PgResult tables = target.exec(QStringLiteral(
            "select count(*) from information_schema.tables where table_schema = 'public'"));
        QVERIFY2(tables.ok(), qPrintable(tables.error()));
        QCOMPARE(tables.row(0).text(0), QStringLiteral("0"));
    }

    // A window closed while its test still runs leaves nothing behind that could touch it.
    void closingDuringATestIsSafe() {
        DatabaseConnectionWindow* window = Open();
        Enter(window, {QStringLiteral("/nonexistent"), {}, QStringLiteral("shop"), {}}, {});
        QTest::mouseClick(window->Command3, Qt::LeftButton);
        QVERIFY(window->testing());
        QPointer<DatabaseConnectionWindow> open(window);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!open);
        // The thread's end comes and goes without a message.
        QTest::qWait(300);
    }
};

QTEST_MAIN(TestDatabaseConnectionWindow)
#include "test_database_connection_window.moc"
