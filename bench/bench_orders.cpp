#include "bench_orders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QTemporaryDir>

#include "core/clock.h"
#include "data/database.h"
#include "data/record_key.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "data_generator.h"
#include "measure.h"
#include "repairs/order_entry.h"
#include "repairs/order_entry_window.h"
#include "repairs/repair_history_window.h"
#include "repairs/slip.h"
#include "repairs/slip_painter.h"
#include "session/current_operator.h"
#include "ui/grid.h"
#include "ui/window_host.h"

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        qFatal("bench: %s failed", what);
    }
}

// Replaces the price list and the technicians with `items` and `technicians` rows.
void FillMasterData(int items, int technicians) {
    Transaction transaction;
    Require(!RunSql(QStringLiteral("delete from xm_table")).isNull(), "clearing items");
    Require(!RunSql(QStringLiteral("delete from wxjs_table")).isNull(), "clearing technicians");
    for (int i = 0; i < items; ++i) {
        Require(!RunSql(QStringLiteral("insert into xm_table values (?, ?, ?)"),
                        {NewRecordKey(), QStringLiteral("维修项目%1").arg(i), 10.0 + i % 500})
                     .isNull(),
                "adding an item");
    }
    for (int i = 0; i < technicians; ++i) {
        Require(!RunSql(QStringLiteral("insert into wxjs_table values (?, ?)"),
                        {NewRecordKey(), QStringLiteral("技师%1").arg(i)})
                     .isNull(),
                "adding a technician");
    }
    Require(transaction.commit().ok(), "committing the master data");
}

// Seconds from creating the entry window to its first paint, and the heap it holds once shown.
std::pair<double, double> OpenEntryWindow() {
    std::vector<double> runs;
    double heap = 0;
    for (int run = 0; run < 7; ++run) {
        const double before = HeapMb();
        QElapsedTimer timer;
        timer.start();
        auto* window = new OrderEntryWindow;
        window->show();
        QApplication::processEvents();
        runs.push_back(timer.nsecsElapsed() / 1e9);
        heap = HeapMb() - before;
        delete window;
        QApplication::processEvents();
    }
    std::sort(runs.begin(), runs.end());
    return {runs[3], heap};
}

void BenchEntryWindow(const QString& root) {
    const QString dir = MakeShop(root, 100, 0);
    OpenShop(dir);
    double seconds[2] = {};
    double heap[2] = {};
    // Alternate the two sizes, since the machine's speed drifts.
    for (int round = 0; round < 3; ++round) {
        for (int big = 0; big < 2; ++big) {
            FillMasterData(big ? 5000 : 10, big ? 200 : 10);
            const auto [s, h] = OpenEntryWindow();
            seconds[big] += s / 3;
            heap[big] = h;
        }
    }
    PrintRow(QStringLiteral("(g) order entry opens, 10 items, 10 technicians"),
             QStringLiteral("%1 ms").arg(seconds[0] * 1000, 0, 'f', 1),
             QStringLiteral("+%1 MB heap").arg(heap[0], 0, 'f', 1));
    PrintRow(QStringLiteral("(g) order entry opens, 5,000 items, 200 technicians"),
             QStringLiteral("%1 ms").arg(seconds[1] * 1000, 0, 'f', 1),
             QStringLiteral("%1 ms more, +%2 MB heap")
                 .arg((seconds[1] - seconds[0]) * 1000, 0, 'f', 1)
                 .arg(heap[1], 0, 'f', 1));
    Database::Close();
}

Order SampleOrder(const QString& plate, int sequence) {
    Order order;
    order.number = OrderDatePart(Today()) + QString::number(sequence);
    order.plate = plate;
    order.owner = QStringLiteral("车主");
    order.operatorName = QStringLiteral("管理员");
    order.technician = QStringLiteral("李师傅");
    order.date = Today();
    order.nextReminder = Today().addMonths(3);
    for (int i = 0; i < 7; ++i) {
        order.lines.append({QStringLiteral("项目%1").arg(i), QString(), 1, 10, 10});
        order.total += 10;
    }
    return order;
}

// Milliseconds of proposing a number and of saving a seven-line order, medians of 21 runs.
std::pair<double, double> NumberAndSave(int firstSequence) {
    Recordset customer = RunSql(QStringLiteral("select kh_cph from kh_table limit 1"));
    Require(!customer.isNull() && !customer.Eof(), "finding a customer");
    const QString plate = customer.Text(0);
    customer.Close();
    const double propose = MedianSeconds(
        21, [] { Require(ProposeOrderSequence(Today()).ok(), "proposing a number"); });
    int sequence = firstSequence;
    const double save = MedianSeconds(21, [&] {
        const DbResult<OrderSave> saved = SaveOrder(SampleOrder(plate, sequence++));
        Require(saved.ok() && *saved == OrderSave::Saved, "saving an order");
    });
    return {propose * 1000, save * 1000};
}

