#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace kestrum {

// The wired-side view of the connection: primary interface, local addresses, routers and DNS servers.
struct NetworkConnectionDetails {
    std::optional<QString> primaryInterfaceName;
    std::optional<QString> localIPv4Address;
    std::optional<QString> localIPv6Address;
    std::optional<QString> routerIPv4Address;
    std::optional<QString> routerIPv6Address;
    std::vector<QString> dnsServerAddresses;

    static NetworkConnectionDetails empty() { return {}; }
    bool operator==(const NetworkConnectionDetails&) const = default;
};

} // namespace kestrum
