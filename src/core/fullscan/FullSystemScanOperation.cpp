#include "FullSystemScanOperation.h"

#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"

#include <QJsonObject>
#include <exception>

namespace kestrum {

namespace {

using Phase = FullSystemScanPhase;

QString describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const KestrumError& e) {
        return e.description();
    } catch (...) {
    }
    return trText("Bu adım beklenmeyen bir hatayla durdu.");
}

// Runs one check; its failure is recorded, cancellation ends the scan.
template <class T, class Start>
QCoro::Task<FullSystemScanStep<T>> attempt(Start start, std::stop_token stop) {
    std::exception_ptr failure;
    try {
        T value = co_await start();
        if (stop.stop_requested())
            throw CancellationError();
        co_return FullSystemScanStep<T>::completed(std::move(value));
    } catch (const CancellationError&) {
        throw;
    } catch (...) {
        failure = std::current_exception();
    }
    // A check that failed because the scan was stopped is a cancellation, not a failure.
    if (stop.stop_requested())
        throw CancellationError();
    co_return FullSystemScanStep<T>::failed(describe(failure));
}

QCoro::Task<ArchiveCommit> runScan(std::shared_ptr<FullSystemScanComponentRunning> runner,
                                   FullSystemScanOperation::Options options, OperationContext& context,
                                   std::stop_token stop, ProgressReporter report) {
    FullSystemScanEvidence e;
    e.startedAt = context.now();
    const Date startedAt = e.startedAt;
    const auto elapsed = [&context, startedAt] {
        return std::max(0.0, context.now().secondsSince(startedAt));
    };
    const auto announce = [&](Phase phase) {
        report(FullSystemScanOperation::progress(
            {phase, declarationIndex(phase), FullSystemScanProgress::kTotalSteps, startedAt}, 0, elapsed()));
    };
    // A check's own progress moves the bar within its phase.
    const auto within = [&](Phase phase) -> ProgressReporter {
        return [&, phase](OperationProgress inner) {
            report(FullSystemScanOperation::progress(
                {phase, declarationIndex(phase), FullSystemScanProgress::kTotalSteps, startedAt},
                inner.fraction.value_or(0), elapsed()));
        };
    };
    const auto checkStop = [&stop] {
        if (stop.stop_requested())
            throw CancellationError();
    };

    announce(Phase::hardware);
    const auto hardware = co_await attempt<std::optional<HardwareProfile>>(
        [&] { return runner->discoverHardware(stop); }, stop);
    e.hardware.failure = hardware.failure;
    if (hardware.result)
        e.hardware.result = *hardware.result;
    checkStop();
    std::optional<SystemSnapshot> snapshot = co_await context.freshSnapshot();
    checkStop();
    e.snapshot = snapshot ? *snapshot : context.currentSnapshot();
    e.assessment = runner->assess(*e.snapshot);
    e.hardwareRecommendations = runner->hardwareRecommendations(*e.snapshot);

    announce(Phase::quickHealth);
    e.quickHealth = co_await attempt<HealthTestResult>(
        [&] { return runner->runQuickHealthTest(context, stop, within(Phase::quickHealth)); }, stop);

    announce(Phase::deepHealth);
    e.deepHealth = co_await attempt<DeepHealthTestResult>(
        [&] { return runner->runDeepHealthTest(context, stop, within(Phase::deepHealth)); }, stop);

    // The connection as it is now, after the long tests.
    const bool connected = context.currentSnapshot().network.isConnected;
    if (options.includeNetworkTests) {
        announce(Phase::networkQuality);
        if (connected)
            e.networkQuality = co_await attempt<NetworkQualityResult>(
                [&] { return runner->runNetworkQualityTest(context, stop, within(Phase::networkQuality)); },
                stop);
        else
            e.networkQuality = FullSystemScanStep<NetworkQualityResult>::skipped(
                trText("Etkin bir ağ bağlantısı olmadığı için ağ kalite testi atlandı."));
        announce(Phase::internetSpeed);
        // Not asked for, the speed component follows the rules of a test that did not run.
        if (options.includeInternetSpeed && connected)
            e.internetSpeed = co_await attempt<NetworkSpeedTestResult>(
                [&] { return runner->runInternetSpeedTest(context, stop, within(Phase::internetSpeed)); },
                stop);
        else if (options.includeInternetSpeed)
            e.internetSpeed = FullSystemScanStep<NetworkSpeedTestResult>::skipped(
                trText("Etkin bir ağ bağlantısı olmadığı için internet hız testi atlandı."));
    }

    announce(Phase::aiReport);
    if (runner->isExplainerAvailable())
        e.aiExplanation = co_await attempt<QString>([&] { return runner->explain(e, stop); }, stop);
    checkStop();

    e.endedAt = context.now();
    report(FullSystemScanOperation::progress({Phase::aiReport, FullSystemScanProgress::kTotalSteps,
                                              FullSystemScanProgress::kTotalSteps, startedAt},
                                             1, elapsed()));
    const QUuid id = options.idProvider ? options.idProvider() : QUuid::createUuid();
    FullSystemScanResult result = options.builder.makeResult(e, id);
    auto onStored = options.onStored;
    co_return [result = std::move(result), e = std::move(e), onStored](HealthArchive& archive) {
        // The checks' own results join their lists as if run alone.
        if (e.quickHealth.result)
            archive.healthTestResults.push_back(*e.quickHealth.result);
        if (e.deepHealth.result)
            archive.deepHealthTestResults.push_back(*e.deepHealth.result);
        if (e.networkQuality.result)
            archive.latestNetworkQualityResult = e.networkQuality.result;
        if (e.internetSpeed.result)
            archive.latestNetworkSpeedResult = e.internetSpeed.result;
        FullSystemScanOperation::append(archive.fullSystemScanResults, result);
        if (onStored)
            onStored(result);
    };
}

} // namespace

