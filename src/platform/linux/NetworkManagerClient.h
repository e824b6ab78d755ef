#pragma once

#include <QDBusConnection>
#include <QString>
#include <optional>
#include <vector>

namespace kestrum {

// What NetworkManager says about the primary connection, read over the system bus.
struct NetworkManagerState {
    unsigned state = 0;   // NM_STATE: 70 connected (global), 60 site, 50 local, 20 disconnected
    unsigned metered = 0; // NM_METERED: 1 yes, 3 guess yes
    struct Device {
        unsigned type = 0; // NM_DEVICE_TYPE: 1 Ethernet, 2 Wi-Fi
        QString ipInterface;
        bool operator==(const Device&) const = default;
    };
    std::vector<Device> primaryDevices;
    bool operator==(const NetworkManagerState&) const = default;
};

class NetworkManagerReading {
public:
    virtual ~NetworkManagerReading() = default;
    // Absent when the bus or the service is not there.
    virtual std::optional<NetworkManagerState> read() = 0;
};

// Plain blocking calls with a short timeout, safe from the path provider's own thread.
class NetworkManagerClient : public NetworkManagerReading {
public:
    // The system bus unless told otherwise (tests bring a bus of their own).
    NetworkManagerClient() = default;
    explicit NetworkManagerClient(QDBusConnection bus) : m_bus(std::move(bus)) {}
    std::optional<NetworkManagerState> read() override;

private:
    std::optional<QDBusConnection> m_bus;
};

} // namespace kestrum
