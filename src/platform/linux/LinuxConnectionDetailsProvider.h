#pragma once

#include "measurement/StatsProviding.h"

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrum {

// DNS servers as the system's network services know them, in their order; absent when the service is
// not there.
class DnsServerReading {
public:
    virtual ~DnsServerReading() = default;
    virtual std::optional<std::vector<QString>> networkManagerServers() = 0;
    virtual std::optional<std::vector<QString>> resolvedServers() = 0;
};

// The wired-side details: primary interface from the lowest-metric default route, its addresses, the
// default routers, and the DNS servers from NetworkManager, then systemd-resolved, then the resolver files.
class LinuxConnectionDetailsProvider : public NetworkConnectionDetailsProviding {
public:
    struct Roots {
        QString proc = QStringLiteral("/proc");
        QString run = QStringLiteral("/run");
        QString etc = QStringLiteral("/etc");
    };
    struct InterfaceAddress {
        QString interfaceName;
        int family = 0;  // AF_INET or AF_INET6
        QString address; // numeric text
        bool operator==(const InterfaceAddress&) const = default;
    };
    using AddressLister = std::function<std::vector<InterfaceAddress>()>;

    struct DefaultRoute {
        QString interfaceName;
        std::optional<QString> gateway;
        uint32_t metric = 0;
        bool operator==(const DefaultRoute&) const = default;
    };

    // Defaults: the machine's own addresses (getifaddrs) and no bus services.
    LinuxConnectionDetailsProvider(Roots roots, AddressLister addresses = {},
                                   std::unique_ptr<DnsServerReading> dnsServers = nullptr);

    NetworkConnectionDetails read(const std::set<QString>& interfaceNames) override;

    // Default routes that are up and not rejecting, in file order.
    static std::vector<DefaultRoute> defaultRoutesV4(QByteArrayView routeText);
    static std::vector<DefaultRoute> defaultRoutesV6(QByteArrayView routeText);
    static std::vector<QString> nameservers(QByteArrayView resolvConf);
    static std::vector<InterfaceAddress> systemAddresses();

    struct Inputs {
        std::vector<DefaultRoute> routesV4;
        std::vector<DefaultRoute> routesV6;
        std::vector<InterfaceAddress> addresses;
        // Candidate DNS lists in order of preference; the first non-empty one is used.
        std::vector<std::vector<QString>> dnsCandidates;
    };
    static NetworkConnectionDetails build(const Inputs& inputs, const std::set<QString>& interfaceNames);

private:
    Roots m_roots;
    AddressLister m_addresses;
    std::unique_ptr<DnsServerReading> m_dnsServers;
};

} // namespace kestrum
