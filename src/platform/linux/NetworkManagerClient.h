#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThread;

namespace kestrum {

// What NetworkManager says about the primary connection, read over the system bus.
struct NetworkManagerState {
    // NM_STATE: 70 connected (global), 60 site (a default route, the internet check failed), 50 local (no
    // default route: connected without internet), 20 disconnected.
    unsigned state = 0;
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
    // Calls `changed` (on a thread of the reader's choosing) whenever NetworkManager announces a change of
    // its state, primary connection or metered flag, so that a change is seen before the next periodic
    // re-read. Readers without change announcements do nothing.
    virtual void watch(std::function<void()> changed) { (void)changed; }
};

// Plain blocking calls with a short timeout, safe from the path provider's own thread.
class NetworkManagerClient : public NetworkManagerReading {
public:
    // The system bus unless told otherwise (tests bring a bus of their own).
    NetworkManagerClient();
    explicit NetworkManagerClient(QDBusConnection bus);
    ~NetworkManagerClient() override;
    std::optional<NetworkManagerState> read() override;
    // NetworkManager's PropertiesChanged signals arrive on a thread of the client's own, which only calls
    // `changed`.
    void watch(std::function<void()> changed) override;

private:
    class SignalRelay;
    QDBusConnection bus() const;

    std::optional<QDBusConnection> m_bus;
    std::unique_ptr<QThread> m_signalThread;
    SignalRelay* m_relay = nullptr;
};

} // namespace kestrum
