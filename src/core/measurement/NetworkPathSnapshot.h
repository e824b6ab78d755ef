#pragma once

#include "MetricAvailability.h"
#include "NetworkInterfaceKind.h"

#include <QString>
#include <set>

namespace kestrum {

// The path half of a network reading.
struct NetworkPathSnapshot {
    bool isConnected = false;
    NetworkInterfaceKind interfaceKind = NetworkInterfaceKind::unavailable;
    std::set<QString> interfaceNames;
    bool supportsIPv4 = false;
    bool supportsIPv6 = false;
    bool supportsDNS = false;
    bool isExpensive = false;
    bool isConstrained = false;
    MetricAvailability availability;

    static NetworkPathSnapshot unavailable();
    static NetworkPathSnapshot disconnected();
    bool operator==(const NetworkPathSnapshot&) const = default;
};

} // namespace kestrum
