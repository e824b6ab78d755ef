#include "UnixSocketFanHelperTransport.h"

#include "advanced/AdvancedFanHelperInstallation.h"
#include "foundation/Uuid.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrum {

using AdvancedFanHelperWire::Reply;
using AdvancedFanHelperWire::Request;
using Error = AdvancedFanHelperTransportError;

namespace {

constexpr int defaultReplyTimeoutMs = 3000;

} // namespace

QString UnixSocketFanHelperTransport::installedHelperPath() {
    return QStringLiteral(KESTRUM_FAN_HELPER_PATH);
}

UnixSocketFanHelperTransport::UnixSocketFanHelperTransport()
    : UnixSocketFanHelperTransport(
          [] { return connectToPath(QString::fromLatin1(AdvancedFanHelperInstallation::socketPath)); },
          [](const FanHelperPeer& peer) {
              return isInstalledHelper(peer, QStringLiteral("/proc"), installedHelperPath());
          },
          defaultReplyTimeoutMs) {}

UnixSocketFanHelperTransport::UnixSocketFanHelperTransport(Connector connector, PeerCheck peerCheck,
                                                           int replyTimeoutMs)
    : m_connector(std::move(connector)), m_peerCheck(std::move(peerCheck)), m_replyTimeoutMs(replyTimeoutMs) {
}

UnixSocketFanHelperTransport::~UnixSocketFanHelperTransport() {
    disconnect();
}

bool UnixSocketFanHelperTransport::isInstalledHelper(const FanHelperPeer& peer, const QString& procRoot,
                                                     const QString& helperPath) {
    if (peer.uid != 0 || peer.pid <= 0)
        return false;
    if (peer.pid == 1)
        return true;
    // The link target of a running program; a replaced binary reads "<path> (deleted)" and fails.
    const QString running = QFileInfo(procRoot + QStringLiteral("/%1/exe").arg(peer.pid)).symLinkTarget();
    return !running.isEmpty() && running == helperPath;
}

int UnixSocketFanHelperTransport::connectToPath(const QString& socketPath) {
    const QByteArray path = socketPath.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address.sun_path))) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

void UnixSocketFanHelperTransport::disconnect() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
}

void UnixSocketFanHelperTransport::fail(Error error) {
    // Whatever was in flight may still answer later; a fresh connection never sees that late reply.
    disconnect();
    throw AdvancedFanHelperTransportFailure(error);
}

void UnixSocketFanHelperTransport::ensureConnected() {
    if (m_fd >= 0)
        return;
    const int fd = m_connector();
    if (fd < 0) {
        // No socket (the unit is not installed or not enabled) or nobody listening on it.
        if (errno == ENOENT || errno == ECONNREFUSED || errno == ENOTDIR)
            throw AdvancedFanHelperTransportFailure(Error::notInstalled);
        throw AdvancedFanHelperTransportFailure(Error::connectionInterrupted);
    }
    m_fd = fd;
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(m_fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        !m_peerCheck(FanHelperPeer{credentials.pid, credentials.uid}))
        fail(Error::callerRejected);
}

Reply UnixSocketFanHelperTransport::exchange(const Request& request) {
    ensureConnected();
    const QByteArray line = AdvancedFanHelperWire::encode(request);
    qsizetype written = 0;
    while (written < line.size()) {
        const ssize_t n =
            ::send(m_fd, line.constData() + written, size_t(line.size() - written), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(Error::connectionInterrupted);
        written += n;
    }

    const QDeadlineTimer deadline(m_replyTimeoutMs);
    for (;;) {
        if (const qsizetype end = m_pending.indexOf('\n'); end >= 0) {
            const QByteArray reply = m_pending.left(end + 1);
            m_pending.remove(0, end + 1);
            auto decoded = AdvancedFanHelperWire::decodeReply(reply);
            if (!decoded)
                fail(Error::connectionInterrupted);
            // Another request's reply means the stream is out of step: the caller still maps this reply,
            // but nothing more is read from this connection.
            if (decoded->requestID != request.requestID)
                disconnect();
            return *decoded;
        }
        if (m_pending.size() > AdvancedFanHelperWire::maximumMessageBytes)
            fail(Error::connectionInterrupted);
        pollfd waiting{m_fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) // a hung helper is a lost connection
            fail(Error::connectionInterrupted);
        char buffer[1024];
        const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(Error::connectionInterrupted);
        m_pending.append(buffer, n);
    }
}

AdvancedFanHelperAcknowledgement
UnixSocketFanHelperTransport::execute(const AdvancedFanHelperEnvelope& envelope) {
    const Request request = AdvancedFanHelperWire::request(envelope);
    const Reply reply = exchange(request);
    try {
        return AdvancedFanHelperWire::validateCommandReply(request, reply);
    } catch (const AdvancedFanHelperTransportFailure& failure) {
        // A reply that cannot be trusted leaves the stream in doubt too.
        if (failure.error == Error::connectionInterrupted)
            disconnect();
        throw;
    }
}

AdvancedFanHelperServiceStatus UnixSocketFanHelperTransport::serviceStatus() {
    const Request request = AdvancedFanHelperWire::statusRequest(newUuid());
    return AdvancedFanHelperWire::validateStatusReply(request, exchange(request));
}

std::vector<AdvancedFanTelemetryReading> UnixSocketFanHelperTransport::fanReadings() {
    const Request countRequest = AdvancedFanHelperWire::fanCountRequest(newUuid());
    const int count = AdvancedFanHelperWire::validateFanCountReply(countRequest, exchange(countRequest));
    std::vector<AdvancedFanTelemetryReading> readings;
    // A helper claiming thousands of fans is not believed; the protocol's own checks bound each reply.
    if (count < 0 || count > 64)
        fail(Error::connectionInterrupted);
    for (int index = 0; index < count; ++index) {
        const Request request = AdvancedFanHelperWire::fanReadingRequest(newUuid(), index);
        readings.push_back(AdvancedFanHelperWire::validateFanReadingReply(request, exchange(request)));
    }
    return readings;
}

} // namespace kestrum
