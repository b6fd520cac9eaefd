#include "data/server_notices.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
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
}

void ServerNotices::stop() {
    ServerNotices* self = instance();
    Drop(self->notifier_);
    if (self->timer_) {
        self->timer_->stop();
    }
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
    if (!server->connected()) {
        // The socket is gone; the next statement reconnects and listens again.
        Drop(notifier_);
        return;
    }
    const int self = server->backendPid();
    for (const auto& [sender, topic] : server->takeNotifications()) {
        if (sender != self) {
            pending_ << topic;
            ++heard_;
        }
    }
}

void ServerNotices::tell() {
    telling_ = false;
    const QStringList topics = std::exchange(pending_, {});
    for (const QString& topic : topics) {
        Q_EMIT received(topic);
    }
}
