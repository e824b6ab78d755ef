#pragma once

// The platform-free providers that sit between a raw reader and a record.

#include "StatsProviding.h"
#include "foundation/Clocks.h"

#include <memory>
#include <mutex>

namespace kestrum {

// Keeps the previous tick snapshot: the first call after start yields the "baseline taken" reading,
// every later call the usage since the previous call.
class CPUStatsProvider : public CPUStatsProviding {
public:
    explicit CPUStatsProvider(std::unique_ptr<CPUTickReading> reader);
    CPUStats sample() override;

private:
    std::mutex m_mutex;
    std::unique_ptr<CPUTickReading> m_reader;
    std::optional<CPUTickSnapshot> m_previousSnapshot;
};

class MachMemoryStatsProvider : public MemoryStatsProviding {
public:
    explicit MachMemoryStatsProvider(std::unique_ptr<MachMemorySnapshotReading> reader);
    MemoryStats sample() override;

private:
    std::unique_ptr<MachMemorySnapshotReading> m_reader;
};

class URLResourceDiskStatsProvider : public DiskStatsProviding {
public:
    explicit URLResourceDiskStatsProvider(std::unique_ptr<DiskCapacityReading> reader);
    DiskStats sample() override;

private:
    std::unique_ptr<DiskCapacityReading> m_reader;
};

// Path from the path provider, rates from the byte counters against a baseline that is cleared on
// disconnection and retaken when the interface set changes.
class NetworkStatsProvider : public NetworkStatsProviding {
public:
    struct Baseline {
        NetworkByteCounter counter;
        double timestamp = 0; // seconds of uptime when the counter was read
        std::set<QString> interfaceNames;
    };

    NetworkStatsProvider(std::shared_ptr<NetworkPathSnapshotProviding> pathProvider,
                         std::unique_ptr<NetworkByteCounterReading> counterReader,
                         std::unique_ptr<WiFiLinkMetricsProviding> wifiProvider,
                         std::unique_ptr<NetworkConnectionDetailsProviding> connectionDetailsProvider,
                         MonotonicClock uptime);
    NetworkStats sample() override;

    std::optional<Baseline> baseline() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<NetworkPathSnapshotProviding> m_pathProvider;
    std::unique_ptr<NetworkByteCounterReading> m_counterReader;
    std::unique_ptr<WiFiLinkMetricsProviding> m_wifiProvider;
    std::unique_ptr<NetworkConnectionDetailsProviding> m_connectionDetailsProvider;
    MonotonicClock m_uptime;
    std::optional<Baseline> m_baseline;
};

// Empty connection details, for samplers of machines that have none to report.
class EmptyConnectionDetailsProvider : public NetworkConnectionDetailsProviding {
public:
    NetworkConnectionDetails read(const std::set<QString>&) override {
        return NetworkConnectionDetails::empty();
    }
};

// Sensor telemetry not offered for this machine or channel: no supplemental values, fans and component
// temperatures unavailable with their "not offered" reasons.
class UnofferedBatteryTelemetryProvider : public AdvancedBatteryTelemetryProviding {
public:
    SupplementalBatteryReading sample() override { return {}; }
};

class UnofferedGPUUtilizationProvider : public AdvancedGPUUtilizationProviding {
public:
    std::optional<double> sample() override { return std::nullopt; }
};

class UnofferedFanStatsProvider : public AdvancedFanStatsProviding {
public:
    FanStats sample() override { return FanStats::unavailable(); }
};

class UnofferedComponentTemperatureProvider : public AdvancedComponentTemperatureProviding {
public:
    ComponentTemperatureStats sample() override { return ComponentTemperatureStats::notOffered(); }
};

} // namespace kestrum
