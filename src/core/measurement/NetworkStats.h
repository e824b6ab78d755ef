#pragma once

#include "MetricAvailability.h"
#include "NetworkInterfaceKind.h"
#include "network/NetworkConnectionDetails.h"
#include "network/WiFiConnectionDetails.h"

#include <optional>

namespace kestrum {

struct NetworkStats {
    bool isConnected = false;
    NetworkInterfaceKind interfaceKind = NetworkInterfaceKind::unavailable;
    double downloadBytesPerSecond = 0;
    double uploadBytesPerSecond = 0;
    bool supportsIPv4 = false;
    bool supportsIPv6 = false;
    bool supportsDNS = false;
    bool isExpensive = false;
    bool isConstrained = false;
    std::optional<int> wifiRSSI;
    std::optional<int> wifiNoise;
    std::optional<double> wifiTransmitRateMbps;
    std::optional<int> wifiChannel;
    WiFiConnectionDetails wifiConnectionDetails;
    NetworkConnectionDetails connectionDetails;
    MetricAvailability pathAvailability;    // the path fields
    MetricAvailability trafficAvailability; // the rate fields

    static NetworkStats disconnected();
    static NetworkStats unavailable();
    bool operator==(const NetworkStats&) const = default;
};

} // namespace kestrum
