#pragma once

#include "DeepHealthTestResult.h"
#include "HealthTestScoreEngine.h"

namespace kestrum {

// Scores a deep-test measurement: the five components through the quick test's rules, plus sustained
// capacity from how well the later rounds kept up with the first, a personal comparison with the first
// deep test of the same version, and findings. Stateless.
class DeepHealthTestScoreEngine {
public:
    DeepHealthTestResult makeResult(const DeepHealthTestMeasurement& measurement,
                                    const std::optional<DeepHealthTestResult>& personalReference) const;

    // last rounds ÷ first rounds (means over a window of min(count / 2, 2)); absent below two rates.
    static std::optional<double> retention(const std::vector<double>& rates);
    static int retentionScore(double retention);
    static int sustainedCapacityScore(const std::vector<double>& cpuRatesAtMaximum,
                                      const std::vector<double>& gpuRates, ThermalLevel highest);

    HealthTestScoreEngine healthScoreEngine;
};

} // namespace kestrum
