#pragma once

#include "Nl80211LinkMetricsProvider.h"

#include <QDBusConnection>

namespace kestrum {

// The active access point's security flags from NetworkManager (Flags, WpaFlags, RsnFlags). Plain
// blocking calls with a short timeout, safe from the sampler's thread.
class NetworkManagerAccessPointReader : public WiFiSecurityFallbackReading {
public:
    NetworkManagerAccessPointReader() = default; // the system bus
    explicit NetworkManagerAccessPointReader(QDBusConnection bus) : m_bus(std::move(bus)) {}
    std::optional<WiFiSecurityEvidence> read(const QString& interfaceName) override;

private:
    std::optional<QDBusConnection> m_bus;
};

} // namespace kestrum
