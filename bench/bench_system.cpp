#include "bench_system.h"

#include <sys/statvfs.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTimer>
#include <QUuid>
#include <algorithm>

#include "data/backup.h"
#include "data/compressed_file.h"
#include "data/data_folder.h"
#include "data/database.h"
#include "data/run_sql.h"
#include "data/server_backup.h"
#include "data/server_copy.h"
#include "data/transaction.h"
#include "data_generator.h"
#include "masterdata/backup_procedure.h"
#include "masterdata/master_list.h"
#include "masterdata/master_list_window.h"
#include "measure.h"
#include "support/pg_server.h"
#include "ui/grid.h"
#include "ui/message_box.h"

namespace {

void Exec(const QString& statement, const QVariantList& params = {}) {
    const Recordset done = RunSql(statement, params);
    if (done.isNull()) {
        qFatal("%s: %s", qPrintable(statement), qPrintable(done.error()));
    }
}

void FillPriceList(int items) {
    Exec(QStringLiteral(
             "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
             "insert into xm_table select printf('{%08X-0000-4000-8000-%012X}', i, i * 7919), "
             "'项目' || i || '号', (abs(random()) % 100000) / 100.0 from n"),
         {items});
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Mb(qint64 bytes) {
    return double(bytes) / 1e6;
}

double Seconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

// The longest the event loop went without running a 10 ms tick, while `work` ran.
struct Stall {
    explicit Stall(QObject* owner) : tick(owner) {
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [this] {
            if (last.isValid()) {
                longest = std::max(longest, Seconds(last));
            }
            last.start();
        });
        tick.start();
    }
    QTimer tick;
    QElapsedTimer last;
    double longest = 0;
};

void BenchPriceListOpen(const QString& root, const QString& sqlite3) {
    const QString dir = root + QStringLiteral("/items");
    OpenShop(dir);
    FillPriceList(100000);
    SideBySide figures(sqlite3, Database::FilePath(), MasterListStatement(RepairItemTable()));
    for (int run = 0; run < 5; ++run) {
        MasterListWindow* window = nullptr;
        figures.run([&window] {
            window = new MasterListWindow(MasterListWindow::RepairItems());
            window->show();
            QApplication::processEvents();
        });
        if (window->grid1->rows() != 100001) {
            qFatal("the price list shows %d rows", window->grid1->rows() - 1);
        }
        delete window;
    }
    PrintRow(QStringLiteral("(s1) sqlite3 shell, the price list's statement, 100,000 items"),
             QStringLiteral("%1 s").arg(figures.shell(), 0, 'f', 3));
    PrintRow(QStringLiteral("(s1) Form7 opened and shown with 100,000 items"),
             QStringLiteral("%1 s").arg(figures.ours(), 0, 'f', 3),
             figures.ratios() + QStringLiteral(" (medians of 5)"));
    Database::Close();
    QDir(dir).removeRecursively();
}

void BenchPriceListSave(const QString& root) {
    const QString dir = root + QStringLiteral("/save");
    OpenShop(dir);
    FillPriceList(10000);
    const auto previous = ui::MessageBox::setScriptHandler(
        [](const ui::MessageBox::Message&) { return ui::MessageBox::Answer::Ok; });
    std::vector<double> saves;
    for (int run = 0; run < 3; ++run) {
        auto* window = new MasterListWindow(MasterListWindow::RepairItems());
        window->show();
        QApplication::processEvents();
        for (int row = 1; row < window->grid1->rows(); ++row) {
            window->grid1->setCellText(row, 1, QStringLiteral("改名%1-%2").arg(run).arg(row));
            window->grid1->setCellText(row, 2, QString::number(row * 1.5 + run));
        }
        QElapsedTimer timer;
        timer.start();
        window->Command4_Click();
        saves.push_back(Seconds(timer));
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ui::MessageBox::setScriptHandler(previous);
    const int changed =
        RunSql(QStringLiteral("select count(*) from xm_table where xm_name like '改名2-%'"))
            .Text(0)
            .toInt();
    if (changed != 10000) {
        qFatal("the save changed %d of 10,000 rows", changed);
    }
    PrintRow(QStringLiteral("(s2) Form7 save of 10,000 edited rows, one transaction"),
             QStringLiteral("%1 s").arg(Median(saves), 0, 'f', 3),
             QStringLiteral("median of 3, synchronous=FULL"));
    Database::Close();
    QDir(dir).removeRecursively();
}

double FreeGb(const QString& path) {
    struct statvfs fs {};
    if (statvfs(QFile::encodeName(path).constData(), &fs) != 0) {
        return 0;
    }
    return double(fs.f_bavail) * double(fs.f_frsize) / 1e9;
}

void BenchBackup(const QString& root, const QString& sqlite3, double gigabytes) {
    if (FreeGb(root) < gigabytes * 3.5) {
        PrintRow(QStringLiteral("(s3) backup of a large database"), QStringLiteral("skipped"),
                 QStringLiteral("only %1 GB free").arg(FreeGb(root), 0, 'f', 1));
        return;
    }
    const QString dir = root + QStringLiteral("/big");
    OpenShop(dir);
    // Calls with a long text each, indexed by plate and date, until the file is big enough.
    const qint64 wanted = qint64(gigabytes * 1e9);
    for (int batch = 0; QFileInfo(Database::FilePath()).size() < wanted; ++batch) {
        Transaction transaction;
        Exec(QStringLiteral(
                 "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000) "
                 "insert into kh_tele_table select printf('{%08X-%08X}', ?, i), "
                 "printf('京A%05d', abs(random()) % 100000), '顾客', hex(randomblob(350)), "
                 "'下周来店', '2026-12-06', printf('2026-%02d-%02d', 1 + i % 12, 1 + i % 28), "
                 "'管理员' from n"),
             {batch});
        if (!transaction.commit()) {
            qFatal("cannot fill the large database");
        }
        RunSql(QStringLiteral("pragma wal_checkpoint(truncate)")).Close();
    }
    const QString file = Database::FilePath();
    const double size = QFileInfo(file).size() / 1e9;

    QWidget window;
    window.resize(400, 300);
    window.show();
    QApplication::processEvents();
    std::vector<double> shell, ours, stalls, checks, quick, packed, packedStalls;
    const QString shellCopy = dir + QStringLiteral("/shell-copy.db");
    const QString ourCopy = dir + QStringLiteral("/2026-12-06.db");
    const QString packedCopy = dir + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 6));
    qint64 packedBytes = 0;
    for (int run = 0; run < 3; ++run) {
        // The backup as it is kept now: compressed while the engine checks the copy.
        {
            QFile::remove(packedCopy);
            Stall stall(&window);
            QElapsedTimer timer;
            timer.start();
            const DbStatus made =
                RunWithProgress(&window, QStringLiteral("正在备份数据，请稍候......"),
                                [&](const BackupOptions& options) {
                                    return CopyDatabaseFile(file, packedCopy, options);
                                });
            packed.push_back(Seconds(timer));
            packedStalls.push_back(stall.longest);
            if (!made) {
                qFatal("the compressed backup failed: %s", qPrintable(made.error()));
            }
            packedBytes = QFileInfo(packedCopy).size();
            QFile::remove(packedCopy);
        }
        QFile::remove(shellCopy);
        shell.push_back(
            CommandSeconds(sqlite3, {file, QStringLiteral(".backup '%1'").arg(shellCopy)}));
        QFile::remove(ourCopy);
        Stall stall(&window);
        QElapsedTimer timer;
        timer.start();
        const DbStatus copied = RunWithProgress(
            &window, QStringLiteral("正在备份数据，请稍候......"),
            [&](const BackupOptions& options) { return CopyDatabaseFile(file, ourCopy, options); });
        ours.push_back(Seconds(timer));
        stalls.push_back(stall.longest);
        if (!copied) {
            qFatal("the backup failed: %s", qPrintable(copied.error()));
        }
        // The share of the check: the same check again on the finished copy.
        timer.start();
        if (!CheckDatabaseFile(ourCopy).isEmpty()) {
            qFatal("the copy does not check out");
        }
        checks.push_back(Seconds(timer));
        // The daily background check of the database in use.
        timer.start();
        if (QuickCheckDatabaseFile(file).health != FileCheck::Health::Sound) {
            qFatal("the database does not pass the quick check");
        }
        quick.push_back(Seconds(timer));
    }
    PrintRow(QStringLiteral("(s3) sqlite3 shell .backup, %1 GB").arg(size, 0, 'f', 2),
             QStringLiteral("%1 s").arg(*std::min_element(shell.begin(), shell.end()), 0, 'f', 2),
             QStringLiteral("runs %1 s, %2 s, %3 s")
                 .arg(shell[0], 0, 'f', 2)
                 .arg(shell[1], 0, 'f', 2)
                 .arg(shell[2], 0, 'f', 2));
    const double best = *std::min_element(ours.begin(), ours.end());
    PrintRow(QStringLiteral("(s3) our backup, plain as before: copy, integrity check, rename"),
             QStringLiteral("%1 s").arg(best, 0, 'f', 2),
             QStringLiteral("%1x the shell; runs %2 s, %3 s, %4 s; longest event-loop pause %5 ms")
                 .arg(best / *std::min_element(shell.begin(), shell.end()), 0, 'f', 2)
                 .arg(ours[0], 0, 'f', 2)
                 .arg(ours[1], 0, 'f', 2)
                 .arg(ours[2], 0, 'f', 2)
                 .arg(*std::max_element(stalls.begin(), stalls.end()) * 1000, 0, 'f', 0));
    const double bestPacked = *std::min_element(packed.begin(), packed.end());
    PrintRow(
        QStringLiteral("(s3) our backup compressed: copy, check while compressing, compare"),
        QStringLiteral("%1 s").arg(bestPacked, 0, 'f', 2),
        QStringLiteral("%1x the plain backup above; %2 MB; runs %3 s, %4 s, %5 s; longest "
                       "event-loop pause %6 ms")
            .arg(bestPacked / best, 0, 'f', 2)
            .arg(Mb(packedBytes), 0, 'f', 0)
            .arg(packed[0], 0, 'f', 2)
            .arg(packed[1], 0, 'f', 2)
            .arg(packed[2], 0, 'f', 2)
            .arg(*std::max_element(packedStalls.begin(), packedStalls.end()) * 1000, 0, 'f', 0));
    PrintRow(QStringLiteral("(s3) of which the integrity check of the copy"),
             QStringLiteral("%1 s").arg(*std::min_element(checks.begin(), checks.end()), 0, 'f', 2),
             QStringLiteral("best of 3"));
    PrintRow(QStringLiteral("(s3) daily quick check of the database"),
             QStringLiteral("%1 s").arg(*std::min_element(quick.begin(), quick.end()), 0, 'f', 2),
             QStringLiteral("best of 3, on its own read-only connection"));
    Database::Close();
    QDir(dir).removeRecursively();
}

