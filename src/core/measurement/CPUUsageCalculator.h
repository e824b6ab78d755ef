#pragma once

#include "CPUStats.h"
#include "RawReadings.h"

#include <optional>

namespace kestrum {

namespace CPUUsageCalculator {
// Usage over the interval between two tick snapshots. Without a comparable previous snapshot the result
// is the "baseline taken" reading.
CPUStats stats(const CPUTickSnapshot& current, const std::optional<CPUTickSnapshot>& previous);
} // namespace CPUUsageCalculator

} // namespace kestrum
