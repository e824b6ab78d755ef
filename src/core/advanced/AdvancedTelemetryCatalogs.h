#pragma once

// The compatibility records: which hardware-monitoring drivers, on which kernels, expose which channels
// that Kestrum reads. Nothing that no record names is ever read.

#include "AdvancedHwmonChannels.h"

#include <optional>
#include <set>
#include <vector>

namespace kestrum {

// Fields every record has: the driver (the hwmon device's `name`), the kernel major versions and release
// series its channels were verified on, and where the verification is written down.
struct AdvancedTelemetryRecordKey {
    QString modelIdentifier;
    ClosedRange<int> kernelMajorVersions;
    ClosedRange<KernelSeries> kernelSeries;
    QString evidenceID;
    bool operator==(const AdvancedTelemetryRecordKey&) const = default;
};

struct AdvancedFanTelemetryCompatibilityRecord {
    AdvancedTelemetryRecordKey key;
    ClosedRange<int> expectedFanCount;
    std::vector<AdvancedHwmonChannelRule> fanChannels;
    AdvancedHwmonDataType expectedRPMDataType = AdvancedHwmonDataType::revolutionsPerMinute;
    // Per-fan attributes beside `fanN_input` ("fan%d_target"); empty where the driver has none.
    QString targetAttributeFormat;
    QString minimumAttributeFormat;
    QString maximumAttributeFormat;
    // The fan's management mode ("fan%d_manual", "pwm1_enable"); empty where the driver exposes none.
    QString expectedModeAttributeFormat;
    std::set<int64_t> automaticModeValues;
    std::set<int64_t> manualModeValues;
    // Modes in which the firmware has given up regulating and the speed reading goes stale (thinkpad's
    // "disengaged" full speed): the telemetry is not trusted while one is set.
    std::set<int64_t> forcedModeValues;
    std::optional<ClosedRange<double>> expectedMinimumRPM;
    std::optional<ClosedRange<double>> expectedMaximumRPM;
    // Where a driver reports no maximum, actual and target speeds must lie here.
    ClosedRange<double> safeRPMWithoutMaximum{0, 10000};
    bool operator==(const AdvancedFanTelemetryCompatibilityRecord&) const = default;
};

struct AdvancedComponentTemperatureCompatibilityRecord {
    AdvancedTelemetryRecordKey key;
    std::vector<AdvancedHwmonChannelRule> cpuChannels;
    std::vector<AdvancedHwmonChannelRule> gpuChannels;
    AdvancedHwmonDataType expectedDataType = AdvancedHwmonDataType::milliCelsius;
    ClosedRange<double> validRangeCelsius{-20, 125};
    bool operator==(const AdvancedComponentTemperatureCompatibilityRecord&) const = default;
};

struct AdvancedBatteryTelemetryCompatibilityRecord {
    AdvancedTelemetryRecordKey key;
    std::optional<AdvancedHwmonChannelRule> temperatureChannel;
    std::optional<AdvancedHwmonChannelRule> voltageChannel;
    // Tried in order; only channels whose sign follows the battery's direction (negative while
    // discharging) belong here.
    std::vector<AdvancedHwmonChannelRule> amperageChannels;
    double temperatureDivisor = 1000; // m°C → °C
    double voltageDivisor = 1000;     // mV → V
    double amperageDivisor = 1000;    // mA → A
    bool operator==(const AdvancedBatteryTelemetryCompatibilityRecord&) const = default;
};

struct AdvancedGPUUtilizationCompatibilityRecord {
    AdvancedTelemetryRecordKey key;
    // Relative to the hwmon device: its parent device, then the busy-percentage attribute.
    QString statisticsKey;
    QString utilizationKey;
    bool operator==(const AdvancedGPUUtilizationCompatibilityRecord&) const = default;
};

// How a record list matches an identity.
enum class AdvancedRecordMatch { noRecordForModel, unsupportedMajorVersion, unsupportedBuild, matched };

template <class Record>
AdvancedRecordMatch matchRecords(const std::vector<Record>& records, const QString& model, int majorVersion,
                                 const KernelSeries& series) {
    AdvancedRecordMatch best = AdvancedRecordMatch::noRecordForModel;
    for (const Record& record : records) {
        const AdvancedTelemetryRecordKey& key = record.key;
        if (key.modelIdentifier != model)
            continue;
        if (!key.kernelMajorVersions.contains(majorVersion)) {
            best = std::max(best, AdvancedRecordMatch::unsupportedMajorVersion);
            continue;
        }
        if (key.kernelSeries.isEmpty() || !key.kernelSeries.contains(series)) {
            best = std::max(best, AdvancedRecordMatch::unsupportedBuild);
            continue;
        }
        return AdvancedRecordMatch::matched;
    }
    return best;
}

// The first record for the model whose major range contains the version and whose (non-empty) series
// range contains the series.
template <class Record>
std::optional<Record> findRecord(const std::vector<Record>& records, const QString& model, int majorVersion,
                                 const KernelSeries& series) {
    for (const Record& record : records) {
        const AdvancedTelemetryRecordKey& key = record.key;
        if (key.modelIdentifier == model && key.kernelMajorVersions.contains(majorVersion) &&
            !key.kernelSeries.isEmpty() && key.kernelSeries.contains(series))
            return record;
    }
    return std::nullopt;
}

// Every record of the list that matches one of the identity's models, in the list's order.
template <class Record>
std::vector<Record> matchingRecords(const std::vector<Record>& records,
                                    const std::optional<AdvancedTelemetrySystemIdentity>& identity) {
    std::vector<Record> found;
    if (!identity)
        return found;
    for (const Record& record : records) {
        if (identity->modelIdentifiers.contains(record.key.modelIdentifier) &&
            findRecord(std::vector<Record>{record}, record.key.modelIdentifier, identity->kernelMajorVersion,
                       identity->kernelSeries))
            found.push_back(record);
    }
    return found;
}

struct AdvancedFanTelemetryCompatibilityCatalog {
    static const std::vector<AdvancedFanTelemetryCompatibilityRecord>& records();
    static std::optional<AdvancedFanTelemetryCompatibilityRecord>
    record(const QString& model, int majorVersion, const KernelSeries& series);
};

struct AdvancedComponentTemperatureCompatibilityCatalog {
    static const std::vector<AdvancedComponentTemperatureCompatibilityRecord>& records();
    static std::optional<AdvancedComponentTemperatureCompatibilityRecord>
    record(const QString& model, int majorVersion, const KernelSeries& series);
};

struct AdvancedBatteryTelemetryCompatibilityCatalog {
    static const std::vector<AdvancedBatteryTelemetryCompatibilityRecord>& records();
    static std::optional<AdvancedBatteryTelemetryCompatibilityRecord>
    record(const QString& model, int majorVersion, const KernelSeries& series);
};

struct AdvancedGPUUtilizationCompatibilityCatalog {
    static const std::vector<AdvancedGPUUtilizationCompatibilityRecord>& records();
    static std::optional<AdvancedGPUUtilizationCompatibilityRecord>
    record(const QString& model, int majorVersion, const KernelSeries& series);
};

} // namespace kestrum
