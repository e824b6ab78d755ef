#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"

#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>

namespace kestrum {

enum class NetworkSpeedTestMode { quick, comprehensive };
enum class NetworkSpeedTestConfidence { estimate, good, high };

template <> struct EnumTraits<NetworkSpeedTestMode> {
    static constexpr std::pair<NetworkSpeedTestMode, std::string_view> cases[] = {
        {NetworkSpeedTestMode::quick, "quick"},
        {NetworkSpeedTestMode::comprehensive, "comprehensive"},
    };
};

template <> struct EnumTraits<NetworkSpeedTestConfidence> {
    static constexpr std::pair<NetworkSpeedTestConfidence, std::string_view> cases[] = {
        {NetworkSpeedTestConfidence::estimate, "estimate"},
        {NetworkSpeedTestConfidence::good, "good"},
        {NetworkSpeedTestConfidence::high, "high"},
    };
};

// One run of the internet speed test. The first seven fields are always stored; the others are absent
// in results written before the parallel measurement existed.
struct NetworkSpeedTestResult {
    QUuid id;
    Date timestamp;
    double downloadMegabitsPerSecond = 0;
    double uploadMegabitsPerSecond = 0;
    int64_t transferredBytes = 0;
    double durationSeconds = 0;
    QString providerName;
    std::optional<NetworkSpeedTestMode> mode;
    std::optional<double> idleLatencyMilliseconds;
    std::optional<double> downloadLoadedLatencyMilliseconds;
    std::optional<double> uploadLoadedLatencyMilliseconds;
    std::optional<int> parallelStreamCount;
    std::optional<int> measurementSampleCount;
    std::optional<NetworkSpeedTestConfidence> confidence;

    bool operator==(const NetworkSpeedTestResult&) const = default;
};

// One warm-up transfer or one parallel round.
struct NetworkSpeedTransferMeasurement {
    int64_t byteCount = 0;
    double durationSeconds = 0;
    bool operator==(const NetworkSpeedTransferMeasurement&) const = default;
};

enum class NetworkSpeedTransferDirection { download, upload };

template <> struct EnumTraits<NetworkSpeedTransferDirection> {
    static constexpr std::pair<NetworkSpeedTransferDirection, std::string_view> cases[] = {
        {NetworkSpeedTransferDirection::download, "download"},
        {NetworkSpeedTransferDirection::upload, "upload"},
    };
};

// The mode's texts shown beside the consent: title, description and the data ceiling.
QString modeTitle(NetworkSpeedTestMode mode);
QString modeDescription(NetworkSpeedTestMode mode);
QString modeDataCeiling(NetworkSpeedTestMode mode);

} // namespace kestrum
