#pragma once

#include "CPUBenchmarkResult.h"
#include "CPUBenchmarkScoreEngine.h"
#include "CPUBenchmarkWorkloadRunning.h"
#include "DeepHealthTestResult.h"
#include "DeepHealthTestScoreEngine.h"
#include "HealthTestScoreEngine.h"
#include "HealthTestWorkloadRunning.h"
#include "foundation/Clocks.h"

#include <functional>
#include <memory>

namespace kestrum {

class LoopSleeping;

// Everything the quick test, the deep test and the benchmark need from outside, with working defaults:
// the real workloads on their own threads, the score engines, the application's configurations. The
// platform supplies what only it can (the graphics compute path, the process information).
struct HealthTestDependencies {
    // `gpu` and `processInformation` absent: no compute path, and the portable processor count.
    explicit HealthTestDependencies(
        std::shared_ptr<GPUComputeWorkloadRunning> gpu = {},
        std::shared_ptr<const ProcessInformationProviding> processInformation = {});

    std::shared_ptr<QuickHealthTestWorkloadRunning> quickHealthTestWorkloadRunner;
    HealthTestScoreEngine healthTestScoreEngine;
    std::shared_ptr<DeepHealthTestWorkloadRunning> deepHealthTestWorkloadRunner;
    DeepHealthTestScoreEngine deepHealthTestScoreEngine;
    DeepHealthTestConfiguration deepHealthTestConfiguration;
    std::shared_ptr<CPUBenchmarkWorkloadRunning> cpuBenchmarkWorkloadRunner;
    CPUBenchmarkScoreEngine cpuBenchmarkScoreEngine;
    std::function<CPUBenchmarkConfiguration(CPUBenchmarkMode)> cpuBenchmarkConfigurationProvider;
    std::shared_ptr<const ProcessInformationProviding> processInformation;

    // What the benchmark's results say about the build that made them.
    QString architecture;
    CPUBenchmarkBuildFlavor buildFlavor;
    CPUBenchmarkDistributionChannel distributionChannel;
    QString compressionEncoder;

    // The deep test's waits while the machine cools, and the clock of the elapsed time shown.
    std::shared_ptr<LoopSleeping> sleeper;
    MonotonicClock monotonicClock;
};

} // namespace kestrum
