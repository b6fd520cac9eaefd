#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "import/sheet_file.h"
#include "support/host_tool.h"

namespace {

QString DataFile(const QString& name) {
    return QStringLiteral(RUVASO_TEST_DATA_DIR "/") + name;
}

QString RowsText(const SheetRows& rows) {
    QStringList lines;
    for (const SheetRow& row : rows) {
        lines << QStringList(row.begin(), row.end()).join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

// The customers of import_customers.csv as every kind of file must read them: dates as
// yyyy-MM-dd, a telephone number cell with all its digits, text left as it was.
const QString kCustomers = QStringLiteral(
    "2026-03-01|京A10001|张伟|先生|13912345678|2025-12-31|110101199003071234|大众帕萨特\n"
    "2026-03-02|京A10002|李娜|女士|010-62345678|2025-11-05|11010119850101002X|丰田卡罗拉, 1.6L\n"
    "|京A10003|王强|先生|13800000003||110101197001010031|本田雅阁\n"
    "2026-13-40|京A10004|赵敏|女士|13800000004|2024-02-29||别克英朗\n"
    "2026-03-05||孙丽|女士|13800000005|2025-01-05||日产轩逸\n"
    "2026-03-06|京A10006|周杰|先生|13800000006|2025-01-06||现代伊兰特\n"
    "2026-03-07|京A10007|吴芳|女士|13800000007|2025-01-07||福特福克斯\n"
    "2026-03-08|京A10001|张伟|先生|13912345678|2025-12-31||大众帕萨特");

}  // namespace

class TestSheetFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

    static QByteArray contents(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            qFatal("cannot read %s", qPrintable(path));
        }
        return file.readAll();
    }

private Q_SLOTS:

