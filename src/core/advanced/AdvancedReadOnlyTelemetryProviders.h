#pragma once

// The sampler's sensor providers over the hardware-monitoring devices that a compatibility record
// verifies. A provider whose machine no record names never opens a connection.

#include "AdvancedTelemetryCatalogs.h"
#include "measurement/StatsProviding.h"

#include <functional>
#include <memory>
#include <mutex>

namespace kestrum {

// Opens the read-only connection; called only when a record matches. May return nothing.
using AdvancedHwmonConnector = std::function<std::shared_ptr<AdvancedHwmonReading>()>;

// The devices one record covers, with the channels its rules admit on each.
struct AdvancedResolvedDevice {
    AdvancedHwmonDevice device;
    std::vector<AdvancedHwmonChannel> channels;
};

class AdvancedReadOnlyFanStatsProvider : public AdvancedFanStatsProviding {
public:
    AdvancedReadOnlyFanStatsProvider(const std::optional<AdvancedTelemetrySystemIdentity>& identity,
                                     const AdvancedHwmonConnector& connector);
    FanStats sample() override;

    const std::vector<AdvancedFanTelemetryCompatibilityRecord>& supportRecords() const { return m_records; }
    bool hasConnection() const { return m_connection != nullptr; }

private:
    std::mutex m_mutex;
    std::vector<AdvancedFanTelemetryCompatibilityRecord> m_records;
    std::shared_ptr<AdvancedHwmonReading> m_connection;
    // Per record, once resolved; dropped whenever a read suggests the devices changed.
    std::optional<std::vector<std::vector<AdvancedResolvedDevice>>> m_resolved;
};

class AdvancedReadOnlyComponentTemperatureProvider : public AdvancedComponentTemperatureProviding {
public:
    AdvancedReadOnlyComponentTemperatureProvider(
        const std::optional<AdvancedTelemetrySystemIdentity>& identity,
        const AdvancedHwmonConnector& connector);
    ComponentTemperatureStats sample() override;

    const std::vector<AdvancedComponentTemperatureCompatibilityRecord>& supportRecords() const {
        return m_records;
    }
    bool hasConnection() const { return m_connection != nullptr; }

private:
    struct Resolved {
        std::vector<AdvancedResolvedDevice> cpu;
        std::vector<AdvancedResolvedDevice> gpu;
        bool cpuFailed = false;
        bool gpuFailed = false;
    };
    std::mutex m_mutex;
    std::vector<AdvancedComponentTemperatureCompatibilityRecord> m_records;
    std::shared_ptr<AdvancedHwmonReading> m_connection;
    std::optional<std::vector<Resolved>> m_resolved;
};

class AdvancedBatteryTelemetryHwmonProvider : public AdvancedBatteryTelemetryProviding {
public:
    AdvancedBatteryTelemetryHwmonProvider(const std::optional<AdvancedTelemetrySystemIdentity>& identity,
                                          const AdvancedHwmonConnector& connector);
    SupplementalBatteryReading sample() override;

    const std::optional<AdvancedBatteryTelemetryCompatibilityRecord>& supportRecord() const {
        return m_record;
    }

private:
    std::mutex m_mutex;
    std::optional<AdvancedBatteryTelemetryCompatibilityRecord> m_record;
    std::shared_ptr<AdvancedHwmonReading> m_connection;
};

class AdvancedGPUUtilizationHwmonProvider : public AdvancedGPUUtilizationProviding {
public:
    AdvancedGPUUtilizationHwmonProvider(const std::optional<AdvancedTelemetrySystemIdentity>& identity,
                                        const AdvancedHwmonConnector& connector);
    std::optional<double> sample() override;

private:
    std::vector<AdvancedGPUUtilizationCompatibilityRecord> m_records;
    std::shared_ptr<AdvancedHwmonReading> m_connection;
};

// The battery record of the identity: the first in the catalog whose device the machine has.
std::optional<AdvancedBatteryTelemetryCompatibilityRecord>
batteryRecordFor(const std::optional<AdvancedTelemetrySystemIdentity>& identity);

} // namespace kestrum
