#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "app/command_line.h"
#include "app/localization.h"
#include "app/login_window.h"
#include "app/start_up.h"
#include "data/database.h"
#include "platform/console.h"
#include "ui/busy_indicator.h"
#include "ui/window_placement.h"
#include "version.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    platform::PrepareConsole();
    HideDatabasePassword(argc, argv);
    {
        // Decided before any application object exists: the interactive start needs a display,
        // the command line must not.
        QStringList arguments;
        for (int i = 0; i < argc; ++i) {
            arguments << QString::fromLocal8Bit(argv[i]);
        }
        if (WantsCommandLine(arguments)) {
            return RunCommandLine(argc, argv);
        }
    }

    platform::ReleaseOwnConsole();
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
        return started.handedOver ? 0 : 1;
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
