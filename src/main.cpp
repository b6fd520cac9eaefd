#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "app/localization.h"
#include "app/login_window.h"
#include "app/start_up.h"
#include "data/database.h"
#include "masterdata/database_check.h"
#include "ui/busy_indicator.h"
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ruvaso"));
    QApplication::setApplicationVersion(QStringLiteral(RUVASO_VERSION));
    ApplyChineseLocale(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Ruvaso汽车维修保养客户管理系统"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("数据文件夹（默认 %1）").arg(Database::DefaultDataDir()),
        QStringLiteral("DIR"));
    parser.addOption(dataDir);
    const QCommandLineOption allowNetworkFolder(
        QStringLiteral("allow-network-folder"),
        QStringLiteral("数据文件夹在网络文件系统上时也打开它（只在确知该文件夹只由本机使用时）"));
    parser.addOption(allowNetworkFolder);
    // Start-up measurements: end as soon as the login window has been shown.
    QCommandLineOption exitWhenShown(QStringLiteral("exit-when-shown"));
    exitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(exitWhenShown);
    parser.process(app);

    const QString folder =
        parser.isSet(dataDir) ? parser.value(dataDir) : Database::DefaultDataDir();
    Database::SetNetworkFolderAllowed(parser.isSet(allowNetworkFolder));
    ui::ShowBusyCursorWhileWaitingForDatabase();
    StartUp started = StartProgram(folder);
    if (!started.login) {
        return 1;
    }
    if (parser.isSet(exitWhenShown)) {
        started.login->installEventFilter(new QuitAfterFirstPaint(started.login));
    }
    const int status = QApplication::exec();
    started.check.reset();
    Database::Close();
    return status;
}
