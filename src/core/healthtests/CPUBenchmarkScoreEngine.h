#pragma once

#include "CPUBenchmarkResult.h"

#include <functional>

namespace kestrum {

// Turns the benchmark's samples into its result: repeatability-based confidence, warnings about the
// measuring conditions, and the performance relative to a comparable earlier result. Stateless.
class CPUBenchmarkScoreEngine {
public:
    // Throws CPUBenchmarkError::invalidWorkloadResult when either list has fewer than two values or holds
    // a value that is not a finite positive number.
    CPUBenchmarkResult makeResult(const CPUBenchmarkMeasurement& measurement,
                                  const std::optional<CPUBenchmarkResult>& personalReference) const;

    static std::vector<QString> warnings(const CPUBenchmarkEnvironment& environment);
    static HealthTestConfidence confidence(const CPUBenchmarkMeasurement& measurement);
    // 25...400; 100 means as fast as the reference.
    static int personalPerformancePercent(const CPUBenchmarkMeasurement& measurement,
                                          const CPUBenchmarkResult& reference);

    std::function<QUuid()> idProvider;
};

} // namespace kestrum
