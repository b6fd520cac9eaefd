#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

extern char** environ;

namespace {

const QString kProgram = QStringLiteral(RUVASO_PROGRAM);

// What a hostile file may cost the program at most, whatever it holds; the sanitizers of a test
// build add their own share on top of the program's.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kMemoryLimitMb = 400;
#else
constexpr double kMemoryLimitMb = 250;
#endif

// Writes a zip archive of the given parts, deflated as office files are.
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
    // The parts' bytes are read here, while they are still alive.
    if (zip_close(zip) != 0) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

// An .xlsx whose cells are the given sheetData rows, with the given shared strings.
QString Xlsx(const QString& path, const QByteArray& rows, const QByteArray& sharedStrings = {}) {
    const QByteArray relationships =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const QByteArray workbookRelationships =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
    const QByteArray workbook =
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<sheets><sheet name=\"客户\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    const QByteArray sheet =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<sheetData>" +
        rows + "</sheetData></worksheet>";
    const QByteArray strings =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
        sharedStrings + "</sst>";
    Zip({{QStringLiteral("_rels/.rels"), relationships},
         {QStringLiteral("xl/_rels/workbook.xml.rels"), workbookRelationships},
         {QStringLiteral("xl/workbook.xml"), workbook},
         {QStringLiteral("xl/worksheets/sheet1.xml"), sheet},
         {QStringLiteral("xl/sharedStrings.xml"), strings}},
        path);
    return path;
}

// An .ods of one table holding the given rows.
QString Ods(const QString& path, const QByteArray& rows) {
    const QByteArray content =
        "<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
        "<office:body><office:spreadsheet><table:table table:name=\"客户\">" +
        rows + "</table:table></office:spreadsheet></office:body></office:document-content>";
    Zip({{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
         {QStringLiteral("content.xml"), content}},
        path);
    return path;
}

QByteArray OdsCell(const QByteArray& text, int repeat = 1) {
    return "<table:table-cell table:number-columns-repeated=\"" + QByteArray::number(repeat) +
           "\" office:value-type=\"string\"><text:p>" + text + "</text:p></table:table-cell>";
}

// A customer row of 8 inline-string cells.
QByteArray InlineRow(qint64 row, const QList<QByteArray>& texts) {
    QByteArray xml = "<row r=\"" + QByteArray::number(row) + "\">";
    for (const QByteArray& text : texts) {
        xml += "<c t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
    }
    return xml + "</row>";
}

struct ChildRun {
    int status = -1;
    bool killed = false;  // for going over the memory limit
    double peakMb = 0;
    double seconds = 0;
    QByteArray out;
    QString err;
};

// Runs the program with its standard output to `outPath` and measures the most memory it held.
// A child that goes over kMemoryLimitMb is stopped: a run that fails cannot take the machine
// down with it.
ChildRun RunMeasured(const QStringList& arguments, const QString& outPath, const QString& errPath) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    // Freed memory the sanitizer holds back for its checks would count as the program's.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":quarantine_size_mb=4"));
    std::vector<QByteArray> envBytes;
    for (const QString& entry : environment.toStringList()) {
        envBytes.push_back(entry.toLocal8Bit());
    }
    std::vector<char*> env;
    for (QByteArray& entry : envBytes) {
        env.push_back(entry.data());
    }
    env.push_back(nullptr);
    std::vector<QByteArray> argBytes{QFile::encodeName(kProgram)};
    for (const QString& argument : arguments) {
        argBytes.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& argument : argBytes) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, QFile::encodeName(outPath).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, QFile::encodeName(errPath).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ChildRun run;
    QElapsedTimer clock;
    clock.start();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        run.err = QStringLiteral("cannot start the program");
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    // The peak is read from the child's own memory map, which starts anew when it runs the
    // program; what the kernel keeps for the child's whole life would include this process's.
    const QString status = QStringLiteral("/proc/%1/status").arg(pid);
    int wstatus = 0;
    for (;;) {
        QFile file(status);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                const double mb = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
                if (line.startsWith("VmHWM:")) {
                    run.peakMb = std::max(run.peakMb, mb);
                } else if (line.startsWith("VmRSS:") && mb > kMemoryLimitMb) {
                    kill(pid, SIGKILL);
                    run.killed = true;
                }
            }
        }
        if (clock.elapsed() > 300000) {
            kill(pid, SIGKILL);
        }
        if (waitpid(pid, &wstatus, WNOHANG) == pid) {
            break;
        }
        QThread::msleep(2);
    }
    run.seconds = double(clock.elapsed()) / 1000;
    run.killed = run.killed || run.peakMb > kMemoryLimitMb;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    QFile err(errPath);
    if (err.open(QIODevice::ReadOnly)) {
        run.err = QString::fromUtf8(err.readAll());
    }
    return run;
}

