#pragma once

// JSON field lists of the health-test and benchmark records. Include only in .cpp files.

#include "CPUBenchmarkResult.h"
#include "DeepHealthTestResult.h"
#include "HealthTestResult.h"
#include "foundation/JsonCodec.h"

namespace kestrum::json {

template <> struct JsonRecord<HealthTestComponentScore> {
    static constexpr auto fields = std::tuple{
        field("kind", &HealthTestComponentScore::kind), field("score", &HealthTestComponentScore::score),
        field("evidence", &HealthTestComponentScore::evidence),
        field("recommendation", &HealthTestComponentScore::recommendation)};
};

template <> struct JsonRecord<HealthTestStorageMeasurement> {
    static constexpr auto fields =
        std::tuple{field("testedBytes", &HealthTestStorageMeasurement::testedBytes),
                   field("writeBytesPerSecond", &HealthTestStorageMeasurement::writeBytesPerSecond),
                   field("readBytesPerSecond", &HealthTestStorageMeasurement::readBytesPerSecond)};
};

template <> struct JsonRecord<HealthTestMemoryMeasurement> {
    static constexpr auto fields =
        std::tuple{field("testedBytes", &HealthTestMemoryMeasurement::testedBytes),
                   field("passCount", &HealthTestMemoryMeasurement::passCount),
                   field("copyBytesPerSecond", &HealthTestMemoryMeasurement::copyBytesPerSecond)};
};

template <> struct JsonRecord<HealthTestProgress> {
    static constexpr auto fields = std::tuple{field("phase", &HealthTestProgress::phase),
                                              field("completedSteps", &HealthTestProgress::completedSteps),
                                              field("totalSteps", &HealthTestProgress::totalSteps)};
};

template <> struct JsonRecord<HealthTestResult> {
    static constexpr auto fields =
        std::tuple{field("id", &HealthTestResult::id),
                   field("startedAt", &HealthTestResult::startedAt),
                   field("endedAt", &HealthTestResult::endedAt),
                   field("benchmarkVersion", &HealthTestResult::benchmarkVersion),
                   field("healthScore", &HealthTestResult::healthScore),
                   field("stabilityScore", &HealthTestResult::stabilityScore),
                   field("personalCapacityPercent", &HealthTestResult::personalCapacityPercent),
                   field("capacityReferenceID", &HealthTestResult::capacityReferenceID),
                   field("confidence", &HealthTestResult::confidence),
                   field("components", &HealthTestResult::components),
                   field("firstCPUOperationsPerSecond", &HealthTestResult::firstCPUOperationsPerSecond),
                   field("secondCPUOperationsPerSecond", &HealthTestResult::secondCPUOperationsPerSecond),
                   field("gpuOperationsPerSecond", &HealthTestResult::gpuOperationsPerSecond),
                   field("storage", &HealthTestResult::storage),
                   field("gpuUnavailableReason", &HealthTestResult::gpuUnavailableReason),
                   fieldEmptyWhenMissing("warnings", &HealthTestResult::warnings)};
};

template <> struct JsonRecord<DeepHealthTestFinding> {
    static constexpr auto fields = std::tuple{
        field("kind", &DeepHealthTestFinding::kind), field("level", &DeepHealthTestFinding::level),
        field("title", &DeepHealthTestFinding::title), field("evidence", &DeepHealthTestFinding::evidence),
        field("recommendation", &DeepHealthTestFinding::recommendation)};
};

template <> struct JsonRecord<DeepHealthTestProgress> {
    static constexpr auto fields =
        std::tuple{field("phase", &DeepHealthTestProgress::phase),
                   field("phaseStep", &DeepHealthTestProgress::phaseStep),
                   field("phaseStepCount", &DeepHealthTestProgress::phaseStepCount),
                   field("completedSteps", &DeepHealthTestProgress::completedSteps),
                   field("totalSteps", &DeepHealthTestProgress::totalSteps),
                   field("startedAt", &DeepHealthTestProgress::startedAt),
                   field("estimatedDuration", &DeepHealthTestProgress::estimatedDuration)};
};

template <> struct JsonRecord<DeepHealthTestResult> {
    static constexpr auto fields =
        std::tuple{field("id", &DeepHealthTestResult::id),
                   field("startedAt", &DeepHealthTestResult::startedAt),
                   field("endedAt", &DeepHealthTestResult::endedAt),
                   field("benchmarkVersion", &DeepHealthTestResult::benchmarkVersion),
                   field("healthScore", &DeepHealthTestResult::healthScore),
                   field("sustainedCapacityScore", &DeepHealthTestResult::sustainedCapacityScore),
                   field("personalCapacityPercent", &DeepHealthTestResult::personalCapacityPercent),
                   field("capacityReferenceID", &DeepHealthTestResult::capacityReferenceID),
                   field("confidence", &DeepHealthTestResult::confidence),
                   field("components", &DeepHealthTestResult::components),
                   field("findings", &DeepHealthTestResult::findings),
                   field("cpuOperationsPerSecond", &DeepHealthTestResult::cpuOperationsPerSecond),
                   field("cpuWorkerCounts", &DeepHealthTestResult::cpuWorkerCounts),
                   field("gpuOperationsPerSecond", &DeepHealthTestResult::gpuOperationsPerSecond),
                   field("memory", &DeepHealthTestResult::memory),
                   field("storage", &DeepHealthTestResult::storage),
                   field("highestThermalLevel", &DeepHealthTestResult::highestThermalLevel),
                   field("gpuUnavailableReason", &DeepHealthTestResult::gpuUnavailableReason),
                   fieldEmptyWhenMissing("warnings", &DeepHealthTestResult::warnings)};
};

template <> struct JsonRecord<CPUBenchmarkConfiguration> {
    static constexpr auto fields =
        std::tuple{field("sampleDuration", &CPUBenchmarkConfiguration::sampleDuration),
                   field("sampleCount", &CPUBenchmarkConfiguration::sampleCount),
                   field("warmupDuration", &CPUBenchmarkConfiguration::warmupDuration),
                   field("maximumWorkers", &CPUBenchmarkConfiguration::maximumWorkers)};
};

template <> struct JsonRecord<CPUBenchmarkProgress> {
    static constexpr auto fields =
        std::tuple{field("phase", &CPUBenchmarkProgress::phase),
                   field("phaseSample", &CPUBenchmarkProgress::phaseSample),
                   field("phaseSampleCount", &CPUBenchmarkProgress::phaseSampleCount),
                   field("completedSteps", &CPUBenchmarkProgress::completedSteps),
                   field("totalSteps", &CPUBenchmarkProgress::totalSteps)};
};

// An environment stored without "distributionChannel" decodes as `legacyUnknown`, one without
// "compressionEncoder" as made by LZFSE.
template <> struct JsonCustom<CPUBenchmarkEnvironment> {
    static QJsonValue encode(const CPUBenchmarkEnvironment& environment);
    static CPUBenchmarkEnvironment decode(const QJsonValue& value, JsonPath& path);
};

template <> struct JsonRecord<CPUBenchmarkResult> {
    static constexpr auto fields =
        std::tuple{field("id", &CPUBenchmarkResult::id),
                   field("startedAt", &CPUBenchmarkResult::startedAt),
                   field("endedAt", &CPUBenchmarkResult::endedAt),
                   field("benchmarkVersion", &CPUBenchmarkResult::benchmarkVersion),
                   field("mode", &CPUBenchmarkResult::mode),
                   field("singleCoreSamples", &CPUBenchmarkResult::singleCoreSamples),
                   field("multiCoreSamples", &CPUBenchmarkResult::multiCoreSamples),
                   field("environment", &CPUBenchmarkResult::environment),
                   field("confidence", &CPUBenchmarkResult::confidence),
                   field("warnings", &CPUBenchmarkResult::warnings),
                   field("personalPerformancePercent", &CPUBenchmarkResult::personalPerformancePercent),
                   field("performanceReferenceID", &CPUBenchmarkResult::performanceReferenceID)};
};

} // namespace kestrum::json
