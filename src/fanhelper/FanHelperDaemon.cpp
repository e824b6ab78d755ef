#include "FanHelperDaemon.h"

#include "FanHelperLogging.h"

#include <QTimer>
#include <cerrno>
#include <cmath>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrum {

FanHelperDaemon::FanHelperDaemon(int listeningSocket, FanHelperService& service, MonotonicClock clock,
                                 int idleExitMilliseconds, QObject* parent)
    : QObject(parent), m_listeningSocket(listeningSocket), m_service(service), m_clock(std::move(clock)),
      m_listener(listeningSocket, QSocketNotifier::Read) {
    connect(&m_listener, &QSocketNotifier::activated, this, &FanHelperDaemon::acceptClients);
    m_deadlineTimer.setSingleShot(true);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_deadlineTimer, &QTimer::timeout, this, [this] {
        m_service.expire();
        reschedule();
    });
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleExitMilliseconds);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (m_connections.empty() && !m_service.isBoosting())
            Q_EMIT idle();
    });
    reschedule();
}

FanHelperDaemon::~FanHelperDaemon() {
    while (!m_connections.empty())
        closeConnection(m_connections.begin()->first);
    m_listener.setEnabled(false);
    ::close(m_listeningSocket);
}

void FanHelperDaemon::acceptClients() {
    m_retiredNotifiers.clear();
    for (;;) {
        const int fd = ::accept4(m_listeningSocket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                qCWarning(lcFanHelper) << "accept failed:" << strerror(errno);
                // Out of descriptors: a listener left on would fire again at once, forever.
                m_listener.setEnabled(false);
                QTimer::singleShot(1000, this, [this] { m_listener.setEnabled(true); });
            }
            break;
        }
        if (m_connections.size() >= maximumConnections) {
            // A flood of idle connections must not starve the helper of descriptors.
            ::close(fd);
            continue;
        }
        ucred credentials{};
        socklen_t length = sizeof credentials;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
            length != sizeof credentials) {
            qCWarning(lcFanHelper) << "a client without peer credentials was refused";
            ::close(fd);
            continue;
        }
        const quint64 id = m_nextConnection++;
        Connection connection;
        connection.fd = fd;
        connection.peer = {id, credentials.pid, credentials.uid};
        connection.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(connection.notifier.get(), &QSocketNotifier::activated, this, [this, id] { readClient(id); });
        m_connections.emplace(id, std::move(connection));
    }
    reschedule();
}

void FanHelperDaemon::readClient(quint64 id) {
    m_retiredNotifiers.clear();
    auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    Connection& connection = found->second;
    bool closed = false;
    char chunk[4096];
    for (;;) {
        const ssize_t count = ::recv(connection.fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (count > 0) {
            connection.buffer.append(chunk, count);
            if (connection.buffer.size() > 4 * AdvancedFanHelperWire::maximumMessageBytes)
                break; // enough to answer; the rest waits
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        closed = count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    // Every complete line, in order; a line the protocol cannot carry ends the connection.
    qsizetype end;
    while ((end = connection.buffer.indexOf('\n')) >= 0) {
        const QByteArray line = connection.buffer.left(end);
        connection.buffer.remove(0, end + 1);
        const FanHelperService::Answer answer = line.size() > AdvancedFanHelperWire::maximumMessageBytes
                                                    ? m_service.oversizedLine()
                                                    : m_service.handleLine(connection.peer, line);
        if (!send(connection, answer.reply) || answer.closeConnection) {
            closed = true;
            break;
        }
    }
    if (!closed && connection.buffer.size() > AdvancedFanHelperWire::maximumMessageBytes) {
        send(connection, m_service.oversizedLine().reply);
        closed = true;
    }
    if (closed)
        closeConnection(id);
    reschedule();
}

bool FanHelperDaemon::send(const Connection& connection, const QByteArray& reply) {
    qsizetype offset = 0;
    while (offset < reply.size()) {
        const ssize_t count = ::send(connection.fd, reply.constData() + offset, size_t(reply.size() - offset),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && errno == EINTR)
            continue;
        // A client that lets its socket fill up is not reading its answers.
        if (count <= 0)
            return false;
        offset += count;
    }
    return true;
}

void FanHelperDaemon::closeConnection(quint64 id) {
    auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    Connection connection = std::move(found->second);
    m_connections.erase(found);
    connection.notifier->setEnabled(false);
    // The notifier may be the one whose signal is being delivered.
    m_retiredNotifiers.push_back(std::move(connection.notifier));
    ::close(connection.fd);
    m_service.connectionClosed(id);
}

void FanHelperDaemon::reschedule() {
    if (const auto deadline = m_service.nextDeadline()) {
        const double wait = std::max(0.0, *deadline - m_clock());
        // A millisecond late rather than early, so that the deadline has passed when the timer fires.
        m_deadlineTimer.start(int(std::min(std::ceil(wait * 1000) + 1, 3'600'000.0)));
    } else {
        m_deadlineTimer.stop();
    }
    if (m_connections.empty() && !m_service.isBoosting()) {
        if (!m_idleTimer.isActive())
            m_idleTimer.start();
    } else {
        m_idleTimer.stop();
    }
}

} // namespace kestrum
