#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "core/terminal_text.h"
#include "data/database.h"
#include "data/pg_connection.h"
#include "session/connection_settings.h"
#include "support/database_fixture.h"
#include "support/pg_server.h"

namespace {

const QString kProgram = QStringLiteral(RUVASO_PROGRAM);

QString Data(const QString& name) {
    return QStringLiteral(RUVASO_TEST_DATA_DIR "/") + name;
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program as a script on a machine without a display would.
// `configHome` stands in for the user's settings folder when given.
Run Ruvaso(const QStringList& arguments, const QString& configHome = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    if (!configHome.isEmpty()) {
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    }
    process.setProcessEnvironment(environment);
    process.start(kProgram, arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        run.err = QStringLiteral("did not finish: ") + process.errorString();
        return run;
    }
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The customers stored in the data folder, read once the program has given up its lock.
int Customers(const QString& dir) {
    if (!Database::Open(dir).ok) {
        return -1;
    }
    const int count = TestDatabase::scalar(QStringLiteral("select count(*) from kh_table")).toInt();
    Database::Close();
    return count;
}

}  // namespace

class TestImportCommand : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> db_;
    QTemporaryDir files_;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = files_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

private Q_SLOTS:
    void init() {
        db_ = std::make_unique<TestDatabase>();
        QVERIFY2(db_->ok(), qPrintable(db_->message()));
        // The program takes the folder's lock itself.
        Database::Close();
    }
    void cleanup() { db_.reset(); }

    // The window's rules: rows without a plate or a name and repeated plates are left out, and
    // the summary says so.
    void importsAGoodFile() {
        const int before = Customers(db_->dir());
        const Run run =
            Ruvaso({QStringLiteral("--data-dir"), db_->dir(), QStringLiteral("--import"),
                    Data(QStringLiteral("import_customers.xlsx"))});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(run.out,
                 QStringLiteral("导入成功！\n导入 6 条客户记录，跳过 2 条：车牌号或车主姓名为空 "
                                "1 条，与表中前面的行车牌号重复 1 条。\n其中 2 位客户的提醒日期是"
                                "今天（提醒日期为空的按今天），已列入今天的提醒名单。\n"));
        QCOMPARE(run.err, QString());
        QCOMPARE(Customers(db_->dir()), before + 6);

        // The same file again: every plate is stored already, which is an import of nothing.
        const Run again =
            Ruvaso({QStringLiteral("--data-dir"), db_->dir(), QStringLiteral("--import"),
                    Data(QStringLiteral("import_customers.xlsx"))});
        QCOMPARE(again.status, 0);
        QVERIFY2(again.out.contains(QStringLiteral("导入 0 条客户记录")), qPrintable(again.out));
        QCOMPARE(Customers(db_->dir()), before + 6);
    }

    // The import goes into the database a start would open: the server named on the command
    // line, or the one stored for the data folder; the folder's file is left alone.
    void importsIntoTheServer_data() {
        QTest::addColumn<bool>("stored");
        QTest::newRow("command line") << false;
        QTest::newRow("stored") << true;
    }
    void importsIntoTheServer() {
        QFETCH(bool, stored);
        PgServer server;
        QVERIFY2(server.ok(), qPrintable(server.message()));
        const QString database = server.createDatabase();
        QVERIFY2(!database.isEmpty(), qPrintable(server.message()));
        const int before = Customers(db_->dir());
        QTemporaryDir config;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        QStringList arguments{QStringLiteral("--data-dir"), db_->dir(), QStringLiteral("--import"),
                              Data(QStringLiteral("import_customers.xlsx"))};
        if (stored) {
            QVERIFY(StoreServer(db_->dir(), {server.folder(), {}, database, {}}));
        } else {
            arguments << QStringLiteral("--database") << server.uri(database);
        }
        const Run run = Ruvaso(arguments, config.path());
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(Customers(db_->dir()), before);
        PgConnection connection(server.uri(database));
        const PgResult count = connection.exec(QStringLiteral("select count(*) from kh_table"));
        QVERIFY2(count.ok(), qPrintable(count.error()));
        QCOMPARE(count.row(0).text(0), QStringLiteral("6"));
    }

    // Nothing is stored when a row fails the audit, when the database is in use or the file
    // cannot be read; the reason goes to standard error and the status says which.
    void refusesWithAReason_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("holdFolder");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        const QByteArray heading("提醒日期,车牌号,车主姓名,性别,联系电话,登记日期,身份证号,车型\n");
        QTest::newRow("audit fails on the file's fourth line")
            << "客户资料\n" + heading + ",京A1,张三,先生\n,京A2,李四,男士\n"
            << false << 1 << "文件第 4 行：性别错误！";
        QTest::newRow("a later row fails after an empty plate")
            << heading + ",京A1,张三,先生\n,,王五\n,京A3,赵六,?\n"
            << false << 1 << "文件第 4 行：性别错误！";
        QTest::newRow("database in use") << heading + ",京A1,张三,先生\n"
                                         << true << 1 << "无法打开数据库：";
        QTest::newRow("file cannot be read")
            << QByteArray("\x81\x20\xFF,\x80\n") << false << 2
            << "无法读取文件：文件的文字既不是 UTF-8 也不是 GB18030 编码";
    }
    void refusesWithAReason() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, holdFolder);
        QFETCH(int, status);
        QFETCH(QString, reason);
        const int before = Customers(db_->dir());
        if (holdFolder) {
            QVERIFY(Database::Open(db_->dir()).ok);
        }
        const Run run =
            Ruvaso({QStringLiteral("--data-dir"), db_->dir(), QStringLiteral("--import"),
                    write(QStringLiteral("refused.csv"), bytes)});
        Database::Close();
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.startsWith(reason), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(Customers(db_->dir()), before);
    }

    // A shop's list with its own headings imports; the columns left out are named. A refusal
    // and a dry run list every problem by the file's own lines, after the first reason.
    void headingsAndProblems() {
        const int before = Customers(db_->dir());
        const Run run =
            Ruvaso({QStringLiteral("--data-dir"), db_->dir(), QStringLiteral("--import"),
                    Data(QStringLiteral("import_shop_headings.ods"))});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(run.err, QStringLiteral("按表头读取，忽略了不认识的列：序号、地址\n"));
        QVERIFY2(run.out.startsWith(QStringLiteral("导入成功！\n导入 3 条客户记录。")),
                 qPrintable(run.out));
        QCOMPARE(Customers(db_->dir()), before + 3);

        const QByteArray faulty(
            "客户资料\n手机,姓名,车牌,性别\n139,张三,京F1,男士\n,,,\n"
            "138,李四,京F2,?\n");
        const QString problems = QStringLiteral(
            "共发现 2 个问题：\n"
            "文件第 3 行，“性别”列的“男士”：性别错误！（可填：先生、女士、男、女）\n"
            "文件第 5 行，“性别”列的“?”：性别错误！（可填：先生、女士、男、女）\n");
        const Run refused =
            Ruvaso({QStringLiteral("--data-dir"), db_->dir(), QStringLiteral("--import"),
                    write(QStringLiteral("faulty.csv"), faulty)});
        QCOMPARE(refused.status, 1);
        QCOMPARE(refused.err, QStringLiteral("文件第 3 行：性别错误！\n") + problems);
        QCOMPARE(Customers(db_->dir()), before + 3);

        const Run dry =
            Ruvaso({QStringLiteral("--data-dir"), db_->dir(), QStringLiteral("--import"),
                    write(QStringLiteral("faulty.csv"), faulty), QStringLiteral("--dry-run")});
        QCOMPARE(dry.status, 0);
        QCOMPARE(dry.out,
                 QStringLiteral(",京F1,张三,男士,139,,,\r\n,,,,,,,\r\n,京F2,李四,?,138,,,\r\n"));
        QCOMPARE(dry.err, problems + QStringLiteral("其中 2 "
                                                    "位客户的提醒日期是今天（提醒日期为空或不是日期"
                                                    "的按今天），导入后列入今天的提醒名单。\n"));
    }

    // A dry run writes the rows as read and needs no database at all.
    void dryRunWritesTheRowsAsCsv() {
        const QString nowhere = files_.filePath(QStringLiteral("no-such-folder"));
        const Run run =
            Ruvaso({QStringLiteral("--data-dir"), nowhere, QStringLiteral("--import"),
                    Data(QStringLiteral("corpus/web/html_utf8.xls")), QStringLiteral("--dry-run")});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QFile expected(Data(QStringLiteral("corpus/web/html_utf8.expected.csv")));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        // RFC 4180 ends records with CR LF; a line break inside a quoted field stays as it is.
        QString want = QString::fromUtf8(expected.readAll());
        want.replace(QStringLiteral("大众帕萨特\n"), QStringLiteral("大众帕萨特\r\n"))
            .replace(QStringLiteral("1.6L\"\n"), QStringLiteral("1.6L\"\r\n"))
            .replace(QStringLiteral("混动\"\n"), QStringLiteral("混动\"\r\n"))
            .replace(QStringLiteral("别克英朗\n"), QStringLiteral("别克英朗\r\n"));
        QCOMPARE(run.out, want);
        QVERIFY(!QDir(nowhere).exists());
        QCOMPARE(Customers(db_->dir()), 0);
    }

    void usageAndHelpNeedNoDisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "2  用法错误，或文件无法读取";
        // Qt's own headings of the help come from its Chinese catalogue, installed with the
        // program's dependencies.
        QTest::newRow("help headings in Chinese") << QStringList{"--help"} << 0 << "选项：";
        QTest::newRow("short help, its own line in Chinese")
            << QStringList{"-h"} << 0 << "-h, --help              显示本帮助并退出。";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "ruvaso";
        QTest::newRow("dry run alone") << QStringList{"--dry-run"} << 2 << "--dry-run";
        QTest::newRow("import without a file") << QStringList{"--import"} << 2 << "import";
        QTest::newRow("unknown option with import")
            << QStringList{"--import", "x.csv", "--colour"} << 2 << "colour";
        QTest::newRow("stray argument")
            << QStringList{"--import", "x.csv", "y.csv"} << 2 << "y.csv";
        // Without an action the program would open its window: a mistake is told without one.
        QTest::newRow("unknown option alone")
            << QStringList{"--colour"} << 1 << "未知的选项：--colour";
        QTest::newRow("option without its value")
            << QStringList{"--data-dir"} << 1 << "选项 --data-dir 后面缺少值";
        QTest::newRow("stray argument alone")
            << QStringList{"shop.db"} << 1 << "多余的参数：shop.db";
        QTest::newRow("the toolkit's options are accepted")
            << QStringList{"-platform", "xcb", "-style=fusion", "--version"} << 0 << "ruvaso 2.";
    }
    void usageAndHelpNeedNoDisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        const Run run = Ruvaso(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2((run.out + run.err).contains(output), qPrintable(run.out + run.err));
    }

    // Qt wraps the help counting a Chinese character as one column; a terminal gives it two.
    void helpFitsAnEightyColumnTerminal() {
        const Run run = Ruvaso({QStringLiteral("--help")});
        QCOMPARE(run.status, 0);
        for (const QString& line : run.out.split(QLatin1Char('\n'))) {
            // The data folder's default, a path of the machine, may make its line longer.
            if (!line.contains(QLatin1String("--data-dir"))) {
                QVERIFY2(TerminalColumns(line) <= 80, qPrintable(line));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestImportCommand)
#include "test_import_command.moc"
