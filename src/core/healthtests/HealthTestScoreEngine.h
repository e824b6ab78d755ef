#pragma once

#include "HealthTestResult.h"

#include <functional>

namespace kestrum {

// Turns a quick-test measurement into its scored result. Stateless; the deep test reuses the component
// rules through DeepHealthTestScoreEngine.
class HealthTestScoreEngine {
public:
    HealthTestResult makeResult(const QuickHealthTestMeasurement& measurement,
                                const std::optional<HealthTestResult>& personalReference) const;

    static HealthTestComponentScore batteryComponent(const std::optional<BatteryStats>& battery);
    static HealthTestComponentScore thermalComponent(ThermalLevel highest);
    static HealthTestComponentScore memoryComponent(std::optional<double> peakUsage,
                                                    std::optional<uint64_t> peakSwapBytes);
    static HealthTestComponentScore storageComponent(std::optional<double> minimumFreeFraction);
    // Second CPU pass against the first, capped by the highest thermal level.
    static int stabilityScore(double firstRate, double secondRate, ThermalLevel highest);
    static HealthTestComponentScore stabilityComponent(double firstRate, double secondRate,
                                                       ThermalLevel highest);
    // Weighted mean of the scored components (battery 0.25, thermal 0.25, memory 0.20, storage 0.15,
    // stability 0.15); 0 when none has a score.
    static int healthScore(const std::vector<HealthTestComponentScore>& components);
    static HealthTestConfidence confidence(const std::vector<HealthTestComponentScore>& components,
                                           bool hasGPURate);
    // The five components of a measurement, in their fixed order.
    static std::vector<HealthTestComponentScore> components(const QuickHealthTestMeasurement& measurement);

    static QString memoryRecommendation();
    static QString storageRecommendation();

    // New result identifiers; replaced in tests.
    std::function<QUuid()> idProvider;
};

} // namespace kestrum
