#pragma once

// The application's side of the fan helper's socket: one connection, made on first use and kept; every
// request waits for its one-line reply for a bounded time. The peer must be root and the installed
// helper, checked with SO_PEERCRED before anything is sent.

#include "advanced/AdvancedFanControlCoordinator.h"

#include <QString>
#include <functional>
#include <sys/types.h>

namespace kestrum {

struct FanHelperPeer {
    pid_t pid = 0;
    uid_t uid = 0;
};

class UnixSocketFanHelperTransport final : public AdvancedFanHelperTransport {
public:
    using PeerCheck = std::function<bool(const FanHelperPeer&)>;
    // Connects somewhere; returns a connected stream socket or -1 with errno set.
    using Connector = std::function<int()>;

    // The installed helper on its systemd socket.
    UnixSocketFanHelperTransport();
    UnixSocketFanHelperTransport(Connector connector, PeerCheck peerCheck, int replyTimeoutMs);
    ~UnixSocketFanHelperTransport() override;

    AdvancedFanHelperAcknowledgement execute(const AdvancedFanHelperEnvelope& envelope) override;
    AdvancedFanHelperServiceStatus serviceStatus() override;
    std::vector<AdvancedFanTelemetryReading> fanReadings() override;

    // Root, and the process behind the socket runs `helperPath` (read through procRoot/<pid>/exe).
    static bool isInstalledHelper(const FanHelperPeer& peer, const QString& procRoot,
                                  const QString& helperPath);
    static int connectToPath(const QString& socketPath);
    // Where the helper is installed.
    static QString installedHelperPath();

private:
    AdvancedFanHelperWire::Reply exchange(const AdvancedFanHelperWire::Request& request);
    void ensureConnected();
    void disconnect();
    [[noreturn]] void fail(AdvancedFanHelperTransportError error);

    Connector m_connector;
    PeerCheck m_peerCheck;
    int m_replyTimeoutMs;
    int m_fd = -1;
    QByteArray m_pending;
};

} // namespace kestrum
