#pragma once

#include "HealthTestResult.h"
#include "measurement/HealthLevel.h"

namespace kestrum {

enum class DeepHealthTestPhase {
    preparing,
    sustainedCPU,
    sustainedGPU,
    memory,
    storage,
    coolingObservation,
    analyzing
};

template <> struct EnumTraits<DeepHealthTestPhase> {
    static constexpr std::pair<DeepHealthTestPhase, std::string_view> cases[] = {
        {DeepHealthTestPhase::preparing, "preparing"},
        {DeepHealthTestPhase::sustainedCPU, "sustainedCPU"},
        {DeepHealthTestPhase::sustainedGPU, "sustainedGPU"},
        {DeepHealthTestPhase::memory, "memory"},
        {DeepHealthTestPhase::storage, "storage"},
        {DeepHealthTestPhase::coolingObservation, "coolingObservation"},
        {DeepHealthTestPhase::analyzing, "analyzing"},
    };
};

struct DeepHealthTestProgress {
    static constexpr int kTotalSteps = 28;
    static constexpr double kEstimatedDuration = 470;

    DeepHealthTestPhase phase = DeepHealthTestPhase::preparing;
    int phaseStep = 0; // 1-based within the phase
    int phaseStepCount = 0;
    int completedSteps = 0;
    int totalSteps = kTotalSteps;
    Date startedAt;
    double estimatedDuration = kEstimatedDuration; // seconds
    bool operator==(const DeepHealthTestProgress&) const = default;
};

struct DeepHealthTestConfiguration {
    int cpuRoundCount = 6;
    double cpuRoundDuration = 45;
    int gpuRoundCount = 12;
    double gpuRoundDuration = 10;
    uint64_t memoryTestBytes = 268'435'456;
    int memoryPassCount = 4;
    uint64_t storageTestBytes = 268'435'456;
    int coolingSampleCount = 6;
    double coolingSampleInterval = 10;
    int maximumCPUWorkers = 6;
    // A loaded phase that starts at the "fair" thermal level runs lighter.
    int fairMaximumCPUWorkers = 3;
    double fairGPURoundDuration = 5;
    bool operator==(const DeepHealthTestConfiguration&) const = default;
};

enum class DeepHealthTestFindingKind { baseline, thermal, processor, graphics, memory, storage, overall };

template <> struct EnumTraits<DeepHealthTestFindingKind> {
    static constexpr std::pair<DeepHealthTestFindingKind, std::string_view> cases[] = {
        {DeepHealthTestFindingKind::baseline, "baseline"},
        {DeepHealthTestFindingKind::thermal, "thermal"},
        {DeepHealthTestFindingKind::processor, "processor"},
        {DeepHealthTestFindingKind::graphics, "graphics"},
        {DeepHealthTestFindingKind::memory, "memory"},
        {DeepHealthTestFindingKind::storage, "storage"},
        {DeepHealthTestFindingKind::overall, "overall"},
    };
};

struct DeepHealthTestFinding {
    DeepHealthTestFindingKind kind = DeepHealthTestFindingKind::overall;
    HealthLevel level = HealthLevel::attention;
    QString title;
    QString evidence;
    QString recommendation;
    bool operator==(const DeepHealthTestFinding&) const = default;
};

// What the deep test measured; scored, never stored.
struct DeepHealthTestMeasurement {
    Date startedAt;
    Date endedAt;
    std::vector<SystemSnapshot> snapshots;
    std::vector<double> cpuOperationsPerSecond; // one per CPU round
    std::vector<int> cpuWorkerCounts;           // workers of each CPU round
    std::vector<double> gpuOperationsPerSecond; // one per graphics round that produced a rate
    HealthTestMemoryMeasurement memory;
    HealthTestStorageMeasurement storage;
    std::optional<QString> gpuUnavailableReason;
    std::vector<QString> warnings;

    ThermalLevel highestThermalLevel() const { return kestrum::highestThermalLevel(snapshots); }
    std::optional<int> maximumCPUWorkerCount() const;
};

struct DeepHealthTestResult {
    static constexpr int kBenchmarkVersion = 2;

    QUuid id;
    Date startedAt;
    Date endedAt;
    int benchmarkVersion = kBenchmarkVersion;
    int healthScore = 0;
    int sustainedCapacityScore = 0;
    std::optional<int> personalCapacityPercent;
    std::optional<QUuid> capacityReferenceID;
    HealthTestConfidence confidence = HealthTestConfidence::low;
    std::vector<HealthTestComponentScore> components;
    std::vector<DeepHealthTestFinding> findings;
    std::vector<double> cpuOperationsPerSecond;
    std::optional<std::vector<int>> cpuWorkerCounts; // results stored before counts were recorded lack it
    std::vector<double> gpuOperationsPerSecond;
    HealthTestMemoryMeasurement memory;
    HealthTestStorageMeasurement storage;
    ThermalLevel highestThermalLevel = ThermalLevel::unavailable;
    std::optional<QString> gpuUnavailableReason;
    std::vector<QString> warnings;

    // Mean of the CPU rates at the largest worker count; absent without rates.
    std::optional<double> averageCPUOperationsPerSecond() const;
    int evaluatedComponentCount() const;
    bool operator==(const DeepHealthTestResult&) const = default;
};

// The rates of the rounds that ran with the largest worker count; every rate when the counts are absent,
// empty, not positive or do not pair with the rates.
std::vector<double> ratesAtMaximumWorkerCount(const std::vector<double>& rates,
                                              const std::optional<std::vector<int>>& workerCounts);

} // namespace kestrum
