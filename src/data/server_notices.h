#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;
class QThread;
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

    // Whether the connection is known to be lost and is being tried again in the background.
    bool lost() const { return lost_; }
    // The pause before the next attempt, for tests.
    int reconnectPauseMs() const { return pause_; }

Q_SIGNALS:
    void received(const QString& topic);
    // The connection closed under an idle station (its socket said so), and later came back:
    // lists read before may be stale.
    void connectionLost();
    void connectionRestored();

private:
    ServerNotices() = default;
    // Takes in what has arrived, without telling anyone yet.
    void collect();
    void tell();
    void noticeLoss();
    void tryReconnect();
    void restored();

    QStringList pending_;
    bool lost_ = false;
    int pause_ = 0;
    QTimer* reconnectTimer_ = nullptr;
    QThread* probe_ = nullptr;
    quint64 heard_ = 0;
    bool telling_ = false;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
};
