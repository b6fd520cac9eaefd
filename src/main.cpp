#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "app/copy_command.h"
#include "app/localization.h"
#include "app/login_window.h"
#include "app/start_up.h"
#include "data/database.h"
#include "import/import_command.h"
#include "masterdata/database_check.h"
#include "session/connection_settings.h"
#include "ui/busy_indicator.h"
#include "ui/window_placement.h"
#include "version.h"

namespace {

const QString kDescription = QStringLiteral(
    "Ruvaso汽车维修保养客户管理系统\n\n"
    "--import 的退出状态：\n"
    "  0  已导入（--dry-run：已写出读到的行）\n"
    "  1  审核未通过，或数据库拒绝、导入失败，没有导入任何数据\n"
    "  2  用法错误，或文件无法读取\n\n"
    "--copy-to 的退出状态：\n"
    "  0  已复制并核对\n"
    "  1  数据库文件或服务器拒绝、复制或核对失败，服务器上没有留下任何数据\n"
    "  2  用法错误");

// Ends the program once the window has really been painted, for start-up measurements.
class QuitAfterFirstPaint : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }
};

struct Options {
    QCommandLineOption dataDir{
        QStringLiteral("data-dir"),
        QStringLiteral("数据文件夹（默认 %1）").arg(Database::DefaultDataDir()),
        QStringLiteral("DIR")};
    QCommandLineOption database{
        QStringLiteral("database"),
        QStringLiteral("使用数据库服务器上的数据库，URL 为 libpq 连接地址，如 "
                       "postgresql://用户@主机:端口/数据库名，Unix 套接字用 "
                       "postgresql:///数据库名?host=/套接字文件夹。不给出时使用“数据库连接”中"
                       "保存的服务器，没有保存时使用数据文件夹中的数据库文件；给出空值时使用"
                       "数据文件夹中的数据库文件"),
        QStringLiteral("URL")};
    QCommandLineOption allowNetworkFolder{
        QStringLiteral("allow-network-folder"),
        QStringLiteral("数据文件夹在网络文件系统上时也打开它（只在确知该文件夹只由本机使用时）")};
    QCommandLineOption import{QStringLiteral("import"),
                              QStringLiteral("不打开窗口，读取表格文件 FILE，审核后导入数据库，"
                                             "与“数据导入”窗口的规则相同"),
                              QStringLiteral("FILE")};
    QCommandLineOption dryRun{
        QStringLiteral("dry-run"),
        QStringLiteral("与 --import 同用：只把读到的行（不含表头）以 UTF-8 CSV 写到标准输出，"
                       "不导入任何数据")};
    QCommandLineOption copyTo{
        QStringLiteral("copy-to"),
        QStringLiteral("不打开窗口，把数据文件夹中的数据库完整复制到 PostgreSQL 服务器上的空数据库 "
                       "URL（如 postgresql://user@host/dbname），复制后核对行数和金额"),
        QStringLiteral("URL")};
    // Start-up measurements: end as soon as the login window has been shown.
    QCommandLineOption exitWhenShown{QStringLiteral("exit-when-shown")};
};

void Describe(QCommandLineParser& parser, Options& options) {
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.dataDir);
    parser.addOption(options.database);
    parser.addOption(options.allowNetworkFolder);
    parser.addOption(options.import);
    parser.addOption(options.dryRun);
    parser.addOption(options.copyTo);
    options.exitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(options.exitWhenShown);
}

// Whether the arguments ask for something that needs no window. Arguments that do not parse
// still do when they name such an option; otherwise they may be the toolkit's own (-platform),
// which only the interactive start understands.
bool WantsCommandLine(const QCommandLineParser& parser, const Options& options, bool parsed,
                      const QStringList& arguments) {
    if (parsed) {
        return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
               parser.isSet(QStringLiteral("version")) || parser.isSet(options.import) ||
               parser.isSet(options.dryRun) || parser.isSet(options.copyTo);
    }
    for (const QString& argument : arguments.mid(1)) {
        for (const char* name :
             {"--import", "--dry-run", "--copy-to", "--help", "-h", "-?", "--version", "-v"}) {
            if (argument == QLatin1String(name) ||
                argument.startsWith(QLatin1String(name) + QLatin1Char('='))) {
                return true;
            }
        }
    }
    return false;
}

