#include "app/command_line.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cstdio>
#include <cstring>

#include "app/copy_command.h"
#include "app/qt_translations.h"
#include "core/console.h"
#include "core/terminal_text.h"
#include "data/database.h"
#include "import/import_command.h"
#include "session/connection_settings.h"
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
    "  2  用法错误\n\n"
    "其他用法错误（如未知的选项）的退出状态为 1。");

// The toolkit's options that take a value, and those that do not. Each may be written with one
// or two dashes, and a value also after "=".
const QStringList kToolkitValueOptions = {QStringLiteral("platform"),
                                          QStringLiteral("platformpluginpath"),
                                          QStringLiteral("platformtheme"),
                                          QStringLiteral("plugin"),
                                          QStringLiteral("qwindowgeometry"),
                                          QStringLiteral("qwindowicon"),
                                          QStringLiteral("qwindowtitle"),
                                          QStringLiteral("session"),
                                          QStringLiteral("display"),
                                          QStringLiteral("geometry"),
                                          QStringLiteral("style"),
                                          QStringLiteral("stylesheet"),
                                          QStringLiteral("name"),
                                          QStringLiteral("title"),
                                          QStringLiteral("visual")};
const QStringList kToolkitFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"), QStringLiteral("dograb")};

// The bare name of an argument written "-name", "--name" or "-name=value"; empty otherwise.
QString OptionName(const QString& argument) {
    if (!argument.startsWith(QLatin1Char('-'))) {
        return {};
    }
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    return name.left(name.indexOf(QLatin1Char('=')));
}

// An option's description broken into lines that a terminal of 80 columns shows whole beside
// the option names: Qt's help counts a Chinese character as one column, a terminal gives it two.
QString ForHelp(const QString& text) {
    return WrapToTerminalColumns(text, 50);
}

int UsageError(const QString& text, int status) {
    Say(stderr, text + QStringLiteral("\n请用 --help 查看用法。"));
    return status;
}

}  // namespace

Options::Options()
    : help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
           ForHelp(QStringLiteral("显示本帮助并退出。"))),
      helpAll(QStringLiteral("help-all")),
      version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
              ForHelp(QStringLiteral("显示版本并退出。"))),
      dataDir(QStringLiteral("data-dir"),
              ForHelp(QStringLiteral("数据文件夹（默认 %1）").arg(Database::DefaultDataDir())),
              QStringLiteral("DIR")),
      database(QStringLiteral("database"),
               ForHelp(QStringLiteral(
                   "使用数据库服务器上的数据库，URL 为 libpq 连接地址，如 "
                   "postgresql://用户@主机:端口/数据库名，Unix 套接字用 "
                   "postgresql:///数据库名?host=/套接字文件夹。不给出时使用“数据库连接”中"
                   "保存的服务器，没有保存时使用数据文件夹中的数据库文件；给出空值时使用"
                   "数据文件夹中的数据库文件。注意：URL 中的密码在程序启动时可被本机其他用户"
                   "从进程列表中看到，请把密码保存在“数据库连接”的密码文件中，或用环境变量 "
                   "PGPASSWORD 给出")),
               QStringLiteral("URL")),
      allowNetworkFolder(QStringLiteral("allow-network-folder"),
                         ForHelp(QStringLiteral("数据文件夹在网络文件系统上时也打开它"
                                                "（只在确知该文件夹只由本机使用时）"))),
      import(QStringLiteral("import"),
             ForHelp(QStringLiteral("不打开窗口，读取表格文件 FILE，审核后导入数据库，"
                                    "与“数据导入”窗口的规则相同")),
             QStringLiteral("FILE")),
      dryRun(QStringLiteral("dry-run"),
             ForHelp(QStringLiteral("与 --import 同用：只把读到的行（不含表头）以 UTF-8 CSV "
                                    "写到标准输出，不导入任何数据"))),
      copyTo(QStringLiteral("copy-to"),
             ForHelp(QStringLiteral(
                 "不打开窗口，把数据文件夹中的数据库完整复制到 PostgreSQL 服务器上的空数据库 "
                 "URL（如 postgresql://user@host/dbname），复制后核对行数和金额")),
             QStringLiteral("URL")),
      exitWhenShown(QStringLiteral("exit-when-shown")) {
    helpAll.setFlags(QCommandLineOption::HiddenFromHelp);
    exitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
}

