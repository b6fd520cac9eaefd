#include "bench_import_bounds.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/date_text.h"
#include "measure.h"

extern char** environ;

namespace {

// Writes a zip archive of the given parts.
void Zip(const QList<std::pair<QString, QByteArray>>& parts, const QString& path) {
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (zip == nullptr) {
        qFatal("cannot create %s", qPrintable(path));
    }
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source =
            zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (source == nullptr ||
            zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            qFatal("cannot add %s", qPrintable(name));
        }
    }
    if (zip_close(zip) != 0) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

QByteArray Escaped(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

// An .xlsx laid out as the office suite writes one: texts in the shared strings, dates and
// telephone numbers as number cells, dates with a date style.
QString Xlsx(const QString& path, const QByteArray& sheetData, const QByteArray& strings,
             qint64 stringCount) {
    const QByteArray ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray types =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
        "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/></Types>";
    Zip({{QStringLiteral("[Content_Types].xml"), types},
         {QStringLiteral("_rels/.rels"),
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"" +
              ns + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
         {QStringLiteral("xl/_rels/workbook.xml.rels"),
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"" +
              ns +
              "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
              "<Relationship Id=\"rId2\" Type=\"" +
              ns +
              "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
              "<Relationship Id=\"rId3\" Type=\"" +
              ns + "/styles\" Target=\"styles.xml\"/></Relationships>"},
         {QStringLiteral("xl/workbook.xml"),
          "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + ns +
              "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
              "</workbook>"},
         {QStringLiteral("xl/styles.xml"),
          "<styleSheet xmlns=\"" + main +
              "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy\\-mm\\-dd\"/>"
              "</numFmts><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/>"
              "</cellXfs></styleSheet>"},
         {QStringLiteral("xl/worksheets/sheet1.xml"),
          "<worksheet xmlns=\"" + main + "\"><sheetData>" + sheetData + "</sheetData></worksheet>"},
         {QStringLiteral("xl/sharedStrings.xml"), "<sst xmlns=\"" + main + "\" uniqueCount=\"" +
                                                      QByteArray::number(stringCount) + "\">" +
                                                      strings + "</sst>"}},
        path);
    return path;
}

// `customers` customers as a shop keeps them, each plate and identity number its own string.
QString CustomersXlsx(const QString& path, int customers) {
    static const QStringList surnames = {"张", "王", "李", "赵", "刘",
                                         "陈", "杨", "黄", "周", "吴"};
    static const QStringList given = {"伟", "芳", "娜", "敏", "静", "强", "磊", "洋", "艳", "杰"};
    static const QStringList models = {"大众帕萨特", "丰田卡罗拉", "本田雅阁", "别克英朗",
                                       "日产轩逸"};
    QByteArray strings;
    qint64 count = 0;
    auto add = [&](const QString& text) {
        strings += "<si><t>" + Escaped(text) + "</t></si>";
        return count++;
    };
    // The shared texts first, then one plate and one identity number per customer.
    QList<qint64> headings, names, sexes, modelStrings;
    for (const char* heading :
         {"提醒日期", "车牌号", "车主姓名", "性别", "联系电话", "登记日期", "身份证号", "车型"}) {
        headings << add(QString::fromUtf8(heading));
    }
    for (int i = 0; i < 100; ++i) {
        names << add(surnames[i % 10] + given[i / 10 % 10]);
    }
    sexes << add(QStringLiteral("先生")) << add(QStringLiteral("女士"));
    for (const QString& model : models) {
        modelStrings << add(model);
    }
    QByteArray sheet = "<row r=\"1\">";
    for (int c = 0; c < 8; ++c) {
        sheet += "<c r=\"" + QByteArray(1, char('A' + c)) + "1\" t=\"s\"><v>" +
                 QByteArray::number(headings[c]) + "</v></c>";
    }
    sheet += "</row>";
    const QDate origin(1899, 12, 30);
    const QDate first(2020, 1, 1);
    for (int i = 0; i < customers; ++i) {
        const QByteArray r = QByteArray::number(i + 2);
        const qint64 plate = add(QStringLiteral("京%1%2")
                                     .arg(QChar(u'A' + i / 100000 % 26))
                                     .arg(i % 100000, 5, 10, QLatin1Char('0')));
        const qint64 identity = add(QStringLiteral("11010119%1").arg(1000000000LL + i));
        auto number = [&](char column, qint64 value, bool date) {
            return "<c r=\"" + QByteArray(1, column) + r + "\"" + (date ? " s=\"1\"" : "") +
                   "><v>" + QByteArray::number(value) + "</v></c>";
        };
        auto text = [&](char column, qint64 index) {
            return "<c r=\"" + QByteArray(1, column) + r + "\" t=\"s\"><v>" +
                   QByteArray::number(index) + "</v></c>";
        };
        sheet += "<row r=\"" + r + "\">" +
                 number('A', origin.daysTo(first.addDays(i % 2500)), true) + text('B', plate) +
                 text('C', names[i % 100]) + text('D', sexes[i % 2]) +
                 number('E', 13900000000LL + i, false) +
                 number('F', origin.daysTo(first.addDays(i % 1800)), true) + text('G', identity) +
                 text('H', modelStrings[i % 5]) + "</row>";
    }
    return Xlsx(path, sheet, strings, count);
}

QByteArray InlineRow(qint64 row, const QList<QByteArray>& texts) {
    QByteArray xml = "<row r=\"" + QByteArray::number(row) + "\">";
    for (const QByteArray& text : texts) {
        xml += "<c t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
    }
    return xml + "</row>";
}

QString Ods(const QString& path, const QByteArray& rows) {
    Zip({{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
         {QStringLiteral("content.xml"),
          "<office:document-content "
          "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
          "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
          "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
          "<office:body><office:spreadsheet><table:table table:name=\"客户\">" +
              rows +
              "</table:table></office:spreadsheet></office:body></office:document-content>"}},
        path);
    return path;
}

QByteArray OdsCell(const QByteArray& text, int repeat = 1) {
    return "<table:table-cell table:number-columns-repeated=\"" + QByteArray::number(repeat) +
           "\" office:value-type=\"string\"><text:p>" + text + "</text:p></table:table-cell>";
}

QString Kb(const QString& path) {
    return QStringLiteral("%1 KB").arg(double(QFileInfo(path).size()) / 1024, 0, 'f', 1);
}

// Runs a command to its end, its output to /dev/null, and returns its seconds and the most
// memory it held, read from its own memory map as it runs. The child is spawned, so the first
// reading is already of the program: a forked copy of this process, or what the kernel keeps
// for a child's whole life, would count this process's memory.
CommandCost RunPolled(const QString& program, const QStringList& arguments, int& status) {
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString& argument : arguments) {
        texts.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    CommandCost cost;
    status = -1;
    if (spawned != 0) {
        return cost;
    }
    const QString statusFile = QStringLiteral("/proc/%1/status").arg(pid);
    int wstatus = 0;
    for (;;) {
        QFile file(statusFile);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.startsWith("VmHWM:")) {
                    cost.peakMb = std::max(
                        cost.peakMb, line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024);
                }
            }
        }
        if (waitpid(pid, &wstatus, WNOHANG) == pid) {
            break;
        }
        usleep(2000);
    }
    cost.seconds = double(timer.nsecsElapsed()) / 1e9;
    status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return cost;
}

// The program run the way a script runs it: the median seconds and the most memory.
void Figure(const QString& program, const QString& what, const QStringList& arguments,
            const QString& note, int runs = 3) {
    std::vector<double> seconds;
    double peak = 0;
    int status = 0;
    for (int run = 0; run < runs; ++run) {
        const CommandCost cost = RunPolled(program, arguments, status);
        seconds.push_back(cost.seconds);
        peak = std::max(peak, cost.peakMb);
    }
    PrintRow(what, QStringLiteral("%1 s").arg(SideBySide::Median(seconds), 0, 'f', 3),
             QStringLiteral("peak %1 MB resident, status %2; %3")
                 .arg(peak, 0, 'f', 1)
                 .arg(status)
                 .arg(note));
}

}  // namespace

