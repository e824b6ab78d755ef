#pragma once

#include "CulpritConfidence.h"
#include "ForegroundApplication.h"
#include "foundation/Date.h"
#include "measurement/ThermalLevel.h"

#include <optional>
#include <vector>

namespace kestrum {

// One live sample paired with the application in front at that moment. Kept in memory only.
struct AppResourceObservation {
    Date timestamp;
    ForegroundApplication application;
    double cpuUsage = 0;              // 0...1
    double memoryUsage = 0;           // 0...1
    double networkBytesPerSecond = 0; // download plus upload, ≥ 0
    ThermalLevel thermalLevel = ThermalLevel::unavailable;
    std::optional<bool> batteryUsesPowerAdapter;
    std::optional<double> systemPowerWatts; // signed as the battery reports it

    bool operator==(const AppResourceObservation&) const = default;
};

enum class CulpritImpact { low, medium, high };

template <> struct EnumTraits<CulpritImpact> {
    static constexpr std::pair<CulpritImpact, std::string_view> cases[] = {
        {CulpritImpact::low, "low"},
        {CulpritImpact::medium, "medium"},
        {CulpritImpact::high, "high"},
    };
};

// How strongly one application's time in front coincided with system pressure.
struct AppResourceSummary {
    ForegroundApplication application;
    int observationCount = 0;
    double estimatedForegroundDuration = 0; // seconds
    double averageCPUUsage = 0;
    double peakCPUUsage = 0;
    double averageMemoryUsage = 0;
    double averageNetworkBytesPerSecond = 0;
    double elevatedThermalFraction = 0;
    double pressureScore = 0; // 0...1
    CulpritImpact impact = CulpritImpact::low;
    CulpritConfidence confidence = CulpritConfidence::low;

    // The bundle identifier, else "name:" and the lower-cased name; also the grouping key.
    QString id() const;
    bool operator==(const AppResourceSummary&) const = default;
};

struct ResourceCulpritAnalysis {
    std::optional<Date> startedAt;
    std::optional<Date> endedAt;
    int observationCount = 0;
    double estimatedObservedDuration = 0;         // seconds
    std::vector<AppResourceSummary> applications; // ranked

    static ResourceCulpritAnalysis empty() { return {}; }
    // The first application when it has at least 3 observations and a score of at least 0.25.
    std::optional<AppResourceSummary> leadingCandidate() const;
    bool operator==(const ResourceCulpritAnalysis&) const = default;
};

struct AppBatteryImpactSummary {
    AppResourceSummary resourceSummary;
    std::optional<double> averageSystemDischargeWatts;
    int powerMeasurementCount = 0;

    bool operator==(const AppBatteryImpactSummary&) const = default;
};

struct BatteryImpactAnalysis {
    std::optional<Date> startedAt;
    std::optional<Date> endedAt;
    int observationCount = 0;
    int powerMeasurementCount = 0;
    double estimatedObservedDuration = 0; // seconds
    std::vector<AppBatteryImpactSummary> applications;

    static BatteryImpactAnalysis empty() { return {}; }
    bool operator==(const BatteryImpactAnalysis&) const = default;
};

} // namespace kestrum
