#pragma once

// The interfaces the sampler reads the machine through. Platform readers return raw records or nothing;
// every decision above them is platform-free.

#include "BatteryStats.h"
#include "CPUStats.h"
#include "ComponentTemperatureStats.h"
#include "DiskStats.h"
#include "FanStats.h"
#include "GPUStats.h"
#include "MemoryStats.h"
#include "NetworkPathSnapshot.h"
#include "NetworkStats.h"
#include "RawReadings.h"
#include "ThermalLevel.h"

#include <optional>
#include <set>

namespace kestrum {

class CPUTickReading {
public:
    virtual ~CPUTickReading() = default;
    virtual std::optional<CPUTickSnapshot> read() = 0;
};

class MachMemorySnapshotReading {
public:
    virtual ~MachMemorySnapshotReading() = default;
    virtual std::optional<MachMemorySnapshot> read() = 0;
};

class DiskCapacityReading {
public:
    virtual ~DiskCapacityReading() = default;
    virtual std::optional<DiskCapacitySnapshot> read() = 0;
};

class NetworkByteCounterReading {
public:
    virtual ~NetworkByteCounterReading() = default;
    virtual std::optional<NetworkByteCounter> read(const std::set<QString>& interfaceNames) = 0;
};

// What the Wi-Fi link reader returns.
struct WiFiLinkMetrics {
    std::optional<int> rssi;
    std::optional<int> noise;
    std::optional<double> transmitRateMbps;
    std::optional<int> channel;
    WiFiConnectionDetails details;
    bool operator==(const WiFiLinkMetrics&) const = default;
};

class WiFiLinkMetricsProviding {
public:
    virtual ~WiFiLinkMetricsProviding() = default;
    virtual WiFiLinkMetrics read() = 0;
};

class NetworkConnectionDetailsProviding {
public:
    virtual ~NetworkConnectionDetailsProviding() = default;
    virtual NetworkConnectionDetails read(const std::set<QString>& interfaceNames) = 0;
};

// Exposes the latest network path; updates arrive on the provider's own thread.
class NetworkPathSnapshotProviding {
public:
    virtual ~NetworkPathSnapshotProviding() = default;
    virtual NetworkPathSnapshot latestSnapshot() const = 0;
};

class CPUStatsProviding {
public:
    virtual ~CPUStatsProviding() = default;
    virtual CPUStats sample() = 0;
};

class MemoryStatsProviding {
public:
    virtual ~MemoryStatsProviding() = default;
    virtual MemoryStats sample() = 0;
};

class BatteryStatsProviding {
public:
    virtual ~BatteryStatsProviding() = default;
    virtual BatteryStats sample() = 0;
};

class DiskStatsProviding {
public:
    virtual ~DiskStatsProviding() = default;
    virtual DiskStats sample() = 0;
};

class ThermalStatsProviding {
public:
    virtual ~ThermalStatsProviding() = default;
    virtual ThermalLevel sample() = 0;
};

class NetworkStatsProviding {
public:
    virtual ~NetworkStatsProviding() = default;
    virtual NetworkStats sample() = 0;
};

class GPUStatsProviding {
public:
    virtual ~GPUStatsProviding() = default;
    virtual GPUStats sample() = 0;
};

// Supplemental sensor telemetry (verified models only).
struct SupplementalBatteryReading {
    std::optional<double> temperatureCelsius;
    std::optional<double> voltageVolts;
    std::optional<double> amperageAmps;
};

class AdvancedBatteryTelemetryProviding {
public:
    virtual ~AdvancedBatteryTelemetryProviding() = default;
    virtual SupplementalBatteryReading sample() = 0;
};

class AdvancedGPUUtilizationProviding {
public:
    virtual ~AdvancedGPUUtilizationProviding() = default;
    virtual std::optional<double> sample() = 0;
};

class AdvancedFanStatsProviding {
public:
    virtual ~AdvancedFanStatsProviding() = default;
    virtual FanStats sample() = 0;
};

class AdvancedComponentTemperatureProviding {
public:
    virtual ~AdvancedComponentTemperatureProviding() = default;
    virtual ComponentTemperatureStats sample() = 0;
};

} // namespace kestrum