void BenchImportBounds(const QString& root, const QString& program) {
    if (program.isEmpty()) {
        PrintRow(QStringLiteral("(j) import bounds"), QStringLiteral("skipped"),
                 QStringLiteral("--ruvaso not given"));
        return;
    }
    const QString dir = root + QStringLiteral("/bounds");
    QDir().mkpath(dir);
    const QByteArray million(1000000, 'x');

    QByteArray shared;
    for (int row = 1; row <= 125; ++row) {
        shared += "<row r=\"" + QByteArray::number(row) + "\">";
        for (int column = 0; column < 8; ++column) {
            shared += "<c t=\"s\"><v>0</v></c>";
        }
        shared += "</row>";
    }
    const QString amplified =
        Xlsx(dir + QStringLiteral("/shared.xlsx"), shared, "<si><t>" + million + "</t></si>", 1);
    const QString repeated = Ods(dir + QStringLiteral("/repeated.ods"),
                                 "<table:table-row table:number-rows-repeated=\"1000\">" +
                                     OdsCell(million, 8) + "</table:table-row>");
    const QString rows =
        Ods(dir + QStringLiteral("/rows.ods"),
            "<table:table-row table:number-rows-repeated=\"1048575\">" + OdsCell("京A12345") +
                OdsCell("京A12345") + OdsCell("张伟") + OdsCell("先生") + OdsCell("13912345678") +
                OdsCell("2026-01-01") + OdsCell("110101199003071234") + OdsCell("大众帕萨特") +
                "</table:table-row>");
    QByteArray fieldRows;
    for (int row = 1; row <= 90; ++row) {
        fieldRows += InlineRow(row, {"2026-01-01", "京A" + QByteArray::number(row), million});
    }
    const QString fields = Xlsx(dir + QStringLiteral("/fields.xlsx"), fieldRows, {}, 0);
    for (const QString& bomb : {amplified, repeated, rows, fields}) {
        Figure(program, QStringLiteral("(j) --dry-run, bomb %1").arg(QFileInfo(bomb).fileName()),
               {QStringLiteral("--import"), bomb, QStringLiteral("--dry-run")}, Kb(bomb), 1);
    }

    for (const int customers : {100000, 1048575}) {
        const QString workbook =
            CustomersXlsx(dir + QStringLiteral("/customers%1.xlsx").arg(customers), customers);
        // The customer data's own size: the rows as CSV text.
        const QString csv = dir + QStringLiteral("/customers.csv");
        RunCommand(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("'%1' --import '%2' --dry-run > '%3'").arg(program, workbook, csv)});
        const QString note = QStringLiteral("%1 workbook, %2 MB as CSV")
                                 .arg(Kb(workbook))
                                 .arg(double(QFileInfo(csv).size()) / 1048576, 0, 'f', 1);
        Figure(program, QStringLiteral("(j) --dry-run, %1 customers .xlsx").arg(customers),
               {QStringLiteral("--import"), workbook, QStringLiteral("--dry-run")}, note,
               customers > 100000 ? 1 : 3);
        const QString shop = dir + QStringLiteral("/shop");
        QDir(shop).removeRecursively();
        Figure(program, QStringLiteral("(j) --import, %1 customers .xlsx").arg(customers),
               {QStringLiteral("--data-dir"), shop, QStringLiteral("--import"), workbook}, note, 1);
        QDir(shop).removeRecursively();
        if (customers == 100000) {
            // The fastest readers Debian has, for reference: the same workbook to CSV.
            const QString python = QStringLiteral("/usr/bin/python3");
            if (QFileInfo::exists(python)) {
                Figure(python,
                       QStringLiteral("(j) openpyxl read-only, %1 customers").arg(customers),
                       {QStringLiteral("-c"),
                        QStringLiteral("import openpyxl,sys\n"
                                       "b=openpyxl.load_workbook(sys.argv[1],read_only=True)\n"
                                       "n=sum(1 for r in b.active.iter_rows(values_only=True))\n"),
                        workbook},
                       QStringLiteral("python3-openpyxl"));
            }
            const QString xlsx2csv = QStandardPaths::findExecutable(QStringLiteral("xlsx2csv"));
            if (!xlsx2csv.isEmpty()) {
                Figure(xlsx2csv, QStringLiteral("(j) xlsx2csv, %1 customers").arg(customers),
                       {workbook}, QStringLiteral("xlsx2csv"));
            }
        }
    }
}
