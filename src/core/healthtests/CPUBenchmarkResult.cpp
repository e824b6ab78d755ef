#include "CPUBenchmarkResult.h"

#include "foundation/Rounding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kestrum {

CPUBenchmarkConfiguration CPUBenchmarkConfiguration::forMode(CPUBenchmarkMode mode,
                                                             int activeProcessorCount) {
    const int workers = std::clamp(activeProcessorCount, 1, 24);
    switch (mode) {
    case CPUBenchmarkMode::quick:
        return {1.0, 3, 0.5, workers};
    case CPUBenchmarkMode::standard:
        break;
    }
    return {2.5, 5, 1.0, workers};
}

namespace CPUBenchmarkStatistics {

double coefficientOfVariation(const std::vector<double>& values) {
    if (values.size() < 2)
        return 1.0;
    const double n = static_cast<double>(values.size());
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    if (!(mean > 0))
        return 1.0;
    double squares = 0;
    for (const double value : values)
        squares += (value - mean) * (value - mean);
    return std::sqrt(squares / n) / mean;
}

double median(std::vector<double> values) {
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    if (values.size() % 2 == 1)
        return values[middle];
    return (values[middle - 1] + values[middle]) / 2;
}

double validMedian(const std::vector<double>& values) {
    std::vector<double> valid;
    for (const double value : values) {
        if (std::isfinite(value) && value > 0)
            valid.push_back(value);
    }
    return valid.empty() ? 0.0 : median(std::move(valid));
}

} // namespace CPUBenchmarkStatistics

int CPUBenchmarkResult::repeatabilityPercent() const {
    const auto finitePositive = [](const std::vector<double>& values) {
        std::vector<double> kept;
        std::copy_if(values.begin(), values.end(), std::back_inserter(kept),
                     [](double v) { return std::isfinite(v) && v > 0; });
        return kept;
    };
    using CPUBenchmarkStatistics::coefficientOfVariation;
    const double c = std::max(coefficientOfVariation(finitePositive(singleCoreSamples)),
                              coefficientOfVariation(finitePositive(multiCoreSamples)));
    const double value = 1 - c;
    if (!(value > 0))
        return 0;
    return roundedClampedScore(std::min(value, 1.0) * 100);
}

bool CPUBenchmarkResult::isComparableReference(const CPUBenchmarkMeasurement& measurement) const {
    const CPUBenchmarkEnvironment& mine = environment;
    const CPUBenchmarkEnvironment& theirs = measurement.environment;
    return benchmarkVersion == kBenchmarkVersion && mode == measurement.mode &&
           mine.architecture == theirs.architecture && mine.workerCount == theirs.workerCount &&
           mine.buildFlavor == theirs.buildFlavor && mine.distributionChannel == theirs.distributionChannel &&
           mine.compressionEncoder == theirs.compressionEncoder;
}

} // namespace kestrum
