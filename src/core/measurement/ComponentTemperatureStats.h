#pragma once

#include "MetricAvailability.h"

#include <optional>

namespace kestrum {

struct ComponentTemperatureStats {
    std::optional<double> cpuHotspotCelsius;
    std::optional<double> cpuAverageCelsius;
    int cpuSensorCount = 0;
    std::optional<double> gpuHotspotCelsius;
    std::optional<double> gpuAverageCelsius;
    int gpuSensorCount = 0;
    MetricAvailability availability;

    // Absent values, counts 0, with the "not offered in this distribution channel" reason.
    static ComponentTemperatureStats notOffered();
    bool operator==(const ComponentTemperatureStats&) const = default;
};

} // namespace kestrum
