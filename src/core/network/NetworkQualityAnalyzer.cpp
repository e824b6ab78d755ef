#include "NetworkQualityAnalyzer.h"

#include "NetworkTestErrors.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

double NetworkQualityAnalyzer::percentile(std::vector<double> values, double p) const {
    std::sort(values.begin(), values.end());
    if (values.size() == 1)
        return values.front();
    const double x = std::clamp(p, 0.0, 1.0) * double(values.size() - 1);
    const auto lo = static_cast<size_t>(std::floor(x));
    const auto hi = static_cast<size_t>(std::ceil(x));
    if (lo == hi)
        return values[lo];
    return values[lo] + (x - double(lo)) * (values[hi] - values[lo]);
}

NetworkQualityResult
NetworkQualityAnalyzer::makeResult(double dnsResolutionMilliseconds,
                                   const std::vector<std::optional<double>>& probeDurations, Date timestamp,
                                   QUuid id) const {
    std::vector<double> valid;
    for (const auto& outcome : probeDurations)
        if (outcome && std::isfinite(*outcome) && *outcome >= 0)
            valid.push_back(*outcome);
    if (valid.empty())
        throw makeError(NetworkQualityTestError::internetUnreachable);

    const double median = percentile(valid, 0.5);
    std::vector<double> deviations;
    deviations.reserve(valid.size());
    for (double v : valid)
        deviations.push_back(std::fabs(v - median));
    const double jitter = percentile(deviations, 0.5);
    const int attempted = int(probeDurations.size());
    const double ratio = double(valid.size()) / double(std::max(attempted, 1));

    NetworkQualityLevel level = NetworkQualityLevel::poor;
    if (ratio == 1.0 && median < 80 && jitter < 25)
        level = NetworkQualityLevel::excellent;
    else if (ratio >= 0.8 && median < 160 && jitter < 60)
        level = NetworkQualityLevel::good;
    else if (ratio >= 0.6 && median < 350)
        level = NetworkQualityLevel::fair;

    NetworkQualityResult result;
    result.id = id;
    result.timestamp = timestamp;
    result.quality = level;
    result.dnsResolutionMilliseconds = std::max(0.0, dnsResolutionMilliseconds);
    result.medianResponseMilliseconds = std::max(0.0, median);
    result.jitterMilliseconds = std::max(0.0, jitter);
    result.attemptedProbes = attempted;
    result.successfulProbes = std::min(attempted, int(valid.size()));
    return result;
}

} // namespace kestrum