// What opening the shop's folder costs, and the lock file's share of it.
void BenchOpen(const QString& root) {
    const QString dir = root + QStringLiteral("/open");
    OpenShop(dir);
    Database::Close();
    const double open = MedianSeconds(50, [&dir] {
        OpenShop(dir);
        Database::Close();
    });
    const double lock = MedianSeconds(50, [&dir] { FolderLock held(dir); });
    PrintRow(QStringLiteral("(s4) opening the data folder and its database"),
             QStringLiteral("%1 ms").arg(open * 1000, 0, 'f', 2),
             QStringLiteral("median of 50, closing included"));
    PrintRow(QStringLiteral("(s4) of which taking and giving up the folder's lock file"),
             QStringLiteral("%1 ms").arg(lock * 1000, 0, 'f', 3), QStringLiteral("median of 50"));
    QDir(dir).removeRecursively();
}

}  // namespace

namespace {

// A day of a shop's work: new orders with their lines, calls, and customers whose reminder moved
// on. Keys are random, as the program makes them, so the rows land all over the key indexes.
void WorkADay(int day, int orders, int calls, int customers) {
    Transaction transaction;
    const QString date = QDate(2026, 12, 6).addDays(day).toString(QStringLiteral("yyyy-MM-dd"));
    auto key = [] { return QUuid::createUuid().toString(QUuid::WithBraces).toUpper(); };
    for (int i = 0; i < orders; ++i) {
        const QString number = QStringLiteral("D%1%2")
                                   .arg(day, 3, 10, QLatin1Char('0'))
                                   .arg(i, 4, 10, QLatin1Char('0'));
        Exec(QStringLiteral(
                 "insert into kh_wx_table (kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, "
                 "kh_wx_hj, kh_wx_date, kh_wx_czr) select ?, ?, kh_cph, kh_czname, 380, ?, "
                 "'管理员' from kh_table where _rowid_ = 1 + abs(random()) % ?"),
             {key(), number, date, customers});
        for (int line = 0; line < 4; ++line) {
            Exec(
                QStringLiteral("insert into kh_wx_mx_table (kh_wx_mx_code, kh_wx_mx_dh, "
                               "kh_wx_mx_date, kh_wx_mx_xm, kh_wx_mx_sl, kh_wx_mx_dj, kh_wx_mx_hj) "
                               "values (?, ?, ?, '更换机油', 1, 95, 95)"),
                {key(), number, date});
        }
    }
    for (int i = 0; i < calls; ++i) {
        Exec(QStringLiteral("insert into kh_tele_table (kh_tele_code, kh_tele_cph, kh_tele_txnr, "
                            "kh_tele_date) select ?, kh_cph, '已提醒车主按时保养', ? from kh_table "
                            "where _rowid_ = 1 + abs(random()) % ?"),
             {key(), date, customers});
        Exec(QStringLiteral("update kh_table set kh_txdate = date(?, '+90 days'), kh_sfdgdh = '1' "
                            "where _rowid_ = 1 + abs(random()) % ?"),
             {date, customers});
    }
    if (!transaction.commit()) {
        qFatal("cannot record a day's work");
    }
    RunSql(QStringLiteral("pragma wal_checkpoint(truncate)")).Close();
}

}  // namespace

