#include "bench_import.h"

#include <malloc.h>
#include <xlsxwriter.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "core/date_text.h"
#include "data/database.h"
#include "data_generator.h"
#include "import/audit.h"
#include "import/customer_import.h"
#include "import/import_window.h"
#include "import/sheet_file.h"
#include "measure.h"
#include "ui/file_dialog.h"
#include "ui/grid.h"
#include "ui/input_box.h"

namespace {

// A sheet of customers as a shop would keep it: unique plates, dates the application turns into
// date cells, telephone numbers it turns into number cells, identity numbers kept as text.
void WriteCustomersCsv(const QString& path, int customers) {
    static const QStringList surnames = {"张", "王", "李", "赵", "刘",
                                         "陈", "杨", "黄", "周", "吴"};
    static const QStringList given = {"伟", "芳", "娜", "敏", "静", "强", "磊", "洋", "艳", "杰"};
    static const QStringList models = {"大众帕萨特", "丰田卡罗拉", "本田雅阁", "别克英朗",
                                       "日产轩逸"};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qFatal("cannot write %s", qPrintable(path));
    }
    QByteArray text = SheetHeadings().join(QLatin1Char(',')).toUtf8() + '\n';
    const QDate first(2020, 1, 1);
    for (int i = 0; i < customers; ++i) {
        const QString line = QStringLiteral("%1,京%2%3,%4%5,%6,139%7,%8,11010119%9,%10\n")
                                 .arg(DateText(first.addDays(i % 2500)))
                                 .arg(QChar(u'A' + i / 100000 % 26))
                                 .arg(i % 100000, 5, 10, QLatin1Char('0'))
                                 .arg(surnames[i % 10], given[i / 10 % 10])
                                 .arg(i % 2 ? QStringLiteral("女士") : QStringLiteral("先生"))
                                 .arg(i, 8, 10, QLatin1Char('0'))
                                 .arg(DateText(first.addDays(i % 1800)))
                                 .arg(1000000000LL + i)
                                 .arg(models[i % models.size()]);
        text += line.toUtf8();
    }
    file.write(text);
}

