#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"
#include "measurement/SystemSnapshot.h"

#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

// Nominal 0 up to critical 3; unavailable -1, below every reading.
int thermalSeverity(ThermalLevel level);

enum class HealthTestConfidence { low, medium, high };

template <> struct EnumTraits<HealthTestConfidence> {
    static constexpr std::pair<HealthTestConfidence, std::string_view> cases[] = {
        {HealthTestConfidence::low, "low"},
        {HealthTestConfidence::medium, "medium"},
        {HealthTestConfidence::high, "high"},
    };
};

enum class HealthTestPhase { preparing, cpuFirstPass, graphics, storage, cpuSecondPass, analyzing };

template <> struct EnumTraits<HealthTestPhase> {
    static constexpr std::pair<HealthTestPhase, std::string_view> cases[] = {
        {HealthTestPhase::preparing, "preparing"},         {HealthTestPhase::cpuFirstPass, "cpuFirstPass"},
        {HealthTestPhase::graphics, "graphics"},           {HealthTestPhase::storage, "storage"},
        {HealthTestPhase::cpuSecondPass, "cpuSecondPass"}, {HealthTestPhase::analyzing, "analyzing"},
    };
};

struct HealthTestProgress {
    static constexpr int kTotalSteps = 6;

    HealthTestPhase phase = HealthTestPhase::preparing;
    int completedSteps = 0;
    int totalSteps = kTotalSteps;
    bool operator==(const HealthTestProgress&) const = default;
};

enum class HealthTestComponentKind { battery, thermal, memory, storage, stability };

template <> struct EnumTraits<HealthTestComponentKind> {
    static constexpr std::pair<HealthTestComponentKind, std::string_view> cases[] = {
        {HealthTestComponentKind::battery, "battery"},     {HealthTestComponentKind::thermal, "thermal"},
        {HealthTestComponentKind::memory, "memory"},       {HealthTestComponentKind::storage, "storage"},
        {HealthTestComponentKind::stability, "stability"},
    };
};

struct HealthTestComponentScore {
    HealthTestComponentKind kind = HealthTestComponentKind::battery;
    std::optional<int> score; // absent when the component could not be measured
    QString evidence;
    std::optional<QString> recommendation;
    bool operator==(const HealthTestComponentScore&) const = default;
};

struct HealthTestStorageMeasurement {
    uint64_t testedBytes = 0;
    double writeBytesPerSecond = 0;
    double readBytesPerSecond = 0;
    bool operator==(const HealthTestStorageMeasurement&) const = default;
};

// Made only by the deep test.
struct HealthTestMemoryMeasurement {
    uint64_t testedBytes = 0;
    int passCount = 0;
    double copyBytesPerSecond = 0;
    bool operator==(const HealthTestMemoryMeasurement&) const = default;
};

// What the quick test measured; scored, never stored.
struct QuickHealthTestMeasurement {
    Date startedAt;
    Date endedAt;
    std::vector<SystemSnapshot> snapshots; // in sampling order
    double firstCPUOperationsPerSecond = 0;
    double secondCPUOperationsPerSecond = 0;
    std::optional<double> gpuOperationsPerSecond; // absent when the graphics workload could not run
    HealthTestStorageMeasurement storage;
    // Why there is no graphics rate, when the platform can say (no compute driver, no graphics device).
    std::optional<QString> gpuUnavailableReason;
    // Conditions the result must mention, such as a machine that offers no thermal signal.
    std::vector<QString> warnings;

    ThermalLevel highestThermalLevel() const;
    std::optional<double> peakMemoryUsage() const;
    std::optional<uint64_t> peakSwapUsedBytes() const;
    std::optional<double> minimumAvailableDiskFraction() const;
    std::optional<BatteryStats> latestBattery() const;
};

// The most severe level among the snapshots (nominal < fair < serious < critical); unavailable only when
// every snapshot is unavailable or there are none.
ThermalLevel highestThermalLevel(const std::vector<SystemSnapshot>& snapshots);

struct HealthTestResult {
    static constexpr int kBenchmarkVersion = 3;

    QUuid id;
    Date startedAt;
    Date endedAt;
    int benchmarkVersion = kBenchmarkVersion;
    int healthScore = 0;
    int stabilityScore = 0;
    std::optional<int> personalCapacityPercent;
    std::optional<QUuid> capacityReferenceID;
    HealthTestConfidence confidence = HealthTestConfidence::low;
    std::vector<HealthTestComponentScore> components; // battery, thermal, memory, storage, stability
    double firstCPUOperationsPerSecond = 0;
    double secondCPUOperationsPerSecond = 0;
    std::optional<double> gpuOperationsPerSecond;
    HealthTestStorageMeasurement storage;
    std::optional<QString> gpuUnavailableReason;
    std::vector<QString> warnings;

    bool operator==(const HealthTestResult&) const = default;
};

} // namespace kestrum
