#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

// The program's options, shared by the command-line actions (no display) and the interactive
// start.
struct Options {
    Options();
    // Our own, so that their descriptions are in Chinese whether or not Qt's catalogue is.
    QCommandLineOption help;
    QCommandLineOption helpAll;  // the same help; kept for those who know Qt's option
    QCommandLineOption version;
    QCommandLineOption dataDir;
    QCommandLineOption database;
    QCommandLineOption allowNetworkFolder;
    QCommandLineOption import;
    QCommandLineOption dryRun;
    QCommandLineOption copyTo;
    // Start-up measurements: end as soon as the login window has been shown.
    QCommandLineOption exitWhenShown;
};

void Describe(QCommandLineParser& parser, Options& options);

// The arguments without the toolkit's own (-platform offscreen, -style=fusion, …), which only
// the interactive start understands and every start accepts.
QStringList WithoutToolkitArguments(const QStringList& arguments);

// Whether `arguments` (the program's name first) are for the command line: --help, --version,
// an action that needs no window, or something that is not an option at all, which is refused
// there without a display.
bool WantsCommandLine(const QStringList& arguments);

// A server URL given with --database may carry a password, which every user of the computer
// can read in the process list. This takes it out of the argument's own memory (what the
// process list shows, where the system reads it from there) and hands it to the client library
// in the environment as PGPASSWORD instead. Call it first thing in main.
void HideDatabasePassword(int argc, char** argv);
// `uri` without its password, and the password (decoded) in `password`; `uri` itself when it
// holds none.
QByteArray WithoutPassword(const QByteArray& uri, QByteArray* password);

// The server whose database the program opens, or empty for the folder's file. The command
// line wins over the connection stored by "数据库连接"; an empty URL there means the file.
QString ChosenServer(const QCommandLineParser& parser, const Options& options,
                     const QString& folder);

// Runs the command line; returns the exit status.
int RunCommandLine(int argc, char** argv);

// The exit status of a usage error: 2 with an action that documents it, otherwise 1.
int UsageErrorStatus(const QStringList& arguments);

// What is wrong with arguments that did not parse, in the operator's language.
QString UsageProblem(const QCommandLineParser& parser);
