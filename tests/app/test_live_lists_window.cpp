#include <QTest>

#include "app/main_window.h"
#include "core/clock.h"
#include "core/date_text.h"
#include "data/database.h"
#include "data/pg_connection.h"
#include "support/pg_server.h"
#include "support/window_test.h"
#include "ui/grid.h"

namespace {

PgServer& Server() {
    static PgServer server;
    return server;
}

QStringList ListedPlates(const MainWindow& main) {
    QStringList plates;
    for (int row = 1; row < main.grid1->rows(); ++row) {
        plates << main.grid1->cellText(row, 3);
    }
    return plates;
}

}  // namespace

// The main window's reminder list on a server follows what the other stations save: a customer
// added elsewhere shows up, one called elsewhere leaves the "not called" list.
class TestLiveListsWindow : public WindowTest {
    Q_OBJECT

    QString uri_;

private Q_SLOTS:
    void init() {
        WindowTest::init();
        QVERIFY2(Server().ok(), qPrintable(Server().message()));
        const QString name = Server().createDatabase();
        QVERIFY2(!name.isEmpty(), qPrintable(Server().message()));
        uri_ = Server().uri(name);
        Database::Close();
        const Database::OpenResult opened = Database::OpenServer(uri_, db_->dir());
        QVERIFY2(opened.ok, qPrintable(opened.message));
    }

    void followsTheOtherStations() {
        MainWindow main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QVERIFY(!ListedPlates(main).contains(QStringLiteral("京L1")));

        // Another station adds a customer due today, then records the call.
        PgConnection other(uri_);
        QVERIFY(other
                    .exec(QStringLiteral("insert into kh_table (kh_code, kh_cph, kh_czname, "
                                         "kh_txdate, kh_sfdgdh) values ('{L1}', '京L1', '赵六', "
                                         "$1, '0')"),
                          {DateText(Today())})
                    .ok());
        QVERIFY(other.exec(QStringLiteral("select pg_notify('ruvaso_changes', 'customers')")).ok());
        QTRY_VERIFY(ListedPlates(main).contains(QStringLiteral("京L1")));

        // A recorded call is the call's row and the customer's flag, in one transaction.
        QVERIFY(other.exec(QStringLiteral("begin")).ok());
        QVERIFY(other
                    .exec(QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, "
                                         "kh_tele_date) values ('{T1}', '京L1', $1)"),
                          {DateText(Today())})
                    .ok());
        QVERIFY(other
                    .exec(QStringLiteral("update kh_table set kh_sfdgdh = '1' where kh_code = "
                                         "'{L1}'"))
                    .ok());
        QVERIFY(other.exec(QStringLiteral("commit")).ok());
        QVERIFY(other.exec(QStringLiteral("select pg_notify('ruvaso_changes', 'customers')")).ok());
        QTRY_VERIFY(!ListedPlates(main).contains(QStringLiteral("京L1")));
    }
};

QTEST_MAIN(TestLiveListsWindow)
#include "test_live_lists_window.moc"
