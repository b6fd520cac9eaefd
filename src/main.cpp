#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "app/localization.h"
#include "app/login_window.h"
#include "data/database.h"
#include "masterdata/backup_procedure.h"
#include "ui/busy_indicator.h"
#include "ui/message_box.h"
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

QString ReadOnlyNotice(const QString& reason) {
    return QStringLiteral("数据库只能查看，不能保存：%1\n可以查看和打印，但不能保存任何修改。")
        .arg(reason);
}

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
    const Database::OpenResult opened = Database::Open(folder);
    if (!opened.ok) {
        ui::MessageBox::show(nullptr, QStringLiteral("系统提示"), opened.message,
                             ui::MessageBox::Icon::Stop, ui::MessageBox::Buttons::Ok);
        return 1;
    }

    if (opened.readOnly) {
        ui::MessageBox::show(nullptr, QStringLiteral("系统提示"), ReadOnlyNotice(opened.message),
                             ui::MessageBox::Icon::Exclamation, ui::MessageBox::Buttons::Ok);
    } else {
        database_modu::StartOfDayBackup(nullptr);
    }

    auto* login = new LoginWindow;
    login->show();
    if (parser.isSet(exitWhenShown)) {
        login->installEventFilter(new QuitAfterFirstPaint(login));
    }
    const int status = QApplication::exec();
    Database::Close();
    return status;
}
