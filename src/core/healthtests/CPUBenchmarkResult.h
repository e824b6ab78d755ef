#pragma once

#include "HealthTestResult.h"

namespace kestrum {

enum class CPUBenchmarkMode { quick, standard };

template <> struct EnumTraits<CPUBenchmarkMode> {
    static constexpr std::pair<CPUBenchmarkMode, std::string_view> cases[] = {
        {CPUBenchmarkMode::quick, "quick"},
        {CPUBenchmarkMode::standard, "standard"},
    };
};

struct CPUBenchmarkConfiguration {
    double sampleDuration = 1.0; // seconds
    int sampleCount = 3;
    double warmupDuration = 0.5; // seconds
    int maximumWorkers = 1;
    bool operator==(const CPUBenchmarkConfiguration&) const = default;

    // The application's values; the worker limit is the active processor count clamped to 1...24.
    static CPUBenchmarkConfiguration forMode(CPUBenchmarkMode mode, int activeProcessorCount);
};

enum class CPUBenchmarkPhase { preparing, warmingUp, singleCore, multiCore, analyzing };

template <> struct EnumTraits<CPUBenchmarkPhase> {
    static constexpr std::pair<CPUBenchmarkPhase, std::string_view> cases[] = {
        {CPUBenchmarkPhase::preparing, "preparing"},   {CPUBenchmarkPhase::warmingUp, "warmingUp"},
        {CPUBenchmarkPhase::singleCore, "singleCore"}, {CPUBenchmarkPhase::multiCore, "multiCore"},
        {CPUBenchmarkPhase::analyzing, "analyzing"},
    };
};

struct CPUBenchmarkProgress {
    CPUBenchmarkPhase phase = CPUBenchmarkPhase::preparing;
    int phaseSample = 0;      // 1-based; 0 outside sample phases
    int phaseSampleCount = 0; // 0 outside sample phases
    int completedSteps = 0;
    int totalSteps = 0; // 2 × sampleCount + 2
    bool operator==(const CPUBenchmarkProgress&) const = default;
};

enum class CPUBenchmarkBuildFlavor { debug, release };
enum class CPUBenchmarkDistributionChannel { developer, localRelease, testFlight, appStore, legacyUnknown };
enum class CPUBenchmarkPowerSource { adapter, battery, desktop, unknown };

template <> struct EnumTraits<CPUBenchmarkBuildFlavor> {
    static constexpr std::pair<CPUBenchmarkBuildFlavor, std::string_view> cases[] = {
        {CPUBenchmarkBuildFlavor::debug, "debug"},
        {CPUBenchmarkBuildFlavor::release, "release"},
    };
};
template <> struct EnumTraits<CPUBenchmarkDistributionChannel> {
    static constexpr std::pair<CPUBenchmarkDistributionChannel, std::string_view> cases[] = {
        {CPUBenchmarkDistributionChannel::developer, "developer"},
        {CPUBenchmarkDistributionChannel::localRelease, "localRelease"},
        {CPUBenchmarkDistributionChannel::testFlight, "testFlight"},
        {CPUBenchmarkDistributionChannel::appStore, "appStore"},
        {CPUBenchmarkDistributionChannel::legacyUnknown, "legacyUnknown"},
    };
};
template <> struct EnumTraits<CPUBenchmarkPowerSource> {
    static constexpr std::pair<CPUBenchmarkPowerSource, std::string_view> cases[] = {
        {CPUBenchmarkPowerSource::adapter, "adapter"},
        {CPUBenchmarkPowerSource::battery, "battery"},
        {CPUBenchmarkPowerSource::desktop, "desktop"},
        {CPUBenchmarkPowerSource::unknown, "unknown"},
    };
};

// The encoder of results made before the encoder was recorded: the platform's LZFSE.
inline const QString kLegacyCompressionEncoder = QStringLiteral("lzfse");

struct CPUBenchmarkEnvironment {
    QString architecture;
    int activeProcessorCount = 1;
    int workerCount = 1; // workers of the multi-core samples
    CPUBenchmarkBuildFlavor buildFlavor = CPUBenchmarkBuildFlavor::release;
    CPUBenchmarkDistributionChannel distributionChannel = CPUBenchmarkDistributionChannel::legacyUnknown;
    CPUBenchmarkPowerSource powerSource = CPUBenchmarkPowerSource::unknown;
    bool lowPowerModeEnabled = false;
    std::optional<double> initialCPUUsage; // fraction 0...1
    ThermalLevel startThermalLevel = ThermalLevel::unavailable;
    ThermalLevel endThermalLevel = ThermalLevel::unavailable;
    // Which compressor made the rates ("lz4"); rates of different encoders are never compared.
    QString compressionEncoder = kLegacyCompressionEncoder;
    bool operator==(const CPUBenchmarkEnvironment&) const = default;
};

// What the benchmark measured; scored, never stored.
struct CPUBenchmarkMeasurement {
    Date startedAt;
    Date endedAt;
    CPUBenchmarkMode mode = CPUBenchmarkMode::quick;
    std::vector<double> singleCoreSamples; // bytes per second
    std::vector<double> multiCoreSamples;  // bytes per second
    CPUBenchmarkEnvironment environment;
    std::vector<QString> extraWarnings; // conditions the platform adds, such as no thermal signal
};

struct CPUBenchmarkResult {
    static constexpr int kBenchmarkVersion = 2;

    QUuid id;
    Date startedAt;
    Date endedAt;
    int benchmarkVersion = kBenchmarkVersion;
    CPUBenchmarkMode mode = CPUBenchmarkMode::quick;
    std::vector<double> singleCoreSamples;
    std::vector<double> multiCoreSamples;
    CPUBenchmarkEnvironment environment;
    HealthTestConfidence confidence = HealthTestConfidence::low;
    std::vector<QString> warnings;
    std::optional<int> personalPerformancePercent;
    std::optional<QUuid> performanceReferenceID;

    // 1 − the larger coefficient of variation of the two sample lists, as a percentage.
    int repeatabilityPercent() const;
    // Same benchmark version, mode, architecture, worker count, build flavor, distribution channel and
    // encoder as the measurement.
    bool isComparableReference(const CPUBenchmarkMeasurement& measurement) const;
    bool operator==(const CPUBenchmarkResult&) const = default;
};

namespace CPUBenchmarkStatistics {
// Population standard deviation ÷ mean; 1.0 below two values or for a mean ≤ 0.
double coefficientOfVariation(const std::vector<double>& values);
// Odd count: middle value; even: mean of the two middle values. Empty: NaN.
double median(std::vector<double> values);
// The median of the finite positive values; 0 when none.
double validMedian(const std::vector<double>& values);
} // namespace CPUBenchmarkStatistics

} // namespace kestrum
