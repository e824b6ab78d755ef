#pragma once

#include "MetricAvailability.h"

#include <vector>

namespace kestrum {

struct FanReading {
    int index = 0; // the fan's number from 0
    double actualRPM = 0;
    double targetRPM = 0;
    double minimumRPM = 0;
    double maximumRPM = 0;
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