    void everyKindReadsTheSameRows_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << "import_customers.xlsx";
        QTest::newRow("xls") << "import_customers.xls";
        QTest::newRow("ods") << "import_customers.ods";
        QTest::newRow("csv utf-8") << "import_customers.csv";
        QTest::newRow("csv gb18030") << "import_customers_gb18030.csv";
    }
    void everyKindReadsTheSameRows() {
        QFETCH(QString, file);
        const SheetFile sheet = ReadSheetFile(DataFile(file));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(RowsText(sheet.rows), kCustomers);
    }

    void headingRowAloneGivesNoRows_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << "import_headings.xlsx";
        QTest::newRow("xls") << "import_headings.xls";
        QTest::newRow("ods") << "import_headings.ods";
        QTest::newRow("csv") << "import_headings.csv";
    }
    void headingRowAloneGivesNoRows() {
        QFETCH(QString, file);
        const SheetFile sheet = ReadSheetFile(DataFile(file));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(sheet.rows.size(), size_t(0));
    }

    // A workbook saved under another workbook extension still reads: the content decides.
    void contentDecidesTheReader() {
        const QString path =
            write(QStringLiteral("saved.xls"), contents(DataFile("import_customers.xlsx")));
        const SheetFile sheet = ReadSheetFile(path);
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(RowsText(sheet.rows), kCustomers);
    }

    // Whatever is wrong with the file, the reader gives a reason and no rows.
    void unreadableFilesGiveAReasonAndNoRows_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray xlsx = contents(DataFile("import_customers.xlsx"));
        const QByteArray xls = contents(DataFile("import_customers.xls"));
        const QByteArray ods = contents(DataFile("import_customers.ods"));
        const QString damaged = QStringLiteral("文件已损坏，或不是它的扩展名所说的表格文件");
        QTest::newRow("binary file renamed .xlsx")
            << "binary.xlsx" << QByteArray("\x01\x02\x03 not a workbook\n") << damaged;
        QTest::newRow("xlsx cut in half") << "cut.xlsx" << xlsx.left(xlsx.size() / 2) << damaged;
        QTest::newRow("ods cut in half") << "cut.ods" << ods.left(ods.size() / 2) << damaged;
        QTest::newRow("xls cut in half") << "cut.xls" << xls.left(xls.size() / 2) << damaged;
        QByteArray scrambled = xlsx;
        for (qsizetype i = 100; i < scrambled.size() - 100; i += 7) {
            scrambled[i] = char(scrambled[i] ^ 0x5A);
        }
        QTest::newRow("xlsx scrambled") << "scrambled.xlsx" << scrambled << damaged;
        // A mutated workbook on which an earlier .xls library overran a stack buffer.
        QTest::newRow("xls that led a library astray")
            << "overrun.xls" << contents(DataFile("import_overrun.xls")) << damaged;
        // Found by fuzzing: a compound-file directory whose entries the container library
        // rejects (and leaks).
        QTest::newRow("xls with a broken directory")
            << "directory.xls" << contents(DataFile("import_directory_leak.xls")) << damaged;
        QByteArray noStream = xls;
        noStream.replace(QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16),
                         QByteArray("W\0o\0r\0k\0b\0o\0o\0x\0", 16));
        QTest::newRow("compound file without a workbook") << "document.xls" << noStream << damaged;
        // An archive whose entries say they unpack to 2 GB is not unpacked at all.
        QByteArray bomb = xlsx;
        const qsizetype entry = bomb.indexOf(QByteArray("PK\x01\x02", 4));
        bomb.replace(entry + 24, 4, QByteArray("\xFF\xFF\xFF\x7F", 4));
        QTest::newRow("archive that unpacks to 2 GB") << "bomb.xlsx" << bomb << "文件太大";
        // Found by fuzzing: an entry whose packed size points past the file made the library
        // ask for a 4 GB buffer.
        // Found by fuzzing the library that read these formats before: documents it aborted
        // on, read past the end of or dereferenced null on. Each is still refused.
        QTest::newRow("ods the library aborts on")
            << "assertion.ods" << contents(DataFile("import_assertion.ods")) << damaged;
        QTest::newRow("ods the library reads past the end of")
            << "overread.ods" << contents(DataFile("import_overread.ods")) << damaged;
        QTest::newRow("xlsx the library's parser asserts on")
            << "parser.xlsx" << contents(DataFile("import_parser_assertion.xlsx")) << damaged;
        QTest::newRow("ods whose styles the library dereferences null on")
            << "style.ods" << contents(DataFile("import_null_style.ods")) << damaged;
        // Found by fuzzing: the end record counts no entries, yet the directory holds one that
        // unpacks to 4 GB. The two disagree, so the archive is damaged.
        QTest::newRow("entries the end record does not count")
            << "uncounted.xlsx" << contents(DataFile("import_uncounted_entry.xlsx")) << damaged;
        QTest::newRow("entry packed past the end")
            << "oversized.xlsx" << contents(DataFile("import_oversized_entry.xlsx")) << damaged;
        // Archives that ask for too much or lie about themselves.
        QTest::newRow("string longer than any cell")
            << "long.xlsx" << contents(DataFile("import_long_text.xlsx")) << "文件太大";
        QTest::newRow("entry bigger than the directory says")
            << "understated.xlsx" << contents(DataFile("import_understated_size.xlsx")) << damaged;
        QTest::newRow("cell pointing past the string table")
            << "missing.xlsx" << contents(DataFile("import_missing_string.xlsx")) << damaged;
        QTest::newRow("chart sheet only")
            << "chart.xlsx" << contents(DataFile("import_only_chart_sheet.xlsx"))
            << "文件中没有工作表";
        QTest::newRow("row repeated past the last row")
            << "repeated.ods" << contents(DataFile("import_rows_past_the_end.ods"))
            << "工作表超过 1048576 行";
        QTest::newRow("ods with a password")
            << "locked.ods" << contents(DataFile("import_encrypted.ods"))
            << "文件有密码保护，请先在表格软件中取消密码再导入";
        QTest::newRow("empty file") << "empty.xlsx" << QByteArray() << "文件是空的";
        const QString unsupported =
            QStringLiteral("不支持这种文件，请选择 .xls、.xlsx、.ods 或 .csv 文件");
        QTest::newRow("binary file of another kind")
            << "customers.pdf" << QByteArray("%PDF-1.4\n\x01\x02\x03\x04") << unsupported;
        QTest::newRow("workbook named as something else")
            << "customers.docx" << xlsx << unsupported;
        QTest::newRow("web page without a table")
            << "page.xls" << QByteArray("<html><body><p>没有数据</p></body></html>")
            << "网页文件中没有表格";
        QTest::newRow("xml workbook cut short")
            << "cut.xls"
            << QByteArray(
                   "<?xml version=\"1.0\"?><Workbook "
                   "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet>"
                   "<Table><Row><Cell><Data>x</Data>")
            << damaged;
        QTest::newRow("xml workbook with a row index that is no number")
            << "index.xls"
            << QByteArray(
                   "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                   "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet>"
                   "<Table><Row ss:Index=\"x\"/></Table></Worksheet></Workbook>")
            << damaged;
        QTest::newRow("xml workbook with every worksheet hidden")
            << "hidden.xls"
            << QByteArray(
                   "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">"
                   "<Worksheet><Table/><WorksheetOptions "
                   "xmlns=\"urn:schemas-microsoft-com:office:excel\"><Visible>SheetHidden"
                   "</Visible></WorksheetOptions></Worksheet></Workbook>")
            << "文件中没有工作表";
        QTest::newRow("xml workbook past the last row")
            << "long.xls"
            << QByteArray(
                   "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                   "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet>"
                   "<Table><Row ss:Index=\"99999999999999999\" ss:Span=\"999999999999\">"
                   "<Cell><Data>x</Data></Cell></Row></Table></Worksheet></Workbook>")
            << "工作表超过 1048576 行";
        QTest::newRow("csv that is binary")
            << "binary.csv" << QByteArray("\x01\x02\x00\x03", 4) << damaged;
        QTest::newRow("csv in neither encoding") << "latin.csv" << QByteArray("\x81\x20\xFF,\x80\n")
                                                 << "文件的文字既不是 UTF-8 也不是 GB18030 编码";
        QTest::newRow("csv with nothing in it")
            << "blank.csv" << QByteArray(",,\n\n") << "第一个工作表是空的";
        QTest::newRow("encrypted package")
            << "locked.xlsx"
            << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\0') +
                   QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32)
            << "文件有密码保护，请先在表格软件中取消密码再导入";
    }
    void unreadableFilesGiveAReasonAndNoRows() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const SheetFile sheet = ReadSheetFile(write(name, bytes));
        QCOMPARE(sheet.error, reason);
        QCOMPARE(sheet.rows.size(), size_t(0));
    }

    // A legacy workbook reads its first visible worksheet and says which one that was.
    void xlsReadsTheFirstVisibleWorksheet_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("worksheets");
        QTest::addColumn<QString>("firstPlate");
        QTest::newRow("one sheet") << "import_customers.xls"
                                   << "import_customers" << 1 << "京A10001";
        QTest::newRow("hidden sheet and chart before it")
            << "corpus/handmade/hidden_first_sheet.xls"
            << "客户" << 1 << "京A10001";
        QTest::newRow("hidden sheet before it, written by xlwt")
            << "corpus/xlwt/hidden_first_sheet.xls"
            << "客户" << 1 << "京A10001";
        QTest::newRow("Excel 95 names in GBK") << "corpus/handmade/excel95_gbk.xls"
                                               << "客户资料" << 1 << "京A10001";
    }
    void xlsReadsTheFirstVisibleWorksheet() {
        QFETCH(QString, file);
        QFETCH(QString, sheet);
        QFETCH(int, worksheets);
        QFETCH(QString, firstPlate);
        const SheetFile read = ReadSheetFile(DataFile(file));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QCOMPARE(read.sheetName, sheet);
        QCOMPARE(read.worksheets, worksheets);
        QVERIFY(!read.rows.empty());
        QCOMPARE(read.rows.front()[1], firstPlate);
    }

    // Read row by row, every workbook and text file we keep gives what reading it whole gives:
    // the same rows (the heading and title lines left out, empty rows inside kept, trailing
    // ones dropped), the same reason when it is refused.
    void streamingReadsWhatReadingWholeReads_data() {
        QTest::addColumn<QString>("file");
        QDirIterator files(QStringLiteral(RUVASO_TEST_DATA_DIR), QDir::Files,
                           QDirIterator::Subdirectories);
        const QStringList kinds = {"xlsx", "xls", "ods", "csv", "html", "xml", "txt", "fods"};
        while (files.hasNext()) {
            const QString file = files.next();
            if (kinds.contains(QFileInfo(file).suffix().toLower())) {
                QTest::newRow(
                    qPrintable(QDir(QStringLiteral(RUVASO_TEST_DATA_DIR)).relativeFilePath(file)))
                    << file;
            }
        }
    }
    void streamingReadsWhatReadingWholeReads() {
        QFETCH(QString, file);
        const SheetFile whole = ReadSheetFile(file);
        SheetStream stream(file);
        SheetRows checked;
        const SheetFile streamed = stream.check([&checked](SheetRow& row) {
            checked.push_back(row);
            return true;
        });
        QCOMPARE(streamed.error, whole.error);
        if (!whole.ok()) {
            return;
        }
        QCOMPARE(streamed.sheetName, whole.sheetName);
        QCOMPARE(streamed.worksheets, whole.worksheets);
        QCOMPARE(streamed.skippedAbove, whole.skippedAbove);
        if (stream.ordered()) {
            QCOMPARE(RowsText(checked), RowsText(whole.rows));
        }
        SheetRows rows;
        stream.rows([&rows](SheetRow& row) {
            rows.push_back(row);
            return true;
        });
        QCOMPARE(RowsText(rows), RowsText(whole.rows));
    }

    // Rows handed over stop when the taker says so.
    void streamingStopsWhenAsked() {
        SheetStream stream(DataFile("import_customers.xlsx"));
        QVERIFY(stream.check().ok());
        int taken = 0;
        stream.rows([&taken](SheetRow&) { return ++taken < 3; });
        QCOMPARE(taken, 3);
    }

    // A pipe or a folder is refused before it is opened, which for a pipe would wait for ever.
    void nonRegularFilesAreRefused() {
        QStringList paths{dir_.path()};
        if (HostHasPipes()) {
            const QString fifo = dir_.filePath(QStringLiteral("pipe.xlsx"));
            QVERIFY(MakePipe(fifo));
            paths << fifo << QStringLiteral("/dev/null");
        }
        for (const QString& path : paths) {
            QCOMPARE(ReadSheetFile(path).error,
                     QStringLiteral("这不是普通文件，而是文件夹、管道或设备"));
            QCOMPARE(SheetStream(path).check().error,
                     QStringLiteral("这不是普通文件，而是文件夹、管道或设备"));
        }
    }

    void missingFileCannotBeOpened() {
        const SheetFile sheet = ReadSheetFile(dir_.filePath(QStringLiteral("none.xlsx")));
        QCOMPARE(sheet.error, QStringLiteral("文件不存在或不能打开"));
    }

    // Quoted fields keep delimiters, line breaks and doubled quotes; rows end with LF, CR LF
    // or CR; columns past the eighth are dropped; trailing empty rows are not customers.
    void csvFields_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("rows");
        QTest::newRow("quotes and breaks")
            << QByteArray("a,\"b,1\",\"say \"\"hi\"\"\",\"two\r\nlines\"\r\nx,y\r\n")
            << "a|b,1|say \"hi\"|two\r\nlines||||\nx|y||||||";
        QTest::newRow("carriage returns") << QByteArray("a\rb\r") << "a|||||||\nb|||||||";
        QTest::newRow("ninth column dropped")
            << QByteArray("1,2,3,4,5,6,7,8,9\n") << "1|2|3|4|5|6|7|8";
        QTest::newRow("trailing empty rows") << QByteArray("a\n,,\n\n") << "a|||||||";
        QTest::newRow("empty row inside kept")
            << QByteArray("a\n\nb") << "a|||||||\n|||||||\nb|||||||";
        QTest::newRow("open quote runs to the end") << QByteArray("a,\"b\nc") << "a|b\nc||||||";
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBF车牌号,x\n") << "车牌号|x||||||";
        QTest::newRow("tab separated") << QByteArray("a\tb c\n") << "a|b c||||||";
        QTest::newRow("heading row with spaces skipped")
            << QByteArray(" 提醒日期 ,车牌号,车主姓名,性别,联系电话,登记日期,身份证号,车型\nq")
            << "q|||||||";
    }
    // Semicolons where a European locale saved "CSV"; ="…" cells as the text inside them.
    void csvDelimitersAndTextCells_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("rows");
        QTest::newRow("semicolons with decimal commas")
            << QByteArray("a;1,5;c\nd;2,0;f\n") << "a|1,5|c|||||\nd|2,0|f|||||";
        QTest::newRow("title line without delimiters")
            << QByteArray("客户资料\na;b;c\n") << "客户资料|||||||\na|b|c|||||";
        QTest::newRow("commas win a tie") << QByteArray("a;b,c\n") << "a;b|c||||||";
        QTest::newRow("semicolons in quotes do not count")
            << QByteArray("\"a;b;c\",d\n") << "a;b;c|d||||||";
        QTest::newRow("tabs beside semicolons") << QByteArray("a\tb;c\td\n") << "a|b;c|d|||||";
        QTest::newRow("text cells")
            << QByteArray("=\"0123\",=\"a\"\"b\",=\"\"\n") << "0123|a\"b||||||";
        QTest::newRow("quoted text cell") << QByteArray("\"=\"\"007\"\"\"\n") << "007|||||||";
        QTest::newRow("not text cells")
            << QByteArray("=1+2,=\"a\"b\",=\"x,\"=\"\n") << "=1+2|=\"a\"b\"|=\"x|=||||";
    }
    void csvDelimitersAndTextCells() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, rows);
        const SheetFile sheet = ReadSheetFile(write(QStringLiteral("cells.csv"), bytes));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(RowsText(sheet.rows), rows);
    }

    // Text reads by what it holds under any name; markup decides between a web page, an XML
    // workbook and delimited text.
    void textUnderAnyNameReads_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("rows");
        QTest::newRow("csv renamed .xlsx")
            << "text.xlsx" << contents(DataFile("import_customers.csv")) << kCustomers;
        QTest::newRow("csv as .txt") << "list.txt" << QByteArray("a,b\n") << "a|b||||||";
        QTest::newRow("utf-16 html")
            << "page.ods"
            << QByteArray("\xFF\xFE", 2) +
                   QByteArray(reinterpret_cast<const char*>(u"<table><tr><td>京A1</td></tr>"), 56)
            << "京A1|||||||";
        QTest::newRow("html cells outside rows, nested table inside a cell")
            << "page.html"
            << QByteArray(
                   "<!DOCTYPE html><p>前言</p><table><td>a<td><table><tr><td>b</td>"
                   "<td>c</td></tr></table></td><tr><th>d</th></table>")
            << "a|b c||||||\nd|||||||";
        QTest::newRow("html spans past the eighth column and down")
            << "spans.xls"
            << QByteArray(
                   "<table><tr><td rowspan=3>a</td><td colspan=99>b</td></tr>"
                   "<tr><td rowspan=0>c</td><td>d</td></tr><tr><td>e</td></tr></table>")
            << "a|b||||||\n|c|d|||||\n|e||||||";
        QTest::newRow("html gbk page without a declared charset") << "gbk.xls"
                                                                  << QByteArray(
                                                                         "<table><tr><td>\xBE\xA9"
                                                                         "A1</td></tr></table>")
                                                                  << "京A1|||||||";
        QTest::newRow("html page says utf-8 but is gbk")
            << "wrong.xls"
            << QByteArray(
                   "<meta charset=\"utf-8\"><table><tr><td>\xBE\xA9"
                   "A1</td></tr></table>")
            << "京A1|||||||";
        QTest::newRow("xml workbook without prefixes, numbers and dates")
            << "plain.xml"
            << QByteArray(
                   "<?xml version=\"1.0\"?><Workbook "
                   "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet "
                   "Name=\"a\"><Table><Row><Cell Index=\"2\"><Data Type=\"Number\">"
                   "1.5</Data></Cell><Cell><Data Type=\"DateTime\">2026-03-05T08:30:00"
                   "</Data></Cell><Cell><Data Type=\"Boolean\">0</Data></Cell></Row>"
                   "</Table></Worksheet></Workbook>")
            << "|1.5|2026-03-05|FALSE||||";
    }
    void textUnderAnyNameReads() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, rows);
        const SheetFile sheet = ReadSheetFile(write(name, bytes));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(RowsText(sheet.rows), rows);
    }

    // Title lines go with the heading row below them; the file says which worksheet of how
    // many was read.
    void titleLinesAboveTheHeading_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("rows");
        const QByteArray heading("提醒日期,车牌号,车主姓名,性别,联系电话,登记日期,身份证号,车型\n");
        QTest::newRow("heading alone") << heading + "x\n" << 1 << "x|||||||";
        QTest::newRow("title and date lines")
            << "客户资料\n导出日期：2026-03-10,,,,,,,共 1 条\n" + heading + "x\n"
            << 3 << "x|||||||";
        QTest::newRow("three title lines") << "t\n\nt\n" + heading + "x\n" << 4 << "x|||||||";
        QTest::newRow("heading too far down")
            << "t\nt\nt\nt\n" + heading << 0
            << "t|||||||\nt|||||||\nt|||||||\nt|||||||\n" +
                   QString::fromUtf8(heading).trimmed().replace(',', '|');
        QTest::newRow("a customer above the heading is no title")
            << ",京A1,张三\n" + heading << 0
            << "|京A1|张三|||||\n" + QString::fromUtf8(heading).trimmed().replace(',', '|');
    }
    void titleLinesAboveTheHeading() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, skipped);
        QFETCH(QString, rows);
        const SheetFile sheet = ReadSheetFile(write(QStringLiteral("titled.csv"), bytes));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(sheet.skippedAbove, skipped);
        QCOMPARE(RowsText(sheet.rows), rows);
        QCOMPARE(sheet.worksheets, 0);
    }

    void worksheetReadIsNamed() {
        const SheetFile sheet =
            ReadSheetFile(QStringLiteral(RUVASO_TEST_DATA_DIR "/corpus/web/spreadsheet_2003.xls"));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        // The hidden lookup sheet before it is neither read nor counted.
        QCOMPARE(sheet.sheetName, QStringLiteral("客户"));
        QCOMPARE(sheet.worksheets, 2);
        QCOMPARE(sheet.skippedAbove, 2);
    }

    void csvFields() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, rows);
        const SheetFile sheet = ReadSheetFile(write(QStringLiteral("fields.csv"), bytes));
        QVERIFY2(sheet.ok(), qPrintable(sheet.error));
        QCOMPARE(RowsText(sheet.rows), rows);
    }
};

QTEST_GUILESS_MAIN(TestSheetFile)
#include "test_sheet_file.moc"
