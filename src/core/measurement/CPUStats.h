#pragma once

#include "MetricAvailability.h"

#include <vector>

namespace kestrum {

struct CPUStats {
    double totalUsage = 0;            // fraction 0...1 of all cores together
    std::vector<double> perCoreUsage; // fraction per logical core, in the platform's order
    std::vector<double> loadAverage;  // 1-, 5-, 15-minute values, possibly fewer
    MetricAvailability availability;

    static CPUStats empty();
    bool operator==(const CPUStats&) const = default;
};

} // namespace kestrum
