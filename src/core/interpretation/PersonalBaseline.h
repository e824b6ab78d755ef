#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"

#include <optional>

namespace kestrum {

enum class BaselineConfidence { learning, early, established };

template <> struct EnumTraits<BaselineConfidence> {
    static constexpr std::pair<BaselineConfidence, std::string_view> cases[] = {
        {BaselineConfidence::learning, "learning"},
        {BaselineConfidence::early, "early"},
        {BaselineConfidence::established, "established"},
    };
};

// The user's own normal, learned from the last seven days of persisted samples.
struct PersonalBaseline {
    Date generatedAt = Date::distantPast();
    int sampleCount = 0;
    int observedDayCount = 0; // distinct local calendar days
    BaselineConfidence confidence = BaselineConfidence::learning;
    std::optional<double> medianCPUUsage;
    std::optional<double> highCPUUsage; // 90th percentile
    std::optional<double> medianMemoryUsage;
    std::optional<double> highMemoryUsage;
    std::optional<double> medianWiFiRSSI;
    std::optional<double> medianBatteryDrainPerHour; // fraction of a full charge per hour

    static PersonalBaseline empty() { return {}; }
    bool operator==(const PersonalBaseline&) const = default;
};

} // namespace kestrum
