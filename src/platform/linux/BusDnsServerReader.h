#pragma once

#include "LinuxConnectionDetailsProvider.h"

#include <QDBusConnection>

namespace kestrum {

// DNS servers from NetworkManager's DnsManager ("Configuration") and from systemd-resolved ("DNS"), over
// the system bus with a short timeout.
class BusDnsServerReader : public DnsServerReading {
public:
    BusDnsServerReader() = default; // the system bus
    explicit BusDnsServerReader(QDBusConnection bus) : m_bus(std::move(bus)) {}
    std::optional<std::vector<QString>> networkManagerServers() override;
    std::optional<std::vector<QString>> resolvedServers() override;

private:
    std::optional<QDBusConnection> m_bus;
};

} // namespace kestrum
