#include "DeepHealthTestOperation.h"

#include "HealthTestErrors.h"
#include "HealthTestSampling.h"
#include "HealthTestTitles.h"
#include "monitor/MonitorCollaborators.h"

#include <qcoro/qcorofuture.h>

namespace kestrum {

namespace {

HealthTestSamplingRules samplingRules() {
    return {QuickHealthTestError::unsafeThermalState, QuickHealthTestError::deepTestThermalUnavailable,
            QuickHealthTestError::measurementRequired};
}

QCoro::Task<ArchiveCommit> runDeepHealthTest(HealthTestDependencies deps, OperationContext& context,
                                             std::stop_token stop, ProgressReporter report) {
    const DeepHealthTestConfiguration& configuration = deps.deepHealthTestConfiguration;
    DeepHealthTestWorkloadRunning& runner = *deps.deepHealthTestWorkloadRunner;
    const HealthTestSamplingRules rules = samplingRules();
    const double started = deps.monotonicClock();
    DeepHealthTestMeasurement measurement;
    measurement.startedAt = context.now();
    const auto progress = [&](DeepHealthTestPhase phase, int step, int stepCount, int completed) {
        report(DeepHealthTestOperation::progress({phase, step, stepCount, completed,
                                                  DeepHealthTestProgress::kTotalSteps, measurement.startedAt,
                                                  DeepHealthTestProgress::kEstimatedDuration},
                                                 deps.monotonicClock() - started));
    };
    // Every round starts from a fresh, safe sample; its level decides how hard the round loads.
    const auto sample = [&]() -> QCoro::Task<ThermalLevel> {
        measurement.snapshots.push_back(
            co_await takeCheckedSample(context, stop, rules, measurement.warnings));
        co_return measurement.snapshots.back().thermal;
    };

    int completed = 0;
    for (int k = 1; k <= configuration.cpuRoundCount; ++k) {
        const ThermalLevel level = co_await sample();
        progress(DeepHealthTestPhase::sustainedCPU, k, configuration.cpuRoundCount, ++completed);
        const int workers = level == ThermalLevel::fair ? configuration.fairMaximumCPUWorkers
                                                        : configuration.maximumCPUWorkers;
        const CPUPassMeasurement pass =
            co_await runner.runSustainedCPUPass(configuration.cpuRoundDuration, workers, stop);
        throwIfStopped(stop);
        measurement.cpuOperationsPerSecond.push_back(pass.operationsPerSecond);
        measurement.cpuWorkerCounts.push_back(pass.workerCount);
    }
    for (int k = 1; k <= configuration.gpuRoundCount; ++k) {
        const ThermalLevel level = co_await sample();
        progress(DeepHealthTestPhase::sustainedGPU, k, configuration.gpuRoundCount, ++completed);
        const double duration =
            level == ThermalLevel::fair ? configuration.fairGPURoundDuration : configuration.gpuRoundDuration;
        const GPUThroughput gpu = co_await runner.runSustainedGPUWorkload(duration, stop);
        throwIfStopped(stop);
        if (gpu.operationsPerSecond)
            measurement.gpuOperationsPerSecond.push_back(*gpu.operationsPerSecond);
        else if (gpu.unavailableReason)
            measurement.gpuUnavailableReason = gpu.unavailableReason;
    }

    co_await sample();
    progress(DeepHealthTestPhase::memory, 1, 1, ++completed);
    measurement.memory =
        co_await runner.runMemoryWorkload(configuration.memoryTestBytes, configuration.memoryPassCount, stop);
    throwIfStopped(stop);

    co_await sample();
    progress(DeepHealthTestPhase::storage, 1, 1, ++completed);
    measurement.storage = co_await runner.runStorageWorkload(configuration.storageTestBytes, stop);
    throwIfStopped(stop);

    for (int k = 1; k <= configuration.coolingSampleCount; ++k) {
        progress(DeepHealthTestPhase::coolingObservation, k, configuration.coolingSampleCount, ++completed);
        const bool waited = co_await deps.sleeper->sleep(configuration.coolingSampleInterval, stop);
        throwIfStopped(stop);
        if (!waited)
            throw CancellationError();
        co_await sample();
    }

    progress(DeepHealthTestPhase::analyzing, 1, 1, ++completed);
    measurement.endedAt = context.now();
    std::optional<DeepHealthTestResult> reference;
    for (const DeepHealthTestResult& earlier : context.archive().deepHealthTestResults) {
        if (earlier.benchmarkVersion == DeepHealthTestResult::kBenchmarkVersion) {
            reference = earlier;
            break;
        }
    }
    DeepHealthTestResult result = deps.deepHealthTestScoreEngine.makeResult(measurement, reference);
    progress(DeepHealthTestPhase::analyzing, 1, 1, DeepHealthTestProgress::kTotalSteps);
    co_return [result = std::move(result)](HealthArchive& archive) {
        archive.deepHealthTestResults.push_back(result);
    };
}

} // namespace

OperationWork DeepHealthTestOperation::work(HealthTestDependencies dependencies) {
    return [dependencies = std::move(dependencies)](OperationContext& context, std::stop_token stop,
                                                    ProgressReporter report) {
        return runDeepHealthTest(dependencies, context, std::move(stop), std::move(report));
    };
}

QString DeepHealthTestOperation::storagePrecondition(const SystemSnapshot& snapshot) {
    const DiskStats& disk = snapshot.disk;
    if (!disk.availability.isAvailable() || disk.totalBytes == 0)
        return QuickHealthTestError::deepTestStorageUnavailable().description();
    if (disk.availableBytes < kRequiredFreeBytes)
        return QuickHealthTestError::deepTestInsufficientStorage(kRequiredFreeBytes).description();
    return {};
}

OperationProgress DeepHealthTestOperation::progress(const DeepHealthTestProgress& p, double elapsedSeconds) {
    OperationProgress out;
    out.fraction = double(p.completedSteps) / double(p.totalSteps);
    out.phase = HealthTestTitles::title(p.phase);
    out.step = p.phaseStep;
    out.stepCount = p.phaseStepCount;
    out.elapsedSeconds = elapsedSeconds;
    out.estimatedTotalSeconds = p.estimatedDuration;
    out.detail = p;
    return out;
}

} // namespace kestrum
