#include "QuickHealthTestOperation.h"

#include "HealthTestErrors.h"
#include "HealthTestSampling.h"
#include "HealthTestTitles.h"

#include <qcoro/qcorofuture.h>

namespace kestrum {

namespace {

HealthTestSamplingRules samplingRules() {
    // The quick test stops on serious or critical heat; an unreadable level does not stop it.
    return {QuickHealthTestError::unsafeThermalState, {}, QuickHealthTestError::measurementRequired};
}

QCoro::Task<ArchiveCommit> runQuickHealthTest(HealthTestDependencies deps, OperationContext& context,
                                              std::stop_token stop, ProgressReporter report) {
    const double started = deps.monotonicClock();
    const auto progress = [&](HealthTestPhase phase, int completed) {
        report(QuickHealthTestOperation::progress({phase, completed, HealthTestProgress::kTotalSteps},
                                                  deps.monotonicClock() - started));
    };
    const HealthTestSamplingRules rules = samplingRules();
    QuickHealthTestWorkloadRunning& runner = *deps.quickHealthTestWorkloadRunner;
    QuickHealthTestMeasurement measurement;
    const auto sample = [&]() -> QCoro::Task<void> {
        measurement.snapshots.push_back(
            co_await takeCheckedSample(context, stop, rules, measurement.warnings));
    };

    measurement.startedAt = context.now();
    co_await sample();
    progress(HealthTestPhase::cpuFirstPass, 1);
    measurement.firstCPUOperationsPerSecond = co_await runner.runCPUPass(stop);
    throwIfStopped(stop);

    co_await sample();
    progress(HealthTestPhase::graphics, 2);
    const GPUThroughput gpu = co_await runner.runGPUWorkload(stop);
    throwIfStopped(stop);
    measurement.gpuOperationsPerSecond = gpu.operationsPerSecond;
    measurement.gpuUnavailableReason = gpu.unavailableReason;

    co_await sample();
    progress(HealthTestPhase::storage, 3);
    measurement.storage = co_await runner.runStorageWorkload(stop);
    throwIfStopped(stop);

    co_await sample();
    progress(HealthTestPhase::cpuSecondPass, 4);
    measurement.secondCPUOperationsPerSecond = co_await runner.runCPUPass(stop);
    throwIfStopped(stop);

    co_await sample();
    progress(HealthTestPhase::analyzing, 5);
    throwIfStopped(stop);
    measurement.endedAt = context.now();

    // The personal reference: the oldest result made by this version of the test.
    std::optional<HealthTestResult> reference;
    for (const HealthTestResult& earlier : context.archive().healthTestResults) {
        if (earlier.benchmarkVersion == HealthTestResult::kBenchmarkVersion) {
            reference = earlier;
            break;
        }
    }
    HealthTestResult result = deps.healthTestScoreEngine.makeResult(measurement, reference);
    progress(HealthTestPhase::analyzing, 6);
    co_return
        [result = std::move(result)](HealthArchive& archive) { archive.healthTestResults.push_back(result); };
}

} // namespace

OperationWork QuickHealthTestOperation::work(HealthTestDependencies dependencies) {
    return [dependencies = std::move(dependencies)](OperationContext& context, std::stop_token stop,
                                                    ProgressReporter report) {
        return runQuickHealthTest(dependencies, context, std::move(stop), std::move(report));
    };
}

OperationProgress QuickHealthTestOperation::progress(const HealthTestProgress& p, double elapsedSeconds) {
    OperationProgress out;
    out.fraction = double(p.completedSteps) / double(p.totalSteps);
    out.phase = HealthTestTitles::title(p.phase);
    out.step = p.completedSteps;
    out.stepCount = p.totalSteps;
    out.elapsedSeconds = elapsedSeconds;
    out.estimatedTotalSeconds = kEstimatedSeconds;
    out.detail = p;
    return out;
}

} // namespace kestrum
