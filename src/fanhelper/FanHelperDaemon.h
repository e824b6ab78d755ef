#pragma once

// The helper's socket side: accepts clients on the listening socket systemd hands over, reads one request
// per line, answers through the service, and runs the service's lease timer. A client's connection
// closing — also when its process is killed — reaches the service at once.

#include "FanHelperService.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

namespace kestrum {

class FanHelperDaemon final : public QObject {
    Q_OBJECT
public:
    // More clients than any desktop has; beyond it a new connection is closed at once.
    static constexpr size_t maximumConnections = 32;

    // Takes over `listeningSocket` (a listening Unix stream socket) and closes it when destroyed.
    FanHelperDaemon(int listeningSocket, FanHelperService& service, MonotonicClock clock,
                    int idleExitMilliseconds = 60000, QObject* parent = nullptr);
    ~FanHelperDaemon() override;

    int connectionCount() const { return int(m_connections.size()); }

Q_SIGNALS:
    // No boost and no client for the idle time: the helper may exit (socket activation restarts it).
    void idle();

private:
    struct Connection {
        int fd = -1;
        FanHelperPeer peer;
        QByteArray buffer;
        std::unique_ptr<QSocketNotifier> notifier;
    };

    void acceptClients();
    void readClient(quint64 id);
    // Sends one reply; false when the client cannot take it.
    bool send(const Connection& connection, const QByteArray& reply);
    void closeConnection(quint64 id);
    void reschedule();

    int m_listeningSocket;
    FanHelperService& m_service;
    MonotonicClock m_clock;
    QSocketNotifier m_listener;
    QTimer m_deadlineTimer;
    QTimer m_idleTimer;
    std::map<quint64, Connection> m_connections;
    // Notifiers of closed connections, deleted once their own signal has returned.
    std::vector<std::unique_ptr<QSocketNotifier>> m_retiredNotifiers;
    quint64 m_nextConnection = 1;
};

} // namespace kestrum
