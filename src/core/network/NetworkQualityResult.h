#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"

#include <QString>
#include <QUuid>

namespace kestrum {

enum class NetworkQualityLevel { excellent, good, fair, poor };

template <> struct EnumTraits<NetworkQualityLevel> {
    static constexpr std::pair<NetworkQualityLevel, std::string_view> cases[] = {
        {NetworkQualityLevel::excellent, "excellent"},
        {NetworkQualityLevel::good, "good"},
        {NetworkQualityLevel::fair, "fair"},
        {NetworkQualityLevel::poor, "poor"},
    };
};

// One run of the latency and stability check.
struct NetworkQualityResult {
    QUuid id;
    Date timestamp;
    NetworkQualityLevel quality = NetworkQualityLevel::poor;
    double dnsResolutionMilliseconds = 0;
    double medianResponseMilliseconds = 0;
    double jitterMilliseconds = 0;
    int attemptedProbes = 0;
    int successfulProbes = 0;

    bool operator==(const NetworkQualityResult&) const = default;
};

// The grade's Turkish label for display.
QString qualityLevelTitle(NetworkQualityLevel level);

} // namespace kestrum