void Describe(QCommandLineParser& parser, Options& options) {
    parser.setApplicationDescription(kDescription);
    parser.addOption(options.help);
    parser.addOption(options.helpAll);
    parser.addOption(options.version);
    parser.addOption(options.dataDir);
    parser.addOption(options.database);
    parser.addOption(options.allowNetworkFolder);
    parser.addOption(options.import);
    parser.addOption(options.dryRun);
    parser.addOption(options.copyTo);
    parser.addOption(options.exitWhenShown);
}

QStringList WithoutToolkitArguments(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const QString name = i == 0 ? QString() : OptionName(argument);
        if (kToolkitFlags.contains(name) && !argument.contains(QLatin1Char('='))) {
            continue;
        }
        if (kToolkitValueOptions.contains(name)) {
            if (!argument.contains(QLatin1Char('='))) {
                ++i;  // its value follows
            }
            continue;
        }
        kept << argument;
    }
    return kept;
}

bool WantsCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    Options options;
    Describe(parser, options);
    if (!parser.parse(WithoutToolkitArguments(arguments))) {
        return true;
    }
    return parser.isSet(options.help) || parser.isSet(options.helpAll) ||
           parser.isSet(options.version) || parser.isSet(options.import) ||
           parser.isSet(options.dryRun) || parser.isSet(options.copyTo) ||
           !parser.positionalArguments().isEmpty();
}

int UsageErrorStatus(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        const QString name = OptionName(argument);
        if (name == QLatin1String("import") || name == QLatin1String("dry-run") ||
            name == QLatin1String("copy-to")) {
            return kImportBadRequest;
        }
    }
    return 1;
}

QString UsageProblem(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        QStringList written;
        for (const QString& name : unknown) {
            written << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        }
        return QStringLiteral("未知的选项：") + written.join(QStringLiteral("、"));
    }
    // The parser's other complaints name the option between quotes.
    const QString text = parser.errorText();
    const QRegularExpressionMatch quoted =
        QRegularExpression(QStringLiteral("'([^']*)'")).match(text);
    if (quoted.hasMatch() && text.startsWith(QLatin1String("Missing value"))) {
        return QStringLiteral("选项 %1 后面缺少值。").arg(quoted.captured(1));
    }
    if (quoted.hasMatch() && text.startsWith(QLatin1String("Unexpected value"))) {
        return QStringLiteral("选项 %1 不带值。").arg(quoted.captured(1));
    }
    return text;
}