qint64 Lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    qint64 lines = 0;
    while (!file.atEnd()) {
        lines += file.read(1 << 20).count('\n');
    }
    return lines;
}

}  // namespace

class TestImportBounds : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString path(const QString& name) const { return dir_.filePath(name); }

private Q_SLOTS:
    // Files that hold little yet stand for a great deal: each is read within the memory limit,
    // and either refused with its reason or written out row by row.
    void bombsStayWithinTheirMemory_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<qint64>("lines");

        // Every cell shows one shared string of a million characters: a billion in all.
        const QByteArray million(1000000, 'x');
        QByteArray shared;
        for (int row = 1; row <= 125; ++row) {
            shared += "<row r=\"" + QByteArray::number(row) + "\">";
            for (int column = 0; column < 8; ++column) {
                shared += "<c t=\"s\"><v>0</v></c>";
            }
            shared += "</row>";
        }
        const QString tooMuch = QStringLiteral("无法读取文件：工作表的文字超过 1 亿个字符\n");
        QTest::newRow("xlsx shared string in every cell")
            << Xlsx(path(QStringLiteral("shared.xlsx")), shared, "<si><t>" + million + "</t></si>")
            << 2 << tooMuch << qint64(0);
        // The same through repeated rows and columns of an OpenDocument sheet.
        QTest::newRow("ods repeated cell of a million characters")
            << Ods(path(QStringLiteral("repeated.ods")),
                   "<table:table-row table:number-rows-repeated=\"1000\">" + OdsCell(million, 8) +
                       "</table:table-row>")
            << 2 << tooMuch << qint64(0);
        // A million customers repeated from one row: written out as they are read.
        QTest::newRow("ods million rows")
            << Ods(path(QStringLiteral("rows.ods")),
                   "<table:table-row table:number-rows-repeated=\"1048575\">" +
                       OdsCell("京A12345") + OdsCell("京A12345") + OdsCell("张伟") +
                       OdsCell("先生") + OdsCell("13912345678") + OdsCell("2026-01-01") +
                       OdsCell("110101199003071234") + OdsCell("大众帕萨特") + "</table:table-row>")
            << 0
            << QStringLiteral(
                   "其中 1048575 位客户的提醒日期是今天（提醒日期为空或不是日期的按今天），"
                   "导入后列入今天的提醒名单。\n")
            << qint64(1048575);
        // Ninety rows with a name of a million characters: within the bound of the whole
        // sheet, so each row is written out and let go. Their problems are told with the name
        // cut short.
        QByteArray fields;
        for (int row = 1; row <= 90; ++row) {
            fields += InlineRow(row, {"2026-01-01", "京A" + QByteArray::number(row), million});
        }
        QTest::newRow("xlsx names of a million characters")
            << Xlsx(path(QStringLiteral("fields.xlsx")), fields) << 0
            << QStringLiteral(
                   "共发现 180 个问题：\n文件第 1 行，“性别”列的“”：性别错误！（可填：先生、"
                   "女士、男、女）\n文件第 1 行，“车主姓名”列的“") +
                   QString(20, QLatin1Char('x')) + QStringLiteral("…”：")
            << qint64(90);
    }
    void bombsStayWithinTheirMemory() {
        QFETCH(QString, file);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(qint64, lines);
        QVERIFY2(QFileInfo(file).size() < 200 * 1024, "the bomb itself must be small");
        const ChildRun run =
            RunMeasured({QStringLiteral("--import"), file, QStringLiteral("--dry-run")},
                        path(QStringLiteral("out.csv")), path(QStringLiteral("err.txt")));
        qInfo("%s: %.1f MB peak, %.2f s", qPrintable(QFileInfo(file).fileName()), run.peakMb,
              run.seconds);
        QVERIFY2(!run.killed, qPrintable(QStringLiteral("%1 MB").arg(run.peakMb)));
        // What is said of the file starts as expected and never repeats its texts whole.
        QVERIFY2(run.err.startsWith(message), qPrintable(run.err.left(400)));
        QVERIFY(message.isEmpty() ? run.err.isEmpty() : run.err.size() < 64 * 1024);
        QCOMPARE(run.status, status);
        QCOMPARE(Lines(path(QStringLiteral("out.csv"))), lines);
    }

    // A workbook whose rows are stored out of order cannot be handed on as it is read: it is
    // read whole instead, and its rows still come out in sheet order, audited and imported.
    void rowsOutOfOrderKeepTheirOrder() {
        const QString file = Xlsx(path(QStringLiteral("unordered.xlsx")),
                                  InlineRow(3, {"2026-03-03", "京A3", "王强", "先生"}) +
                                      InlineRow(1, {"提醒日期", "车牌号", "车主姓名", "性别",
                                                    "联系电话", "登记日期", "身份证号", "车型"}) +
                                      InlineRow(2, {"2026-03-02", "京A2", "李娜", "女士"}) +
                                      InlineRow(4, {"2026-03-04", "京A4", "赵敏", "妇女"}));
        const QString out = path(QStringLiteral("out.csv"));
        const QString err = path(QStringLiteral("err.txt"));
        ChildRun run =
            RunMeasured({QStringLiteral("--import"), file, QStringLiteral("--dry-run")}, out, err);
        QCOMPARE(run.status, 0);
        QFile csv(out);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(csv.readAll()),
                 QStringLiteral("2026-03-02,京A2,李娜,女士,,,,\r\n2026-03-03,京A3,王强,先生,,,,\r\n"
                                "2026-03-04,京A4,赵敏,妇女,,,,\r\n"));
        // The audit finds the fourth line of the file at fault, as it would reading it whole.
        run = RunMeasured({QStringLiteral("--data-dir"), path(QStringLiteral("shop")),
                           QStringLiteral("--import"), file},
                          out, err);
        QCOMPARE(run.err, QStringLiteral("文件第 4 行：性别错误！\n共发现 1 个问题：\n文件第 4 行，"
                                         "“性别”列的“妇女”：性别错误！（可填：先生、女士、男、"
                                         "女）\n"));
        QCOMPARE(run.status, 1);
    }

    // A pipe, a device or a folder is refused before it is opened: opening a pipe would wait
    // for a writer that never comes.
    void nonRegularFilesAreRefused_data() {
        QTest::addColumn<QString>("file");
        const QString fifo = path(QStringLiteral("customers.xlsx"));
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QTest::newRow("pipe") << fifo;
        QTest::newRow("device") << QStringLiteral("/dev/zero");
        QTest::newRow("folder") << dir_.path();
    }
    void nonRegularFilesAreRefused() {
        QFETCH(QString, file);
        for (const bool dryRun : {true, false}) {
            QStringList arguments{QStringLiteral("--data-dir"), path(QStringLiteral("shop")),
                                  QStringLiteral("--import"), file};
            if (dryRun) {
                arguments << QStringLiteral("--dry-run");
            }
            const ChildRun run = RunMeasured(arguments, path(QStringLiteral("out.csv")),
                                             path(QStringLiteral("err.txt")));
            QCOMPARE(run.err,
                     QStringLiteral("无法读取文件：这不是普通文件，而是文件夹、管道或设备\n"));
            QCOMPARE(run.status, 2);
            QVERIFY(run.seconds < 60);
        }
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("shop/database.db"))));
    }
};

QTEST_GUILESS_MAIN(TestImportBounds)
#include "test_import_bounds.moc"