double FullSystemScanOperation::phaseWeight(FullSystemScanPhase phase) {
    switch (phase) {
    case Phase::preparing:
        return 0;
    case Phase::hardware:
        return 5;
    case Phase::quickHealth:
        return 20;
    case Phase::deepHealth:
        return 470;
    case Phase::networkQuality:
        return 15;
    case Phase::internetSpeed:
        return 30;
    case Phase::aiReport:
        break;
    }
    return 5;
}

OperationWork FullSystemScanOperation::work(std::shared_ptr<FullSystemScanComponentRunning> runner,
                                            Options options) {
    return [runner = std::move(runner), options = std::move(options)](
               OperationContext& context, std::stop_token stop, ProgressReporter report) {
        return runScan(runner, options, context, std::move(stop), std::move(report));
    };
}

OperationProgress FullSystemScanOperation::progress(const FullSystemScanProgress& p, double phaseFraction,
                                                    double elapsedSeconds) {
    double done = 0;
    double total = 0;
    for (const Phase phase : allCases<Phase>()) {
        const double w = phaseWeight(phase);
        total += w;
        if (declarationIndex(phase) < declarationIndex(p.phase))
            done += w;
    }
    if (p.completedSteps >= p.totalSteps)
        done = total;
    else
        done += phaseWeight(p.phase) * std::clamp(phaseFraction, 0.0, 1.0);
    OperationProgress out;
    out.fraction = total > 0 ? done / total : 0;
    out.phase = FullSystemScanReportBuilder::title(p.phase);
    out.step = p.completedSteps;
    out.stepCount = p.totalSteps;
    out.elapsedSeconds = elapsedSeconds;
    out.estimatedTotalSeconds = p.estimatedDuration;
    out.detail = p;
    return out;
}

void FullSystemScanOperation::append(std::vector<QJsonObject>& stored, const FullSystemScanResult& result) {
    stored.push_back(fullSystemScanResultToJson(result).toObject());
    const auto limit = static_cast<size_t>(FullSystemScanReportBuilder::kHistoryLimit);
    if (stored.size() > limit)
        stored.erase(stored.begin(), stored.end() - static_cast<std::ptrdiff_t>(limit));
}

} // namespace kestrum