// The server whose database the program opens, or empty for the folder's file. The command
// line wins over the connection stored by "数据库连接"; an empty URL there means the file.
QString ChosenServer(const QCommandLineParser& parser, const Options& options,
                     const QString& folder) {
    return parser.isSet(options.database) ? parser.value(options.database)
                                          : StoredServerUri(folder);
}

int UsageError(const QString& text) {
    std::fputs(qPrintable(text + QStringLiteral("\n请用 --help 查看用法。\n")), stderr);
    return kImportBadRequest;
}

// --help, --version, --import and --copy-to run without a display.
int RunCommandLine(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ruvaso"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RUVASO_VERSION));
    QCommandLineParser parser;
    Options options;
    Describe(parser, options);
    if (!parser.parse(QCoreApplication::arguments())) {
        return UsageError(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    if (!parser.positionalArguments().isEmpty()) {
        return UsageError(QStringLiteral("多余的参数：") +
                          parser.positionalArguments().join(QLatin1Char(' ')));
    }
    Database::SetNetworkFolderAllowed(parser.isSet(options.allowNetworkFolder));
    const QString folder =
        parser.isSet(options.dataDir) ? parser.value(options.dataDir) : Database::DefaultDataDir();
    if (parser.isSet(options.copyTo)) {
        if (parser.isSet(options.import) || parser.isSet(options.dryRun)) {
            return UsageError(QStringLiteral("--copy-to 不能与 --import 同用。"));
        }
        return RunCopyCommand(folder, parser.value(options.copyTo));
    }
    if (!parser.isSet(options.import)) {
        return UsageError(QStringLiteral("--dry-run 只能与 --import 同用。"));
    }
    // The import goes into the database the program would open, never into another one.
    return RunImportCommand(parser.value(options.import), folder, parser.isSet(options.dryRun),
                            ChosenServer(parser, options, folder));
}

}  // namespace

int main(int argc, char** argv) {
    {
        // Decided before any application object exists: the interactive start needs a display,
        // the command-line actions must not.
        QStringList arguments;
        for (int i = 0; i < argc; ++i) {
            arguments << QString::fromLocal8Bit(argv[i]);
        }
        QCommandLineParser parser;
        Options options;
        Describe(parser, options);
        const bool parsed = parser.parse(arguments);
        if (WantsCommandLine(parser, options, parsed, arguments)) {
            return RunCommandLine(argc, argv);
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ruvaso"));
    QApplication::setApplicationVersion(QStringLiteral(RUVASO_VERSION));
    ApplyChineseLocale(app);

    QCommandLineParser parser;
    Options options;
    Describe(parser, options);
    parser.process(app);

    const QString folder =
        parser.isSet(options.dataDir) ? parser.value(options.dataDir) : Database::DefaultDataDir();
    Database::SetNetworkFolderAllowed(parser.isSet(options.allowNetworkFolder));
    ui::ShowBusyCursorWhileWaitingForDatabase();
    ui::SetWindowMemoryPlace(ui::DefaultWindowMemoryPlace());
    const QString server = ChosenServer(parser, options, folder);
    StartUp started =
        server.isEmpty() ? StartProgram(folder) : StartProgramOnServer(server, folder);
    if (!started.login) {
        return 1;
    }
    if (parser.isSet(options.exitWhenShown)) {
        started.login->installEventFilter(new QuitAfterFirstPaint(started.login));
    }
    const int status = QApplication::exec();
    // A backup still running stops and removes its draft; the next start makes it.
    started.work.reset();
    Database::Close();
    return status;
}