// Converts with the office suite, the way make_workbooks.sh makes the test workbooks.
QString Convert(const QString& soffice, const QString& csv, const QString& target,
                const QString& profile) {
    QProcess process;
    process.setProgram(soffice);
    process.setArguments(
        {QStringLiteral("-env:UserInstallation=file://") + profile, QStringLiteral("--headless"),
         QStringLiteral("--infilter=CSV:44,34,76,1,1/1/2/1/3/1/4/1/5/1/6/1/7/2/8/1"),
         QStringLiteral("--convert-to"), target, QStringLiteral("--outdir"), QFileInfo(csv).path(),
         csv});
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    process.waitForFinished(-1);
    const QString suffix = target.section(QLatin1Char(':'), 0, 0);
    const QString out = QFileInfo(csv).path() + QLatin1Char('/') +
                        QFileInfo(csv).completeBaseName() + QLatin1Char('.') + suffix;
    if (!QFile::exists(out)) {
        qFatal("the office suite made no %s: %s", qPrintable(out), process.readAll().constData());
    }
    return out;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The same customers as a streaming writer exports them: every text an inline string, as the
// writing library's constant-memory mode does.
QString WriteInlineStringsXlsx(const QString& csv, const QString& path) {
    QFile in(csv);
    if (!in.open(QIODevice::ReadOnly)) {
        qFatal("cannot read %s", qPrintable(csv));
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy-mm-dd");
    lxw_row_t row = 0;
    while (!in.atEnd()) {
        const QStringList cells =
            QString::fromUtf8(in.readLine()).trimmed().split(QLatin1Char(','));
        for (int column = 0; column < cells.size(); ++column) {
            const QString& text = cells[column];
            const QDate date = QDate::fromString(text, Qt::ISODate);
            if (row > 0 && date.isValid()) {
                lxw_datetime when{date.year(), date.month(), date.day(), 0, 0, 0};
                worksheet_write_datetime(sheet, row, lxw_col_t(column), &when, dateFormat);
            } else if (row > 0 && column == kTelephoneColumn) {
                worksheet_write_number(sheet, row, lxw_col_t(column), text.toDouble(), nullptr);
            } else {
                worksheet_write_string(sheet, row, lxw_col_t(column), text.toUtf8().constData(),
                                       nullptr);
            }
        }
        ++row;
    }
    if (workbook_close(book) != LXW_NO_ERROR) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

// Our reader against the office suite converting the same file to CSV: seconds and the most
// memory each held. `label` says what kind of file it is, after the row count.
void BenchAgainstOffice(const QString& soffice, const QString& profile, const QString& path,
                        int customers, const QString& label) {
    // The machine is shared with other work: processor time is the figure that holds still.
    std::vector<double> ours, office, ourCpu, officeCpu;
    double ourPeak = 0;
    double officePeak = 0;
    const QString out = QFileInfo(path).path() + QStringLiteral("/csv");
    for (int run = 0; run < 3; ++run) {
        // What the allocator kept from the run before would hide this run's peak.
        malloc_trim(0);
        const double before = ResidentMb();
        ResetPeakResident();
        SheetFile sheet;
        const double cpu = CpuSeconds();
        ours.push_back(MedianSeconds(1, [&] { sheet = ReadSheetFile(path); }));
        ourCpu.push_back(CpuSeconds() - cpu);
        ourPeak = std::max(ourPeak, PeakResidentMb() - before);
        if (!sheet.ok() || int(sheet.rows.size()) != customers || sheet.rows[1][2].isEmpty()) {
            qFatal("read %zu rows of %d from %s: %s", sheet.rows.size(), customers,
                   qPrintable(path), qPrintable(sheet.error));
        }
        const CommandCost cost =
            RunCommand(soffice, {QStringLiteral("-env:UserInstallation=file://") + profile,
                                 QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                 QStringLiteral("csv"), QStringLiteral("--outdir"), out, path});
        if (cost.seconds < 0) {
            qFatal("the office suite could not convert %s", qPrintable(path));
        }
        office.push_back(cost.seconds);
        officeCpu.push_back(cost.cpuSeconds);
        officePeak = std::max(officePeak, cost.peakMb);
    }
    const QString what = QStringLiteral("(i) .%1, %2 rows%3: ")
                             .arg(QFileInfo(path).suffix())
                             .arg(customers)
                             .arg(label);
    PrintRow(what + QStringLiteral("soffice --convert-to csv"),
             QStringLiteral("%1 s").arg(Median(office), 0, 'f', 3),
             QStringLiteral("%1 s processor time; peak %2 MB resident")
                 .arg(Median(officeCpu), 0, 'f', 3)
                 .arg(officePeak, 0, 'f', 1));
    PrintRow(what + QStringLiteral("ReadSheetFile"),
             QStringLiteral("%1 s").arg(Median(ours), 0, 'f', 3),
             QStringLiteral("%1 s processor time, %2x the office suite's; peak +%3 MB resident")
                 .arg(Median(ourCpu), 0, 'f', 3)
                 .arg(Median(ourCpu) / Median(officeCpu), 0, 'f', 2)
                 .arg(ourPeak, 0, 'f', 1));
}

void BenchFile(const QString& root, const QString& path, int customers,
               const std::function<void(const QString&)>& libraryAlone) {
    const QString kind = QFileInfo(path).suffix();
    std::vector<double> library, ours, audit, importing, again;
    double heap = 0;
    for (int run = 0; run < 3; ++run) {
        if (libraryAlone) {
            library.push_back(MedianSeconds(1, [&] { libraryAlone(path); }));
        }
        const double before = HeapMb();
        SheetFile sheet;
        ours.push_back(MedianSeconds(1, [&] { sheet = ReadSheetFile(path); }));
        heap = std::max(heap, HeapMb() - before);
        if (!sheet.ok() || int(sheet.rows.size()) != customers) {
            qFatal("read %zu rows of %d from %s: %s", sheet.rows.size(), customers,
                   qPrintable(path), qPrintable(sheet.error));
        }

        const QString shop = root + QStringLiteral("/import-%1-%2").arg(kind).arg(run);
        OpenShop(shop);
        AuditResult audited;
        audit.push_back(MedianSeconds(1, [&] { audited = AuditSheet(sheet.rows); }));
        ImportResult imported;
        importing.push_back(MedianSeconds(1, [&] { imported = ImportSheet(sheet.rows); }));
        ImportResult repeated;
        again.push_back(MedianSeconds(1, [&] { repeated = ImportSheet(sheet.rows); }));
        Database::Close();
        QDir(shop).removeRecursively();
        if (audited.outcome != AuditResult::Outcome::Passed || imported.stored != customers ||
            repeated.plateAlreadyStored != customers) {
            qFatal("the %s import stored %lld of %d: %s", qPrintable(kind),
                   qlonglong(imported.stored), customers, qPrintable(imported.message));
        }
    }
    const double load = Median(ours);
    const QString what = QStringLiteral("(i) .%1, %2 rows: ").arg(kind).arg(customers);
    QString versus;
    if (libraryAlone) {
        const double lib = Median(library);
        PrintRow(what + QStringLiteral("the reader library alone"),
                 QStringLiteral("%1 s").arg(lib, 0, 'f', 3));
        versus = QStringLiteral("%1x the library; ").arg(load / lib, 0, 'f', 2);
    }
    PrintRow(what + QStringLiteral("ReadSheetFile"), QStringLiteral("%1 s").arg(load, 0, 'f', 3),
             versus + QStringLiteral("rows hold +%1 MB heap").arg(heap, 0, 'f', 1));
    PrintRow(what + QStringLiteral("audit + import into an empty shop"),
             QStringLiteral("%1 s").arg(Median(audit) + Median(importing), 0, 'f', 3),
             QStringLiteral("audit %1 s, import %2 s")
                 .arg(Median(audit), 0, 'f', 3)
                 .arg(Median(importing), 0, 'f', 3));
    PrintRow(what + QStringLiteral("the same sheet again, all stored"),
             QStringLiteral("%1 s").arg(Median(again), 0, 'f', 3));
}

// What the import window holds for a loaded 100,000-row sheet, and the sheet grown to the most
// rows it may have, scrolled to its end.
void BenchImportWindow(const QString& dir) {
    const QString csv = dir + QStringLiteral("/window.csv");
    WriteCustomersCsv(csv, 100000);
    ui::FileDialog::setScriptHandler([csv](const ui::FileDialog::Request&) { return csv; });
    ui::InputBox::setScriptHandler(
        [](const ui::InputBox::Request&) { return QStringLiteral("10000000"); });
    auto* window = new ImportWindow;
    window->resize(1000, 700);
    window->show();
    QApplication::processEvents();
    const double heap = HeapMb();
    const double resident = ResidentMb();
    const double load = MedianSeconds(1, [window] {
        window->menuExceltoExport->trigger();
        QApplication::processEvents();
    });
    if (window->grid1->rows() != 100001) {
        qFatal("the window loaded %d rows", window->grid1->rows() - 1);
    }
    PrintRow(QStringLiteral("(i) import window: a 100,000-row .csv loaded"),
             QStringLiteral("%1 s").arg(load, 0, 'f', 3),
             QStringLiteral("the sheet holds +%1 MB heap, +%2 MB resident")
                 .arg(HeapMb() - heap, 0, 'f', 1)
                 .arg(ResidentMb() - resident, 0, 'f', 1));
    const double grown = ResidentMb();
    const double seconds = MedianSeconds(1, [window] {
        window->mnuSetRows->trigger();
        window->grid1->setCurrentCell(window->grid1->rows() - 1, 1);
        QApplication::processEvents();
    });
    PrintRow(QStringLiteral("(i) import window: rows set to 10,000,000, scrolled to the end"),
             QStringLiteral("%1 s").arg(seconds, 0, 'f', 3),
             QStringLiteral("+%1 MB resident").arg(ResidentMb() - grown, 0, 'f', 1));
    delete window;
    ui::FileDialog::setScriptHandler({});
    ui::InputBox::setScriptHandler({});
}

}  // namespace

void BenchImport(const QString& root) {
    BenchImportWindow(root);
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        PrintRow(QStringLiteral("(i) import"), QStringLiteral("skipped"),
                 QStringLiteral("soffice not found (libreoffice-calc-nogui)"));
        return;
    }
    const QString dir = root + QStringLiteral("/sheets");
    QDir().mkpath(dir);
    const QString profile = root + QStringLiteral("/office-profile");
    // An .xls sheet holds at most 65,536 rows, the heading row included.
    constexpr int kXlsxRows = 100000;
    constexpr int kXlsRows = 65535;
    QElapsedTimer making;
    making.start();
    WriteCustomersCsv(dir + QStringLiteral("/customers.csv"), kXlsxRows);
    WriteCustomersCsv(dir + QStringLiteral("/legacy.csv"), kXlsRows);
    const QString xlsx =
        Convert(soffice, dir + QStringLiteral("/customers.csv"), QStringLiteral("xlsx"), profile);
    const QString xls = Convert(soffice, dir + QStringLiteral("/legacy.csv"),
                                QStringLiteral("xls:MS Excel 97"), profile);
    PrintRow(QStringLiteral("(i) making the workbooks with the office suite"),
             QStringLiteral("%1 s").arg(making.elapsed() / 1000.0, 0, 'f', 1),
             QStringLiteral(".xlsx %1 KB, .xls %2 KB")
                 .arg(QFileInfo(xlsx).size() / 1024)
                 .arg(QFileInfo(xls).size() / 1024));
    const QString inlineXlsx = WriteInlineStringsXlsx(dir + QStringLiteral("/customers.csv"),
                                                      dir + QStringLiteral("/inline.xlsx"));
    BenchAgainstOffice(soffice, profile, xlsx, kXlsxRows, QStringLiteral(", shared strings"));
    BenchAgainstOffice(soffice, profile, inlineXlsx, kXlsxRows, QStringLiteral(", inline strings"));
    BenchAgainstOffice(soffice, profile, xls, kXlsRows, {});
    BenchFile(root, xlsx, kXlsxRows, {});
    BenchFile(root, xls, kXlsRows, {});
}
