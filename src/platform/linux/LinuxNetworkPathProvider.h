#pragma once

#include "NetworkManagerClient.h"
#include "measurement/StatsProviding.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrum {

// Everything the path is derived from, gathered from /proc, /sys, getifaddrs and (when present)
// NetworkManager. Kept apart from the gathering so that recorded trees can be judged in tests.
struct NetworkPathInputs {
    struct Interface {
        bool isUp = false; // administratively up with a usable link (operstate up/unknown)
        bool isLoopback = false;
        bool isWiFi = false;     // DEVTYPE=wlan or a phy80211 link
        bool isEthernet = false; // type 1 with a device link
        bool hasIPv4Address = false;
        bool hasGlobalIPv6Address = false;
    };
    std::map<QString, Interface> interfaces;
    std::set<QString> ipv4DefaultRouteInterfaces;
    std::set<QString> ipv6DefaultRouteInterfaces;
    int dnsServerCount = 0;
    std::optional<NetworkManagerState> networkManager;
};

class LinuxNetworkPathProvider : public NetworkPathSnapshotProviding {
public:
    struct AddressFamilies {
        bool ipv4 = false;
        bool globalIPv6 = false;
    };
    using AddressLister = std::function<std::map<QString, AddressFamilies>()>;

    struct Roots {
        QString proc = QStringLiteral("/proc");
        QString sys = QStringLiteral("/sys");
        QString run = QStringLiteral("/run");
        QString etc = QStringLiteral("/etc");
    };

    // With `watch`, a thread of its own listens to rtnetlink (link, address and route changes) and to
    // NetworkManager's change announcements, re-reads the path after each burst of changes, and every 30
    // seconds in any case.
    LinuxNetworkPathProvider(Roots roots, std::unique_ptr<NetworkManagerReading> networkManager,
                             AddressLister addresses = {}, bool watch = true);
    ~LinuxNetworkPathProvider() override;

    NetworkPathSnapshot latestSnapshot() const override;
    // Re-reads the path on the calling thread.
    void refresh();
    // Blocks until the first path reading has arrived (true) or the timeout passed (false).
    bool waitForFirstUpdate(std::chrono::milliseconds timeout) const;

    static NetworkPathInputs gather(const Roots& roots, const AddressLister& addresses);
    static NetworkPathSnapshot build(const NetworkPathInputs& inputs);
    // Interfaces of the default routes in a /proc/net/route or /proc/net/ipv6_route text.
    static std::set<QString> defaultRouteInterfacesV4(QByteArrayView routeText);
    static std::set<QString> defaultRouteInterfacesV6(QByteArrayView routeText);
    static int nameserverCount(QByteArrayView resolvConf);
    static std::map<QString, AddressFamilies> systemAddresses();

private:
    void watchLoop(std::stop_token stop);
    void wake();

    Roots m_roots;
    std::unique_ptr<NetworkManagerReading> m_networkManager;
    AddressLister m_addresses;
    mutable std::mutex m_mutex;
    NetworkPathSnapshot m_latest;
    bool m_hasUpdate = false;
    mutable std::condition_variable m_updated;
    std::mutex m_refreshMutex;
    int m_wakeFd = -1;
    std::jthread m_thread;
};

} // namespace kestrum
