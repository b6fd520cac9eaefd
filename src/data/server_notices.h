#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;
class QTimer;

// What other stations on the same server say they changed, and what this station tells them:
// topics such as "customers" travel as PostgreSQL notifications on one channel. A station never
// hears its own. On SQLite nothing is sent and nothing arrives: one program uses the file.
class ServerNotices : public QObject {
    Q_OBJECT

public:
    static ServerNotices* instance();

    // Starts listening on the open server connection (after opening and after a reconnect).
    static void listen();
    // Stops listening; the connection is about to close.
    static void stop();
    // Tells the other stations that `topic` changed; nothing on SQLite. Sent at once, outside
    // any transaction of ours, so it is heard only after the change it names is committed.
    static void announce(const QString& topic);

    // Reads what has arrived (the notifier and a slow timer call it; tests too).
    void check();
    // How many notices of other stations have arrived so far, counting any waiting on the
    // socket now: a cheap mark of their saves, read without a round trip. What they say is told
    // later, from the event loop, never in the middle of the caller's work.
    quint64 heard();

Q_SIGNALS:
    void received(const QString& topic);

private:
    ServerNotices() = default;
    // Takes in what has arrived, without telling anyone yet.
    void collect();
    void tell();

    QStringList pending_;
    quint64 heard_ = 0;
    bool telling_ = false;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
};
