#pragma once

#include "MetricAvailability.h"

#include <cstdint>
#include <optional>

namespace kestrum {

struct GPUStats {
    std::optional<QString> name;
    bool hasUnifiedMemory = true;
    std::optional<uint64_t> currentMetalResourceBytes; // bytes the device has allocated now
    std::optional<double> systemUtilizationFraction;   // 0...1
    MetricAvailability systemUtilizationAvailability;  // for the utilization only

    bool operator==(const GPUStats&) const = default;
};

// The public interface has no system-wide utilization; the supplemental sampler step may fill it.
QString gpuUtilizationNotPublicReason();

} // namespace kestrum