void BenchNumbering(const QString& empty, const QString& large, const QString& sqlite3) {
    OpenShop(empty);
    const auto [proposeEmpty, saveEmpty] = NumberAndSave(100);
    Database::Close();
    OpenShop(large);
    const auto [proposeLarge, saveLarge] = NumberAndSave(100);
    const qint64 orders =
        RunSql(QStringLiteral("select count(*) from kh_wx_table")).Text(0).toLongLong();
    const qint64 lines =
        RunSql(QStringLiteral("select count(*) from kh_wx_mx_table")).Text(0).toLongLong();
    PrintRow(
        QStringLiteral("(h) number proposal, empty / %1 orders, %2 lines").arg(orders).arg(lines),
        QStringLiteral("%1 / %2 ms").arg(proposeEmpty, 0, 'f', 2).arg(proposeLarge, 0, 'f', 2),
        QStringLiteral("%1 ms above empty").arg(proposeLarge - proposeEmpty, 0, 'f', 2));
    PrintRow(QStringLiteral("(h) seven-line order saved, empty / large"),
             QStringLiteral("%1 / %2 ms").arg(saveEmpty, 0, 'f', 2).arg(saveLarge, 0, 'f', 2),
             QStringLiteral("%1 ms above empty (each save waits for the disk)")
                 .arg(saveLarge - saveEmpty, 0, 'f', 2));

    // A vehicle's history: the window filled, against the shell running the same query.
    Recordset busiest = RunSql(QStringLiteral(
        "select kh_wx_cph from kh_wx_table group by kh_wx_cph order by count(*) desc limit 1"));
    const QString plate = busiest.Text(0);
    busiest.Close();
    const QString query =
        QStringLiteral(
            "select kh_wx_code, kh_wx_dh, kh_wx_cph, kh_wx_czname, kh_wx_cx, kh_wx_tele, kh_wx_hj, "
            "kh_wx_czr, kh_wx_txdate, kh_wx_date, kh_wx_wxjs from kh_wx_table where "
            "kh_wx_cph='%1' order by kh_wx_date, length(kh_wx_dh), kh_wx_dh, rowid")
            .arg(plate);
    SideBySide figures(sqlite3, large + QStringLiteral("/database.db"), query);
    for (int run = 0; run < 5; ++run) {
        figures.run([&plate] {
            Require(ShowRepairHistory(nullptr, plate), "showing the history");
            QApplication::processEvents();
        });
    }
    auto* history = ui::WindowHost::find<RepairHistoryWindow>();
    const int rows = history ? history->grid1->rows() - 1 : 0;
    delete history;
    PrintRow(
        QStringLiteral("(i) history of a vehicle (%1 orders) in %2 orders").arg(rows).arg(orders),
        QStringLiteral("%1 ms").arg(figures.ours() * 1000, 0, 'f', 2), figures.ratios());
    Database::Close();
}

void BenchSlipPdf(const QString& root) {
    Slip slip;
    slip.title = SlipTitleFor(QStringLiteral("蓝天"));
    slip.orderNumber = QStringLiteral(" 20261206-001");
    slip.owner = QStringLiteral("张三");
    slip.dateTime = QStringLiteral("2026-12-06 14:05:09");
    for (int i = 0; i < Slip::kLineCount; ++i) {
        slip.lines[i] = {QStringLiteral("更换机油"), QStringLiteral("全合成"),
                         QStringLiteral("1.00"), QStringLiteral("68.00"), QStringLiteral("68.00")};
    }
    const QString path = root + QStringLiteral("/slip.pdf");
    const double seconds = MedianSeconds(11, [&] {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        Require(PrintSlip(slip, printer), "printing the slip");
    });
    PrintRow(QStringLiteral("(j) slip to PDF, seven lines"),
             QStringLiteral("%1 ms").arg(seconds * 1000, 0, 'f', 1));
}

}  // namespace

void BenchOrders(const QString& root, const QString& sqlite3) {
    SetCurrentOperator(QStringLiteral("管理员"));
    BenchEntryWindow(root);
    QElapsedTimer generating;
    generating.start();
    const QString large = MakeShop(root, 100000, 1000000);
    PrintRow(QStringLiteral("(h) generating 1,000,000 orders"),
             QStringLiteral("%1 s").arg(generating.elapsed() / 1000.0, 0, 'f', 1));
    BenchNumbering(MakeShop(root, 100, 0), large, sqlite3);
    BenchSlipPdf(root);
}
