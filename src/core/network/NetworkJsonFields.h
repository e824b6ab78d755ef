#pragma once

// JSON field lists of the network test results. Include only in .cpp files.

#include "NetworkQualityResult.h"
#include "NetworkSpeedTestResult.h"
#include "foundation/JsonCodec.h"

namespace kestrum::json {

template <> struct JsonRecord<NetworkSpeedTestResult> {
    static constexpr auto fields = std::tuple{
        field("id", &NetworkSpeedTestResult::id),
        field("timestamp", &NetworkSpeedTestResult::timestamp),
        field("downloadMegabitsPerSecond", &NetworkSpeedTestResult::downloadMegabitsPerSecond),
        field("uploadMegabitsPerSecond", &NetworkSpeedTestResult::uploadMegabitsPerSecond),
        field("transferredBytes", &NetworkSpeedTestResult::transferredBytes),
        field("durationSeconds", &NetworkSpeedTestResult::durationSeconds),
        field("providerName", &NetworkSpeedTestResult::providerName),
        field("mode", &NetworkSpeedTestResult::mode),
        field("idleLatencyMilliseconds", &NetworkSpeedTestResult::idleLatencyMilliseconds),
        field("downloadLoadedLatencyMilliseconds",
              &NetworkSpeedTestResult::downloadLoadedLatencyMilliseconds),
        field("uploadLoadedLatencyMilliseconds", &NetworkSpeedTestResult::uploadLoadedLatencyMilliseconds),
        field("parallelStreamCount", &NetworkSpeedTestResult::parallelStreamCount),
        field("measurementSampleCount", &NetworkSpeedTestResult::measurementSampleCount),
        field("confidence", &NetworkSpeedTestResult::confidence)};
};

template <> struct JsonRecord<NetworkQualityResult> {
    static constexpr auto fields =
        std::tuple{field("id", &NetworkQualityResult::id),
                   field("timestamp", &NetworkQualityResult::timestamp),
                   field("quality", &NetworkQualityResult::quality),
                   field("dnsResolutionMilliseconds", &NetworkQualityResult::dnsResolutionMilliseconds),
                   field("medianResponseMilliseconds", &NetworkQualityResult::medianResponseMilliseconds),
                   field("jitterMilliseconds", &NetworkQualityResult::jitterMilliseconds),
                   field("attemptedProbes", &NetworkQualityResult::attemptedProbes),
                   field("successfulProbes", &NetworkQualityResult::successfulProbes)};
};

} // namespace kestrum::json
