#include "app/running_instance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

#include "core/folder_path.h"
#include "platform/local_server_name.h"

namespace {

const QByteArray kShow = QByteArrayLiteral("show\n");
const QByteArray kShown = QByteArrayLiteral("shown\n");

void Restore(QWidget* window) {
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    window->raise();
}

}  // namespace

QString RunningInstanceName(const QString& dataDir) {
    const QByteArray hash =
        QCryptographicHash::hash(CleanFolderPath(dataDir).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(20);
    return platform::LocalServerName(QString::fromLatin1(hash));
}

bool ShowRunningInstance(const QString& dataDir, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(RunningInstanceName(dataDir));
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kShow);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    return socket.readLine() == kShown;
}

RunningInstanceListener::RunningInstanceListener(const QString& dataDir)
    : server_(std::make_unique<QLocalServer>()) {
    const QString name = RunningInstanceName(dataDir);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // This program holds the folder, so a socket of that name is a killed program's leftover.
    QLocalServer::removeServer(name);
    if (server_->listen(name)) {
        connect(server_.get(), &QLocalServer::newConnection, this,
                &RunningInstanceListener::answer);
    }
}

RunningInstanceListener::~RunningInstanceListener() = default;

bool RunningInstanceListener::listening() const {
    return server_->isListening();
}

void RunningInstanceListener::answer() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine() == kShow) {
                BringWindowsToFront();
                socket->write(kShown);
                socket->flush();
                Q_EMIT shown();
            }
            socket->disconnectFromServer();
        });
    }
}

void BringWindowsToFront() {
    const auto area = [](const QWidget* w) { return qint64(w->width()) * w->height(); };
    QWidget* front = QApplication::activeModalWidget();
    QWidget* largest = nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (!window->isVisible() || window == front ||
            (window->windowType() != Qt::Window && window->windowType() != Qt::Dialog)) {
            continue;
        }
        Restore(window);
        if (largest == nullptr || area(window) > area(largest)) {
            largest = window;
        }
    }
    if (front == nullptr) {
        front = largest;
    }
    if (front != nullptr) {
        Restore(front);
        front->activateWindow();
    }
}
