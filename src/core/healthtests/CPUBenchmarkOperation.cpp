#include "CPUBenchmarkOperation.h"

#include "HealthTestErrors.h"
#include "HealthTestSampling.h"
#include "HealthTestTitles.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace kestrum {

namespace {

HealthTestSamplingRules samplingRules() {
    return {CPUBenchmarkError::unsafeThermalState, CPUBenchmarkError::thermalUnavailable,
            CPUBenchmarkError::measurementRequired};
}

// Asking the system for low-power mode may wait on the bus: never on the main thread.
QThreadPool& queryPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool();
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

QCoro::Task<ArchiveCommit> runCPUBenchmark(HealthTestDependencies deps, CPUBenchmarkMode mode,
                                           OperationContext& context, std::stop_token stop,
                                           ProgressReporter report) {
    const CPUBenchmarkConfiguration configuration = deps.cpuBenchmarkConfigurationProvider(mode);
    const int n = configuration.sampleCount;
    const int total = 2 * n + 2;
    CPUBenchmarkWorkloadRunning& runner = *deps.cpuBenchmarkWorkloadRunner;
    const HealthTestSamplingRules rules = samplingRules();
    const double started = deps.monotonicClock();
    const auto progress = [&](CPUBenchmarkPhase phase, int sample, int sampleCount, int completed) {
        report(CPUBenchmarkOperation::progress({phase, sample, sampleCount, completed, total},
                                               deps.monotonicClock() - started, configuration));
    };

    CPUBenchmarkMeasurement measurement;
    measurement.mode = mode;
    std::vector<SystemSnapshot> snapshots;
    // The automatic thermal stop: between samples, never inside one.
    const auto sample = [&]() -> QCoro::Task<void> {
        snapshots.push_back(co_await takeCheckedSample(context, stop, rules, measurement.extraWarnings));
    };

    measurement.startedAt = context.now();
    co_await sample();
    const int activeProcessors = std::max(1, deps.processInformation->activeProcessorCount());
    const int workers = std::min(activeProcessors, configuration.maximumWorkers);

    progress(CPUBenchmarkPhase::warmingUp, 0, 0, 0);
    if (configuration.warmupDuration > 0) {
        co_await runner.warmUp(configuration.warmupDuration, stop);
        throwIfStopped(stop);
    }
    co_await sample();
    for (int k = 1; k <= n; ++k) {
        progress(CPUBenchmarkPhase::singleCore, k, n, k);
        measurement.singleCoreSamples.push_back(
            co_await runner.runSingleCoreSample(configuration.sampleDuration, stop));
        throwIfStopped(stop);
        co_await sample();
    }
    for (int k = 1; k <= n; ++k) {
        progress(CPUBenchmarkPhase::multiCore, k, n, n + k);
        measurement.multiCoreSamples.push_back(
            co_await runner.runMultiCoreSample(configuration.sampleDuration, workers, stop));
        throwIfStopped(stop);
        co_await sample();
    }
    progress(CPUBenchmarkPhase::analyzing, 0, 0, 2 * n + 1);
    throwIfStopped(stop);
    measurement.endedAt = context.now();

    // Named, not temporaries inside the co_await expression: this compiler destroys such temporaries twice.
    const auto information = deps.processInformation;
    const auto isLowPower = [information] { return information->isLowPowerModeEnabled(); };
    QFuture<bool> lowPowerQuery = QtConcurrent::run(&queryPool(), isLowPower);
    const bool lowPower = co_await lowPowerQuery;
    throwIfStopped(stop);

    const SystemSnapshot& first = snapshots.front();
    CPUBenchmarkEnvironment& environment = measurement.environment;
    environment.architecture = deps.architecture;
    environment.activeProcessorCount = activeProcessors;
    environment.workerCount = workers;
    environment.buildFlavor = deps.buildFlavor;
    environment.distributionChannel = deps.distributionChannel;
    environment.powerSource = CPUBenchmarkOperation::powerSource(first.battery);
    environment.lowPowerModeEnabled = lowPower;
    if (first.cpu.availability.isAvailable())
        environment.initialCPUUsage = first.cpu.totalUsage;
    environment.startThermalLevel = first.thermal;
    environment.endThermalLevel = snapshots.back().thermal;
    environment.compressionEncoder = deps.compressionEncoder;

    // The reference: the oldest trustworthy result of the same mode, architecture and channel.
    std::optional<CPUBenchmarkResult> reference;
    for (const CPUBenchmarkResult& earlier : context.archive().cpuBenchmarkResults) {
        if (earlier.confidence != HealthTestConfidence::low && earlier.mode == mode &&
            earlier.environment.architecture == environment.architecture &&
            earlier.environment.distributionChannel == environment.distributionChannel) {
            reference = earlier;
            break;
        }
    }
    CPUBenchmarkResult result = deps.cpuBenchmarkScoreEngine.makeResult(measurement, reference);
    progress(CPUBenchmarkPhase::analyzing, 0, 0, total);
    co_return [result = std::move(result)](HealthArchive& archive) {
        archive.cpuBenchmarkResults.push_back(result);
    };
}

} // namespace

OperationWork CPUBenchmarkOperation::work(HealthTestDependencies dependencies, CPUBenchmarkMode mode) {
    return [dependencies = std::move(dependencies), mode](OperationContext& context, std::stop_token stop,
                                                          ProgressReporter report) {
        return runCPUBenchmark(dependencies, mode, context, std::move(stop), std::move(report));
    };
}

double CPUBenchmarkOperation::estimatedSeconds(const CPUBenchmarkConfiguration& c) {
    return std::max(c.warmupDuration, 0.0) + 2 * c.sampleCount * c.sampleDuration;
}

OperationProgress CPUBenchmarkOperation::initialProgress(const HealthTestDependencies& dependencies,
                                                         CPUBenchmarkMode mode) {
    const CPUBenchmarkConfiguration configuration = dependencies.cpuBenchmarkConfigurationProvider(mode);
    return progress({CPUBenchmarkPhase::preparing, 0, 0, 0, 2 * configuration.sampleCount + 2}, 0,
                    configuration);
}

OperationProgress CPUBenchmarkOperation::progress(const CPUBenchmarkProgress& p, double elapsedSeconds,
                                                  const CPUBenchmarkConfiguration& configuration) {
    OperationProgress out;
    out.fraction = p.totalSteps > 0 ? double(p.completedSteps) / double(p.totalSteps) : 0.0;
    out.phase = HealthTestTitles::title(p.phase);
    out.step = p.phaseSample;
    out.stepCount = p.phaseSampleCount;
    out.elapsedSeconds = elapsedSeconds;
    out.estimatedTotalSeconds = estimatedSeconds(configuration);
    out.detail = p;
    return out;
}

CPUBenchmarkPowerSource CPUBenchmarkOperation::powerSource(const BatteryStats& battery) {
    if (!battery.availability.isAvailable())
        return CPUBenchmarkPowerSource::unknown;
    if (!battery.isPresent)
        return CPUBenchmarkPowerSource::desktop;
    if (!battery.isConnectedToPowerAdapter)
        return CPUBenchmarkPowerSource::unknown;
    return *battery.isConnectedToPowerAdapter ? CPUBenchmarkPowerSource::adapter
                                              : CPUBenchmarkPowerSource::battery;
}

} // namespace kestrum
