#include "data/server_notices.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

#include "data/database.h"
#include "data/pg_connection.h"
#include "data/statement.h"
#include "data/transaction.h"

namespace {

const QString kChannel = QStringLiteral("ruvaso_changes");
// Notifications read while a statement ran wait in the library, where the socket no longer
// shows them; a slow timer collects those.
constexpr int kCheckMs = 1000;
// Pauses between attempts to reach a server that went away: short at first, for a restart,
// then growing, so a server that stays down is not asked many times a second.
constexpr int kFirstPauseMs = 500;
constexpr int kLongestPauseMs = 30000;

// Later, not now: it may be the notifier whose signal is being handled.
void Drop(QSocketNotifier*& notifier) {
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
}

}  // namespace

ServerNotices* ServerNotices::instance() {
    // Lives to the end of the program: its notifier and timer must not outlive the application
    // object in a static destructor.
    static auto* notices = new ServerNotices;
    return notices;
}

void ServerNotices::listen() {
    ServerNotices* self = instance();
    Drop(self->notifier_);
    PgConnection* server = Database::Server();
    if (!server || !QCoreApplication::instance()) {
        return;
    }
    Statement::freeConnection();
    if (!server->exec(QStringLiteral("listen ") + kChannel).ok()) {
        return;
    }
    self->notifier_ = new QSocketNotifier(server->socket(), QSocketNotifier::Read, self);
    connect(self->notifier_, &QSocketNotifier::activated, self, &ServerNotices::check);
    if (!self->timer_) {
        self->timer_ = new QTimer(self);
        connect(self->timer_, &QTimer::timeout, self, &ServerNotices::check);
    }
    self->timer_->start(kCheckMs);
    if (self->lost_) {
        // A statement reconnected before the background attempt did. Said from the event loop:
        // the caller may be in the middle of its work.
        QMetaObject::invokeMethod(self, &ServerNotices::restored, Qt::QueuedConnection);
    }
}

void ServerNotices::stop() {
    ServerNotices* self = instance();
    Drop(self->notifier_);
    if (self->timer_) {
        self->timer_->stop();
    }
    if (self->reconnectTimer_) {
        self->reconnectTimer_->stop();
    }
    if (self->probe_) {
        self->probe_->wait();
    }
    self->lost_ = false;
}

void ServerNotices::announce(const QString& topic) {
    PgConnection* server = Database::Server();
    if (!server || !server->connected() || Transaction::isOpen()) {
        return;
    }
    Statement::freeConnection();
    server->exec(QStringLiteral("select pg_notify($1, $2)"), {kChannel, topic});
}

void ServerNotices::check() {
    collect();
    tell();
}

quint64 ServerNotices::heard() {
    collect();
    if (!pending_.isEmpty() && !telling_) {
        telling_ = true;
        QMetaObject::invokeMethod(this, &ServerNotices::tell, Qt::QueuedConnection);
    }
    return heard_;
}

void ServerNotices::collect() {
    PgConnection* server = Database::Server();
    if (!server) {
        return;
    }
    if (server->connected()) {
        const int self = server->backendPid();
        for (const auto& [sender, topic] : server->takeNotifications()) {
            if (sender != self) {
                pending_ << topic;
                ++heard_;
            }
        }
    }
    if (!server->connected()) {
        // The socket is gone; the next statement reconnects and listens again, and until one
        // does, the station tries in the background.
        Drop(notifier_);
        noticeLoss();
    }
}

void ServerNotices::noticeLoss() {
    if (lost_ || !QCoreApplication::instance()) {
        return;
    }
    lost_ = true;
    pause_ = kFirstPauseMs;
    if (!reconnectTimer_) {
        reconnectTimer_ = new QTimer(this);
        reconnectTimer_->setSingleShot(true);
        connect(reconnectTimer_, &QTimer::timeout, this, &ServerNotices::tryReconnect);
    }
    reconnectTimer_->start(pause_);
    // Later, not now: the loss may have been found in the middle of a statement.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (lost_) {
                Q_EMIT connectionLost();
            }
        },
        Qt::QueuedConnection);
}

void ServerNotices::tryReconnect() {
    PgConnection* server = Database::Server();
    if (!lost_ || !server || probe_) {
        return;
    }
    if (server->connected()) {
        restored();
        return;
    }
    // Whether the server answers is found out on a thread of its own: an address that does not
    // answer would hold the windows for the whole connection timeout.
    auto answered = std::make_shared<std::atomic_bool>(false);
    probe_ =
        QThread::create([uri = server->uri(), answered] { *answered = PgConnection(uri).ok(); });
    connect(probe_, &QThread::finished, this, [this, answered] {
        probe_->deleteLater();
        probe_ = nullptr;
        PgConnection* current = Database::Server();
        if (!lost_ || !current) {
            return;
        }
        // A save under way owns the connection; a statement of its own reconnects if it must.
        if (current->connected() ||
            (*answered && !Transaction::isOpen() && Database::Reconnect())) {
            restored();
            return;
        }
        pause_ = std::min(pause_ * 2, kLongestPauseMs);
        reconnectTimer_->start(pause_);
    });
    probe_->start();
}

void ServerNotices::restored() {
    if (!lost_) {
        return;
    }
    lost_ = false;
    if (reconnectTimer_) {
        reconnectTimer_->stop();
    }
    Q_EMIT connectionRestored();
}

void ServerNotices::tell() {
    telling_ = false;
    const QStringList topics = std::exchange(pending_, {});
    for (const QString& topic : topics) {
        Q_EMIT received(topic);
    }
}