// How much room a shop and its backups take: the database of a shop of `customers` customers,
// `orders` orders and as many recorded calls, its daily backup, plain as earlier versions kept
// it and compressed as now, and the backup folder when it is full (the 23 backups kept plus the
// database itself), measured over 23 days of work. Also what keeping each page once across the
// days would take.
void BenchSpace(const QString& root, int customers, int orders) {
    const QString dir = MakeShop(root, customers, orders);
    OpenShop(dir);
    {
        Transaction transaction;
        Exec(QStringLiteral(
                 "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                 "insert into kh_tele_table select printf('{%08X-0000-4000-8000-%012X}', i, i), "
                 "kh_cph, kh_czname, '已提醒车主按时保养，车主说下周来店', '', "
                 "date('2020-01-01', '+' || (i % 2500) || ' days'), "
                 "date('2020-01-01', '+' || (i % 2500) || ' days'), '管理员' "
                 "from n join kh_table on kh_table._rowid_ = 1 + i % ?"),
             {orders, customers});
        if (!transaction.commit()) {
            qFatal("cannot record the calls");
        }
    }
    RunSql(QStringLiteral("pragma wal_checkpoint(truncate)")).Close();
    const QString file = Database::FilePath();
    const QString plain = dir + QStringLiteral("/2026-12-06.db");
    QElapsedTimer timer;
    timer.start();
    if (!CopyDatabaseFile(file, plain, BackupOptions{})) {
        qFatal("the backup failed");
    }
    const double plainSeconds = Seconds(timer);
    const QString packed = dir + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 6));
    timer.start();
    if (const DbStatus made = CopyDatabaseFile(file, packed, BackupOptions{}); !made) {
        qFatal("the compressed backup failed: %s", qPrintable(made.error()));
    }
    const double packedSeconds = Seconds(timer);
    const qint64 database = QFileInfo(file).size();
    const qint64 plainBytes = QFileInfo(plain).size();
    const qint64 packedBytes = QFileInfo(packed).size();
    PrintRow(QStringLiteral("(s5) database of %1 customers, %2 orders, %2 calls")
                 .arg(customers)
                 .arg(orders),
             QStringLiteral("%1 MB").arg(Mb(database), 0, 'f', 1),
             QStringLiteral("its daily backup: plain %1 MB in %2 s, compressed %3 MB in %4 s "
                            "(%5x smaller)")
                 .arg(Mb(plainBytes), 0, 'f', 1)
                 .arg(plainSeconds, 0, 'f', 2)
                 .arg(Mb(packedBytes), 0, 'f', 1)
                 .arg(packedSeconds, 0, 'f', 2)
                 .arg(double(plainBytes) / double(packedBytes), 0, 'f', 2));

    // The level: size against speed, on this shop's copy.
    QStringList levels;
    {
        QFile in(plain);
        if (!in.open(QIODevice::ReadOnly)) {
            qFatal("cannot read the copy");
        }
        for (const int level : {1, 3, 6, 9}) {
            const QString out = dir + QStringLiteral("/level.zst");
            timer.start();
            if (!compressed_file::Compress(in, out, level)) {
                qFatal("cannot compress");
            }
            const double seconds = Seconds(timer);
            levels << QStringLiteral("%1: %2x at %3 MB/s")
                          .arg(level)
                          .arg(double(plainBytes) / double(QFileInfo(out).size()), 0, 'f', 2)
                          .arg(Mb(plainBytes) / seconds, 0, 'f', 0);
            QFile::remove(out);
        }
    }
    PrintRow(QStringLiteral("(s5) zstd levels on the copy"),
             QStringLiteral("level %1 chosen").arg(compressed_file::kBackupLevel),
             levels.join(QStringLiteral("; ")));
    QFile::remove(plain);

    // 23 days of work, a backup after each; and every page of the 23 copies kept once.
    const QString days = dir + QStringLiteral("/days");
    QDir().mkpath(days);
    QSet<QByteArray> seen;
    const QString unique = dir + QStringLiteral("/unique-pages");
    QFile pages(unique);
    if (!pages.open(QIODevice::WriteOnly)) {
        qFatal("cannot write the pages");
    }
    qint64 packedDays = 0;
    qint64 largestDay = 0;
    constexpr int kDays = 23;
    for (int day = 0; day < kDays; ++day) {
        if (day > 0) {
            WorkADay(day, 30, 40, customers);
        }
        const QString backup =
            days + QLatin1Char('/') + BackupFileName(QDate(2026, 12, 6).addDays(day));
        if (!CopyDatabaseFile(file, backup, BackupOptions{})) {
            qFatal("a day's backup failed");
        }
        packedDays += QFileInfo(backup).size();
        largestDay = std::max(largestDay, QFileInfo(file).size());
        QFile live(file);
        if (!live.open(QIODevice::ReadOnly)) {
            qFatal("cannot read the database");
        }
        for (QByteArray page; !(page = live.read(4096)).isEmpty();) {
            const QByteArray hash = QCryptographicHash::hash(page, QCryptographicHash::Sha1);
            if (!seen.contains(hash)) {
                seen.insert(hash);
                pages.write(page);
            }
        }
    }
    pages.close();
    const qint64 uniqueBytes = QFileInfo(unique).size();
    qint64 uniquePacked = 0;
    {
        QFile in(unique);
        in.open(QIODevice::ReadOnly);
        const QString out = unique + QStringLiteral(".zst");
        if (!compressed_file::Compress(in, out, compressed_file::kBackupLevel)) {
            qFatal("cannot compress the pages");
        }
        uniquePacked = QFileInfo(out).size();
    }
    const qint64 now = QFileInfo(file).size();
    PrintRow(QStringLiteral("(s5) folder with 23 backups, before: plain copies"),
             QStringLiteral("%1 MB").arg(Mb(now + kDays * plainBytes), 0, 'f', 0),
             QStringLiteral("%1x the database")
                 .arg(double(now + kDays * plainBytes) / double(now), 0, 'f', 1));
    PrintRow(QStringLiteral("(s5) folder with 23 backups, after: compressed, one file each"),
             QStringLiteral("%1 MB").arg(Mb(now + packedDays), 0, 'f', 0),
             QStringLiteral("%1x the database (goal 8x); 23 days of 30 orders and 40 calls each")
                 .arg(double(now + packedDays) / double(now), 0, 'f', 1));
    PrintRow(QStringLiteral("(s5) the 23 backups' pages, each page kept once"),
             QStringLiteral("%1 MB").arg(Mb(uniquePacked), 0, 'f', 0),
             QStringLiteral("%1 MB before compression, %2 distinct pages of %3; %4x the database")
                 .arg(Mb(uniqueBytes), 0, 'f', 0)
                 .arg(seen.size())
                 .arg(kDays * (largestDay / 4096))
                 .arg(double(uniquePacked) / double(now), 0, 'f', 2));
    Database::Close();

    // The same shop on a server: its backups are the server tools' dumps, compressed by them.
    PgServer server(PgServer::Durability::Throwaway);
    if (server.ok()) {
        const QString uri = server.uri(server.createDatabase());
        OpenShop(dir);
        const CopyReport copied = CopyShopToServer(uri);
        Database::Close();
        const QString serverDir = root + QStringLiteral("/server-shop");
        QDir().mkpath(serverDir);
        const QString dump = serverDir + QStringLiteral("/2026-12-06.dump");
        DbStatus dumped = DbStatus::failure(copied.message);
        if (copied.ok && Database::OpenServer(uri, serverDir).ok) {
            const DbResult<ServerBackupTarget> target =
                ServerBackupTargetFor(CurrentServerBackupSource());
            dumped = target ? DumpServerDatabase(*target, dump) : DbStatus::failure(target.error());
            Database::Close();
        }
        if (dumped) {
            const qint64 bytes = QFileInfo(dump).size();
            PrintRow(QStringLiteral("(s5) the same shop on a server: 23 dumps"),
                     QStringLiteral("%1 MB").arg(Mb(23 * bytes), 0, 'f', 0),
                     QStringLiteral("one dump %1 MB (pg_dump --format=custom); %2x the SQLite file")
                         .arg(Mb(bytes), 0, 'f', 1)
                         .arg(double(23 * bytes) / double(now), 0, 'f', 1));
        } else {
            PrintRow(QStringLiteral("(s5) the same shop on a server"), QStringLiteral("skipped"),
                     dumped.error());
        }
        QDir(serverDir).removeRecursively();
    }
    if (!qEnvironmentVariableIsSet("RUVASO_BENCH_KEEP")) {
        QDir(dir).removeRecursively();
    }
}

void BenchSystem(const QString& root, const QString& sqlite3, double backupGigabytes) {
    BenchOpen(root);
    BenchPriceListOpen(root, sqlite3);
    BenchPriceListSave(root);
    BenchBackup(root, sqlite3, backupGigabytes);
    BenchSpace(root, 10000, 50000);
}
