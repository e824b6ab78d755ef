#pragma once

#include "NetworkQualityResult.h"

#include <optional>
#include <vector>

namespace kestrum {

// Stateless: percentiles and the grade of a run.
struct NetworkQualityAnalyzer {
    // Linear interpolation between the two nearest ranks; `values` must not be empty.
    double percentile(std::vector<double> values, double p) const;

    // One outcome per attempted probe, absent for a failed one. Throws the "internet unreachable" error
    // when no probe gave a valid duration.
    NetworkQualityResult makeResult(double dnsResolutionMilliseconds,
                                    const std::vector<std::optional<double>>& probeDurations, Date timestamp,
                                    QUuid id) const;
};

} // namespace kestrum
