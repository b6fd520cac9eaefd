// Prints the figures we track: data walks against the sqlite3 shell, grid fills, a huge grid
// and start-up time. Each comparison runs its contenders alternately in one run, because this
// machine is shared and its speed drifts.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QComboBox>
#include <QLineEdit>

#include "app/customer_list_rows.h"
#include "app/main_window.h"
#include "app/reminder_list.h"
#include "bench_import.h"
#include "bench_import_bounds.h"
#include "bench_orders.h"
#include "bench_reports.h"
#include "bench_server.h"
#include "bench_system.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/run_sql.h"
#include "data_generator.h"
#include "measure.h"
#include "ui/date_picker.h"
#include "ui/grid.h"

namespace {

const QStringList kCustomerColumns = {QStringLiteral("kh_code"),   QStringLiteral("kh_sfdgdh"),
                                      QStringLiteral("kh_txdate"), QStringLiteral("kh_cph"),
                                      QStringLiteral("kh_czname"), QStringLiteral("kh_xb"),
                                      QStringLiteral("kh_tele"),   QStringLiteral("kh_djdate"),
                                      QStringLiteral("kh_sfzh"),   QStringLiteral("kh_cx")};

Recordset SelectCustomers() {
    Recordset rs = RunSql(QStringLiteral("select * from kh_table"));
    if (rs.isNull()) {
        qFatal("cannot select the customers: %s", qPrintable(rs.error()));
    }
    return rs;
}

// Walks every customer reading every column by name, as a list window does.
qint64 WalkCustomers(const std::function<void(int, const QString&, int)>& cell = {}) {
    qint64 chars = 0;
    int row = 0;
    for (Recordset rs = SelectCustomers(); !rs.Eof(); rs.MoveNext()) {
        ++row;
        for (int c = 0; c < kCustomerColumns.size(); ++c) {
            const QString text = rs.Text(kCustomerColumns[c]);
            chars += text.size();
            if (cell) {
                cell(row, text, c);
            }
        }
    }
    return chars;
}

void BenchWalk(const QString& dir, int customers, const QString& sqlite3) {
    const QString query = QStringLiteral("select * from kh_table");
    SideBySide figures(sqlite3, dir + QStringLiteral("/database.db"), query);
    double peakExtra = 0;
    for (int run = 0; run < 3; ++run) {
        figures.runPartners();
        OpenShop(dir);
        const double before = ResidentMb();
        ProfileOn();
        QElapsedTimer timer;
        timer.start();
        double peak = before;
        qint64 rows = 0;
        qint64 chars = 0;
        for (Recordset rs = SelectCustomers(); !rs.Eof(); rs.MoveNext()) {
            for (const QString& column : kCustomerColumns) {
                chars += rs.Text(column).size();
            }
            if ((++rows & 0x1FFF) == 0) {
                peak = std::max(peak, ResidentMb());
            }
        }
        figures.add(double(timer.nsecsElapsed()) / 1e9);
        ProfileOff();
        peak = std::max(peak, ResidentMb());
        peakExtra = std::max(peakExtra, peak - before);
        Database::Close();
        if (rows != customers || chars == 0) {
            qFatal("the walk read %lld of %d rows, %lld characters", rows, customers, chars);
        }
    }
    PrintRow(QStringLiteral("(a) sqlite3 shell, %1 rows to /dev/null").arg(customers),
             QStringLiteral("%1 s").arg(figures.shell(), 0, 'f', 3));
    PrintRow(QStringLiteral("(a) engine stepped in process, every column as text"),
             QStringLiteral("%1 s").arg(figures.engine(), 0, 'f', 3));
    PrintRow(QStringLiteral("(a) RunSql walk, %1 rows, 10 fields by name").arg(customers),
             QStringLiteral("%1 s").arg(figures.ours(), 0, 'f', 3),
             figures.ratios() +
                 QStringLiteral("; +%1 MB resident while walking").arg(peakExtra, 0, 'f', 1));
}

void BenchGridFill(const QString& dir) {
    OpenShop(dir);
    ui::Grid grid;
    grid.resize(1000, 700);
    grid.show();
    std::vector<double> walk, fill;
    for (int run = 0; run < 3; ++run) {
        walk.push_back(MedianSeconds(1, [] { WalkCustomers(); }));
        fill.push_back(MedianSeconds(1, [&grid] {
            grid.setAutoRedraw(false);
            grid.setCols(10);
            grid.setRows(1);
            WalkCustomers([&grid](int row, const QString& text, int col) {
                if (col == 0) {
                    grid.setRows(row + 1);
                }
                grid.setCellText(row, col, text);
            });
            grid.setAutoRedraw(true);
            grid.refresh();
            QApplication::processEvents();
        }));
    }
    std::sort(walk.begin(), walk.end());
    std::sort(fill.begin(), fill.end());
    PrintRow(QStringLiteral("(b) walk alone, %1 rows").arg(grid.rows() - 1),
             QStringLiteral("%1 s").arg(walk[1], 0, 'f', 3));
    PrintRow(QStringLiteral("(b) walk + grid fill row by row, 10 columns"),
             QStringLiteral("%1 s").arg(fill[1], 0, 'f', 3),
             QStringLiteral("fill adds %1 s (%2x the walk)")
                 .arg(fill[1] - walk[1], 0, 'f', 3)
                 .arg((fill[1] - walk[1]) / walk[1], 0, 'f', 2));
    Database::Close();
}

void BenchHugeGrid() {
    const double before = ResidentMb();
    ui::Grid grid;
    grid.resize(1000, 700);
    grid.setCols(10);
    grid.show();
    QApplication::processEvents();
    const double seconds = MedianSeconds(1, [&grid] {
        grid.setRows(10000000);
        grid.setCellText(9999999, 3, QStringLiteral("京A12345"));
        QApplication::processEvents();
    });
    PrintRow(QStringLiteral("(c) grid set to 10,000,000 rows"),
             QStringLiteral("%1 s").arg(seconds, 0, 'f', 3),
             QStringLiteral("+%1 MB resident").arg(ResidentMb() - before, 0, 'f', 1));
}

// The reminder list and the search over a shop whose every customer matches, against the
// shell running the same query.
void BenchReminderList(const QString& dir, const QString& sqlite3) {
    const QString file = dir + QStringLiteral("/database.db");
    OpenShop(dir);
    auto* main = new MainWindow;
    main->resize(1280, 800);
    main->show();
    QApplication::processEvents();
    main->DTPicker1->setValue(QDate(2000, 1, 1));
    main->DTPicker2->setValue(QDate(2000, 1, 1));
    main->Combo1->setCurrentIndex(0);
    main->Combo1_Click();
    QApplication::processEvents();
    const double emptyMb = HeapMb();

    struct Case {
        QString what;
        ListQuery query;
        std::function<void()> run;
    };
    // The partners run the statements the window runs, with their values written in.
    const ListQuery all =
        ReminderListQuery(ReminderMode::All, QDate(2000, 1, 1), QDate(2030, 12, 31));
    const ListQuery search = SearchQuery(QStringLiteral("1"));
    const Case cases[] = {
        {QStringLiteral("(e) ReloadReminderList, all 100,000 in range"), all,
         [main] {
             main->DTPicker2->setValue(QDate(2030, 12, 31));
             main->Combo1_Click();
         }},
        {QStringLiteral("(f) search matching all 100,000"), search,
         [main] {
             main->Text1->setText(QStringLiteral("1"));
             main->Text1_KeyDown(Qt::Key_Return);
         }},
    };
    for (const Case& c : cases) {
        SideBySide figures(sqlite3, file, SplicedQuery(c.query.text, c.query.params));
        std::vector<double> before, every;
        double extra = 0;
        double beforeExtra = 0;
        for (int run = 0; run < 3; ++run) {
            figures.run([&c] {
                c.run();
                QApplication::processEvents();
            });
            extra = std::max(extra, HeapMb() - emptyMb);
            // Every row, as scrolling to the end reads them: page after page by their keys.
            QElapsedTimer timer;
            timer.start();
            const auto rows = CustomerListRows::Open(c.query);
            qint64 bytes = 0;
            if (!rows || !(*rows)->read(0, (*rows)->count(),
                                        [&bytes](int, const QList<QByteArrayView>& cells) {
                                            for (const QByteArrayView cell : cells) {
                                                bytes += cell.size();
                                            }
                                        })) {
                qFatal("cannot read the list");
            }
            every.push_back(double(timer.nsecsElapsed()) / 1e9);
            // Before: every row filled into the grid at once, as the list used to open.
            ui::Grid grid;
            grid.setCols(10);
            const double heap = HeapMb();
            timer.start();
            grid.setAutoRedraw(false);
            Recordset rs = RunSql(c.query.text, c.query.params);
            for (int row = 1; !rs.Eof(); rs.MoveNext(), ++row) {
                grid.setRows(row + 1);
                for (int col = 0; col < 10; ++col) {
                    grid.setCellUtf8(row, col, rs.Utf8(col + 1));
                }
            }
            rs.Close();
            grid.widenColumnsToContent();
            grid.setAutoRedraw(true);
            before.push_back(double(timer.nsecsElapsed()) / 1e9);
            beforeExtra = std::max(beforeExtra, HeapMb() - heap);
        }
        const double shell = figures.shell();
        const double engine = figures.engine();
        const double filled = SideBySide::Median(before);
        const double read = SideBySide::Median(every);
        PrintRow(c.what + QStringLiteral(", before: every row filled at once"),
                 QStringLiteral("%1 s").arg(filled, 0, 'f', 3),
                 QStringLiteral("shell %1 s, %2x; in process %3 s, %4x; +%5 MB heap")
                     .arg(shell, 0, 'f', 3)
                     .arg(filled / shell, 0, 'f', 2)
                     .arg(engine, 0, 'f', 3)
                     .arg(filled / engine, 0, 'f', 2)
                     .arg(beforeExtra, 0, 'f', 1));
        PrintRow(c.what + QStringLiteral(", after: first screen (%1 rows listed)")
                              .arg(main->grid1->rows() - 1),
                 QStringLiteral("%1 s").arg(figures.ours(), 0, 'f', 3),
                 figures.ratios() +
                     QStringLiteral("; +%1 MB heap over the empty list").arg(extra, 0, 'f', 1));
        PrintRow(c.what + QStringLiteral(", after: every row read as scrolled to"),
                 QStringLiteral("%1 s").arg(read, 0, 'f', 3),
                 QStringLiteral("shell %1 s, %2x; in process %3 s, %4x")
                     .arg(shell, 0, 'f', 3)
                     .arg(read / shell, 0, 'f', 2)
                     .arg(engine, 0, 'f', 3)
                     .arg(read / engine, 0, 'f', 2));
    }
    delete main;
    Database::Close();
}

double StartupSeconds(const QString& program, const QString& dir) {
    return CommandSeconds(program,
                          {QStringLiteral("--data-dir"), dir, QStringLiteral("--exit-when-shown"),
                           QStringLiteral("-platform"), QStringLiteral("offscreen")});
}

// The first start of a day makes the day's backup in the background; later starts find it.
void BenchStartup(const QString& program, const QString& dir) {
    const QString todays = dir + QLatin1Char('/') + BackupFileName(QDate::currentDate());
    std::vector<double> first, later;
    for (int i = 0; i < 7; ++i) {
        QFile::remove(todays);
        first.push_back(StartupSeconds(program, dir));
    }
    if (!CopyDatabaseFile(dir + QLatin1Char('/') + Database::FileName(), todays)) {
        qFatal("cannot make the day's backup");
    }
    for (int i = 0; i < 7; ++i) {
        later.push_back(StartupSeconds(program, dir));
    }
    std::sort(first.begin(), first.end());
    std::sort(later.begin(), later.end());
    PrintRow(
        QStringLiteral("(d) start-up until the login window is shown, first start of the day"),
        QStringLiteral("%1 s").arg(first[3], 0, 'f', 3),
        QStringLiteral("later starts %1 s; median of 7, database of 100,000 customers, "
                       "%2 MB")
            .arg(later[3], 0, 'f', 3)
            .arg(QFileInfo(dir + QLatin1Char('/') + Database::FileName()).size() / 1e6, 0, 'f', 0));
}

// The walks over the customers: the list and its search, RunSql, the grid. Returns the folder of
// the shop of 100,000 customers, which the later figures use too.
QString BenchWalks(const QString& root, int bigRows, const QString& sqlite3) {
    const QString small = MakeShop(root, 100000);
    BenchReminderList(small, sqlite3);
    BenchWalk(small, 100000, sqlite3);
    {
        const QString large = MakeShop(root, bigRows);
        BenchWalk(large, bigRows, sqlite3);
        QDir(large).removeRecursively();
    }
    BenchGridFill(small);
    BenchHugeGrid();
    return small;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption sqlite3(QStringLiteral("sqlite3"), QStringLiteral("shell"),
                                     QStringLiteral("PATH"), QStringLiteral("sqlite3"));
    const QCommandLineOption program(QStringLiteral("ruvaso"), QStringLiteral("program"),
                                     QStringLiteral("PATH"));
    const QCommandLineOption big(QStringLiteral("big"), QStringLiteral("rows of the big walk"),
                                 QStringLiteral("N"), QStringLiteral("1000000"));
    const QCommandLineOption only(
        QStringLiteral("only"),
        QStringLiteral("run one group of figures: walks, orders, system, import, "
                       "import-bounds, reports, report-pages, startup, server, space, lists"),
        QStringLiteral("GROUP"));
    const QCommandLineOption backupSize(QStringLiteral("backup-gb"),
                                        QStringLiteral("size of the backed-up database"),
                                        QStringLiteral("GB"), QStringLiteral("1"));
    // One station of the server's save figure, run by that figure as a process of its own.
    const QCommandLineOption station(QStringLiteral("station"), QStringLiteral("server URI"),
                                     QStringLiteral("URI"));
    const QCommandLineOption stationNumber(QStringLiteral("station-number"),
                                           QStringLiteral("station"), QStringLiteral("N"));
    const QCommandLineOption stationSaves(QStringLiteral("station-saves"), QStringLiteral("saves"),
                                          QStringLiteral("N"));
    parser.addOptions(
        {sqlite3, program, big, only, backupSize, station, stationNumber, stationSaves});
    parser.process(app);
    if (parser.isSet(station)) {
        return RunStation(parser.value(station), parser.value(stationNumber).toInt(),
                          parser.value(stationSaves).toInt());
    }

    QTemporaryDir root;
    // Kept for a look at the generated shop afterwards.
    if (qEnvironmentVariableIsSet("RUVASO_BENCH_KEEP")) {
        root.setAutoRemove(false);
        PrintRow(QStringLiteral("shops kept in"), root.path());
    }
    if (parser.value(only) == QLatin1String("walks")) {
        BenchWalks(root.path(), parser.value(big).toInt(), parser.value(sqlite3));
        return 0;
    }
    if (parser.value(only) == QLatin1String("lists")) {
        BenchReminderList(MakeShop(root.path(), 100000), parser.value(sqlite3));
        return 0;
    }
    if (parser.value(only) == QStringLiteral("orders")) {
        BenchOrders(root.path(), parser.value(sqlite3));
        return 0;
    }
    if (parser.value(only) == QLatin1String("system")) {
        BenchSystem(root.path(), parser.value(sqlite3), parser.value(backupSize).toDouble());
        return 0;
    }
    if (parser.value(only) == QStringLiteral("import")) {
        BenchImport(root.path());
        return 0;
    }
    if (parser.value(only) == QStringLiteral("import-bounds")) {
        BenchImportBounds(root.path(), parser.value(program));
        return 0;
    }
    if (parser.value(only) == QStringLiteral("startup")) {
        BenchStartup(parser.value(program), MakeShop(root.path(), 100000));
        return 0;
    }
    if (parser.value(only) == QStringLiteral("report-pages")) {
        BenchReportPages(root.path());
        return 0;
    }
    if (parser.value(only) == QStringLiteral("reports")) {
        BenchReports(root.path(), parser.value(sqlite3));
        return 0;
    }
    if (parser.value(only) == QStringLiteral("space")) {
        BenchSpace(root.path(), 10000, 50000);
        return 0;
    }
    if (parser.value(only) == QStringLiteral("server")) {
        BenchServer(root.path());
        return 0;
    }
    const QString small = BenchWalks(root.path(), parser.value(big).toInt(), parser.value(sqlite3));
    if (parser.isSet(program)) {
        BenchStartup(parser.value(program), small);
    }
    BenchOrders(root.path(), parser.value(sqlite3));
    BenchSystem(root.path(), parser.value(sqlite3), parser.value(backupSize).toDouble());
    BenchImport(root.path());
    BenchImportBounds(root.path(), parser.value(program));
    BenchReports(root.path(), parser.value(sqlite3));
    return 0;
}
