#include "bench_server.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>

#include "app/main_window.h"
#include "app/reminder_list.h"
#include "customers/customer_store.h"
#include "data/database.h"
#include "data/record_key.h"
#include "data/server_copy.h"
#include "data/sql_dialect.h"
#include "data_generator.h"
#include "measure.h"
#include "repairs/order_entry.h"
#include "reports/statistics.h"
#include "reports/statistics_rows.h"
#include "reports/statistics_window.h"
#include "support/pg_server.h"
#include "ui/date_picker.h"
#include "ui/grid.h"

namespace {

void Require(bool ok, const QString& what) {
    if (!ok) {
        qFatal("bench: %s", qPrintable(what));
    }
}

// psql running the same statement, its rows to /dev/null: the server's partner of every list.
double PsqlSeconds(const QString& psql, const QString& uri, const QString& query) {
    return CommandSeconds(
        psql, {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
               QStringLiteral("-t"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
               QStringLiteral("-c"), sql::ForEngine(sql::Engine::Postgres, query), uri});
}

QString Psql(const PgServer& server) {
    const QString beside = QFileInfo(server.binDir() + QStringLiteral("/psql")).exists()
                               ? server.binDir() + QStringLiteral("/psql")
                               : QStringLiteral("psql");
    return beside;
}

// Ours beside psql, alternately, three times each.
struct Pair {
    std::vector<double> ours;
    std::vector<double> partner;
    QString ratio() const {
        const double p = SideBySide::Median(partner);
        return QStringLiteral("psql %1 s, %2x")
            .arg(p, 0, 'f', 3)
            .arg(SideBySide::Median(ours) / p, 0, 'f', 2);
    }
};

void BenchServerLists(const PgServer& server, const QString& uri, const QString& dir) {
    Require(Database::OpenServer(uri, dir).ok, QStringLiteral("opening the server's shop"));
    const QString psql = Psql(server);
    auto* main = new MainWindow;
    main->resize(1280, 800);
    main->show();
    QApplication::processEvents();
    const ListQuery all =
        ReminderListQuery(ReminderMode::All, QDate(2000, 1, 1), QDate(2030, 12, 31));
    const ListQuery search = SearchQuery(QStringLiteral("1"));
    struct Case {
        QString what;
        QString query;
        std::function<void()> run;
    };
    const Case cases[] = {
        {QStringLiteral("(s-e) reminder list on the server, all in range"),
         SplicedQuery(all.text, all.params),
         [main] {
             main->DTPicker1->setValue(QDate(2000, 1, 1));
             main->DTPicker2->setValue(QDate(2030, 12, 31));
             main->Combo1->setCurrentIndex(0);
             main->Combo1_Click();
         }},
        {QStringLiteral("(s-f) search on the server matching \"1\""),
         SplicedQuery(search.text, search.params),
         [main] {
             main->Text1->setText(QStringLiteral("1"));
             main->Text1_KeyDown(Qt::Key_Return);
         }},
    };
    for (const Case& c : cases) {
        Pair pair;
        for (int run = 0; run < 3; ++run) {
            pair.partner.push_back(PsqlSeconds(psql, uri, c.query));
            pair.ours.push_back(MedianSeconds(1, [&c] {
                c.run();
                QApplication::processEvents();
            }));
        }
        PrintRow(c.what + QStringLiteral(" (%1 rows)").arg(main->grid1->rows() - 1),
                 QStringLiteral("%1 s").arg(SideBySide::Median(pair.ours), 0, 'f', 3),
                 pair.ratio());
    }
    delete main;

    auto* window = new StatisticsWindow(StatisticsKind::Turnover);
    window->resize(1000, 700);
    window->show();
    QApplication::processEvents();
    StatisticsFilter filter;
    filter.from = QDate(2023, 1, 1);
    filter.to = QDate(2023, 12, 31);
    window->DTPicker1->setValue(filter.from);
    window->DTPicker2->setValue(filter.to);
    const QString query = SplicedQuery(StatisticsStatement(window->description(), filter),
                                       StatisticsParameters(window->description(), filter));
    Pair first;
    Pair every;
    for (int run = 0; run < 3; ++run) {
        const double partner = PsqlSeconds(psql, uri, query);
        first.partner.push_back(partner);
        every.partner.push_back(partner);
        first.ours.push_back(MedianSeconds(1, [window] {
            window->Command1_Click();
            QApplication::processEvents();
        }));
        every.ours.push_back(MedianSeconds(1, [window] {
            const auto rows = window->rows();
            Require(rows->read(0, rows->count(), [](int, const QList<QByteArrayView>&) {}).ok(),
                    QStringLiteral("reading the turnover list"));
        }));
    }
    PrintRow(QStringLiteral("(s-k) turnover on the server, one year (%1 rows): first screen")
                 .arg(window->listedRows()),
             QStringLiteral("%1 s").arg(SideBySide::Median(first.ours), 0, 'f', 3),
             first.ratio() + QStringLiteral(" (psql reads every row)"));
    PrintRow(QStringLiteral("(s-k) turnover on the server, one year: every row read"),
             QStringLiteral("%1 s").arg(SideBySide::Median(every.ours), 0, 'f', 3), every.ratio());
    delete window;
    Database::Close();
}

Order StationOrder(int station, int serial, const QDate& day) {
    Order order;
    order.key = NewRecordKey();
    order.number = OrderDatePart(day) + QString::number(serial).rightJustified(4, u'0');
    order.plate = QStringLiteral("京S%1").arg(station);
    order.owner = QStringLiteral("测试");
    order.total = 155.5;
    order.operatorName = QStringLiteral("管理员");
    order.date = day;
    order.nextReminder = day.addMonths(3);
    order.technician = QStringLiteral("李师傅");
    order.lines = {{QStringLiteral("更换机油"), QString(), 1, 120, 120},
                   {QStringLiteral("机滤"), QString(), 1, 35.5, 35.5}};
    return order;
}

// One station saving `saves` orders, each on a day of its own so numbers never meet.
int SaveAsStation(const QString& uri, int station, int saves) {
    if (!Database::OpenServer(uri, QDir::tempPath()).ok) {
        return 1;
    }
    const QDate day = QDate(2030, 1, 1).addDays(station);
    for (int i = 1; i <= saves; ++i) {
        if (!SaveOrder(StationOrder(station, i, day)).ok()) {
            return 1;
        }
    }
    Database::Close();
    return 0;
}

// Saves at one station, and with `stations` (none for the second, faster server) at once.
void BenchServerSaves(const QString& uri, const QString& dir, bool durable) {
    Require(Database::OpenServer(uri, dir).ok, QStringLiteral("opening the server's shop"));
    for (int station = 0; station <= 4; ++station) {
        Customer customer;
        customer.key = NewRecordKey();
        customer.plate = QStringLiteral("京S%1").arg(station);
        customer.owner = QStringLiteral("测试");
        Require(AddCustomer(customer).ok(), QStringLiteral("adding a station's customer"));
    }
    constexpr int kSaves = 300;
    const QDate day(2031, 1, 1);
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= kSaves; ++i) {
        Require(SaveOrder(StationOrder(0, i, day)).ok(), QStringLiteral("saving an order"));
    }
    const double one = timer.nsecsElapsed() / 1e6 / kSaves;
    Database::Close();
    PrintRow(QStringLiteral("(s-o) order save on the server, one station"),
             QStringLiteral("%1 ms").arg(one, 0, 'f', 2),
             QStringLiteral("mean of %1 saves of a header and two lines, Unix socket, %2")
                 .arg(kSaves)
                 .arg(durable ? QStringLiteral("each commit synced to disk")
                              : QStringLiteral("fsync off: the same work without the disk")));
    if (!durable) {
        return;
    }

    timer.restart();
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int station = 1; station <= 4; ++station) {
        auto process = std::make_unique<QProcess>();
        process->start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--station"), uri, QStringLiteral("--station-number"),
             QString::number(station), QStringLiteral("--station-saves"), QString::number(kSaves),
             QStringLiteral("-platform"), QStringLiteral("offscreen")});
        stations.push_back(std::move(process));
    }
    for (auto& process : stations) {
        Require(process->waitForFinished(600000) && process->exitCode() == 0,
                QStringLiteral("a station's saves"));
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    PrintRow(QStringLiteral("(s-o) order saves on the server, four stations at once"),
             QStringLiteral("%1 saves/s").arg(4 * kSaves / seconds, 0, 'f', 0),
             QStringLiteral("%1 saves in %2 s, process starts included")
                 .arg(4 * kSaves)
                 .arg(seconds, 0, 'f', 2));
}

}  // namespace

