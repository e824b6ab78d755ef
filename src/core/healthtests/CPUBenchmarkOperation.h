#pragma once

#include "HealthTestDependencies.h"
#include "monitor/OperationContext.h"

namespace kestrum {

// The processor benchmark as a user-started operation: a warm-up, single-core and multi-core compression
// samples with a fresh, thermally safe sample between them, then the scored result.
class CPUBenchmarkOperation {
public:
    static OperationWork work(HealthTestDependencies dependencies, CPUBenchmarkMode mode);
    static OperationProgress initialProgress(const HealthTestDependencies& dependencies,
                                             CPUBenchmarkMode mode);
    static OperationProgress progress(const CPUBenchmarkProgress& progress, double elapsedSeconds,
                                      const CPUBenchmarkConfiguration& configuration);
    // How long the samples take, with the warm-up: what progress estimates.
    static double estimatedSeconds(const CPUBenchmarkConfiguration& configuration);
    // From the start sample's battery record: unknown without one, desktop without a battery, else the
    // adapter flag (absent: unknown).
    static CPUBenchmarkPowerSource powerSource(const BatteryStats& battery);
};

} // namespace kestrum