QByteArray WithoutPassword(const QByteArray& uri, QByteArray* password) {
    static const QRegularExpression inUri(
        QStringLiteral(R"(^(postgres(?:ql)?://[^:/@?]*):([^@/?]*)@)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression inKeywords(
        QStringLiteral(R"((^|\s)password\s*=\s*('(?:[^'\\]|\\.)*'|\S*))"));
    static const QRegularExpression inQuery(QStringLiteral(R"([?&]password=([^&]*))"));
    QString text = QString::fromUtf8(uri);
    if (const QRegularExpressionMatch m = inUri.match(text); m.hasMatch()) {
        *password = QByteArray::fromPercentEncoding(m.captured(2).toUtf8());
        text.replace(m.capturedStart(), m.capturedLength(), m.captured(1) + QLatin1Char('@'));
    } else if (const QRegularExpressionMatch q = inQuery.match(text); q.hasMatch()) {
        *password = QByteArray::fromPercentEncoding(q.captured(1).toUtf8());
        // "?password=x&host=h" keeps "?host=h"; "&password=x" goes whole.
        const bool first = text.at(q.capturedStart()) == QLatin1Char('?');
        const qsizetype end = q.capturedEnd();
        const bool more = end < text.size() && text.at(end) == QLatin1Char('&');
        text.remove(q.capturedStart() + (first ? 1 : 0),
                    q.capturedLength() - (first ? 1 : 0) + (first && more ? 1 : 0));
    } else if (const QRegularExpressionMatch k = inKeywords.match(text); k.hasMatch()) {
        QString value = k.captured(2);
        if (value.startsWith(QLatin1Char('\''))) {
            value =
                value.mid(1, value.size() - 2).replace(QStringLiteral("\\'"), QStringLiteral("'"));
        }
        *password = value.toUtf8();
        text.remove(k.capturedStart(), k.capturedLength());
    } else {
        return uri;
    }
    return text.toUtf8();
}

void HideDatabasePassword(int argc, char** argv) {
    const QByteArray option = "--database";
    for (int i = 1; i < argc; ++i) {
        QByteArray argument(argv[i]);
        char* value = nullptr;
        if (argument == option && i + 1 < argc) {
            value = argv[++i];
        } else if (argument.startsWith(option + '=')) {
            value = argv[i] + option.size() + 1;
        }
        if (!value) {
            continue;
        }
        QByteArray password;
        const QByteArray kept = WithoutPassword(QByteArray(value), &password);
        if (password.isEmpty()) {
            continue;
        }
        qputenv("PGPASSWORD", password);
        // Shorter than before: written over the old text, the rest blanked.
        const size_t length = std::strlen(value);
        std::memset(value, 0, length);
        std::memcpy(value, kept.constData(), size_t(kept.size()));
    }
}

QString ChosenServer(const QCommandLineParser& parser, const Options& options,
                     const QString& folder) {
    return parser.isSet(options.database) ? parser.value(options.database)
                                          : StoredServerUri(folder);
}

int RunCommandLine(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ruvaso"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RUVASO_VERSION));
    QCommandLineParser parser;
    Options options;
    Describe(parser, options);
    const QStringList arguments = WithoutToolkitArguments(QCoreApplication::arguments());
    const int usageStatus = UsageErrorStatus(arguments);
    if (!parser.parse(arguments)) {
        return UsageError(UsageProblem(parser), usageStatus);
    }
    if (parser.isSet(options.help) || parser.isSet(options.helpAll)) {
        // Qt's headings of the help in Chinese. Only here: the parser's complaints above are
        // read in its own English by UsageProblem, and the locale stays C so that the numbers
        // an action prints read the same on every machine.
        InstallQtChineseTranslations();
        // Written here rather than by the parser: on Windows the parser shows a message box
        // instead when the program has no console of its own, as under a script.
        QString help = parser.helpText();
        if (help.endsWith(QLatin1Char('\n'))) {
            help.chop(1);
        }
        Say(stdout, help);
        return 0;
    }
    if (parser.isSet(options.version)) {
        Say(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion());
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return UsageError(
            QStringLiteral("多余的参数：") + parser.positionalArguments().join(QLatin1Char(' ')),
            usageStatus);
    }
    Database::SetNetworkFolderAllowed(parser.isSet(options.allowNetworkFolder));
    const QString folder =
        parser.isSet(options.dataDir) ? parser.value(options.dataDir) : Database::DefaultDataDir();
    if (parser.isSet(options.copyTo)) {
        if (parser.isSet(options.import) || parser.isSet(options.dryRun)) {
            return UsageError(QStringLiteral("--copy-to 不能与 --import 同用。"),
                              kImportBadRequest);
        }
        return RunCopyCommand(folder, parser.value(options.copyTo));
    }
    if (!parser.isSet(options.import)) {
        return UsageError(QStringLiteral("--dry-run 只能与 --import 同用。"), kImportBadRequest);
    }
    // The import goes into the database the program would open, never into another one.
    return RunImportCommand(parser.value(options.import), folder, parser.isSet(options.dryRun),
                            ChosenServer(parser, options, folder));
}