int RunStation(const QString& uri, int station, int saves) {
    return SaveAsStation(uri, station, saves);
}

void BenchServer(const QString& root) {
    PgServer server(PgServer::Durability::Kept);
    Require(server.ok(), server.message());
    const QString shop = qEnvironmentVariableIsSet("RUVASO_BENCH_SERVER_SHOP")
                             ? qEnvironmentVariable("RUVASO_BENCH_SERVER_SHOP")
                             : MakeShop(root, 100000, 1000000, 5);
    const QString database = server.createDatabase();
    const QString uri = server.uri(database);
    OpenShop(shop);
    ResetPeakResident();
    const double before = ResidentMb();
    QElapsedTimer timer;
    timer.start();
    const CopyReport copied = CopyShopToServer(uri);
    const double seconds = timer.nsecsElapsed() / 1e9;
    Require(copied.ok, copied.message);
    qint64 lines = 0;
    qint64 orders = 0;
    for (const CopiedTable& table : copied.tables) {
        if (table.table == QLatin1String("kh_wx_mx_table")) {
            lines = table.serverRows;
        } else if (table.table == QLatin1String("kh_wx_table")) {
            orders = table.serverRows;
        }
    }
    Database::Close();
    PrintRow(QStringLiteral("(s-m) copy to the server: %1 orders, %2 lines").arg(orders).arg(lines),
             QStringLiteral("%1 s").arg(seconds, 0, 'f', 1),
             QStringLiteral("peak resident %1 MB (%2 MB before), counts and sums checked")
                 .arg(PeakResidentMb(), 0, 'f', 0)
                 .arg(before, 0, 'f', 0));
    BenchServerLists(server, uri, shop);
    BenchServerSaves(uri, shop, true);
    PgServer fast(PgServer::Durability::Throwaway);
    Require(fast.ok(), fast.message());
    BenchServerSaves(fast.uri(fast.createDatabase()), shop, false);
}
