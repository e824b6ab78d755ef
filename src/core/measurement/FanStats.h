#pragma once

#include "MetricAvailability.h"

#include <optional>
#include <vector>

namespace kestrum {

struct FanReading {
    int index = 0; // the fan's number from 0
    double actualRPM = 0;
    // Absent where the driver reports none (a ThinkPad's fan has only its speed).
    std::optional<double> targetRPM;
    std::optional<double> minimumRPM;
    std::optional<double> maximumRPM;
    bool isManual = false;
    bool operator==(const FanReading&) const = default;
};

struct FanStats {
    std::vector<FanReading> readings;
    MetricAvailability availability;

    static FanStats unavailable();
    bool operator==(const FanStats&) const = default;
};

} // namespace kestrum
