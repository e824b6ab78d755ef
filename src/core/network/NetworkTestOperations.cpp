#include "NetworkTestOperations.h"

#include "foundation/Translatable.h"

namespace kestrum {

namespace {

QString speedPhase(NetworkSpeedTestMode mode) {
    return trTemplate("\\(mode) test: paralel indirme ve yükleme kapasitesi ölçülüyor…", {modeTitle(mode)});
}

} // namespace

OperationWork NetworkQualityOperation::work(std::shared_ptr<NetworkQualityTesting> tester) {
    return [tester](OperationContext&, std::stop_token stop,
                    ProgressReporter report) -> QCoro::Task<ArchiveCommit> {
        if (report)
            report(initialProgress());
        const NetworkQualityResult result = co_await tester->run(stop);
        co_return [result](HealthArchive& archive) { archive.latestNetworkQualityResult = result; };
    };
}

OperationProgress NetworkQualityOperation::initialProgress() {
    OperationProgress progress;
    progress.phase = trText("Ağ gecikmesi ve kararlılığı ölçülüyor");
    return progress;
}

OperationWork NetworkSpeedTestOperation::work(std::shared_ptr<NetworkSpeedTesting> tester,
                                              NetworkSpeedTestMode mode) {
    return [tester, mode](OperationContext&, std::stop_token stop,
                          ProgressReporter report) -> QCoro::Task<ArchiveCommit> {
        NetworkSpeedProgressHandler forward = [report](const NetworkSpeedTestProgress& p) {
            if (report)
                report(progress(p));
        };
        // The task is held in a variable: g++ 12 destroys a coroutine awaited as a temporary together with
        // other temporaries of the same expression twice.
        QCoro::Task<NetworkSpeedTestResult> running = tester->run(mode, stop, std::move(forward));
        const NetworkSpeedTestResult result = co_await std::move(running);
        co_return [result](HealthArchive& archive) { archive.latestNetworkSpeedResult = result; };
    };
}

OperationProgress NetworkSpeedTestOperation::initialProgress(NetworkSpeedTestMode mode) {
    OperationProgress progress;
    progress.phase = speedPhase(mode);
    return progress;
}

OperationProgress NetworkSpeedTestOperation::progress(const NetworkSpeedTestProgress& detail) {
    OperationProgress progress;
    progress.phase = speedPhase(detail.mode);
    // Step 1 downloads, step 2 uploads; how long a direction runs depends on the line, so no fraction.
    if (detail.phase == NetworkSpeedTestProgress::Phase::measuring && detail.direction) {
        progress.step = *detail.direction == NetworkSpeedTransferDirection::upload ? 2 : 1;
        progress.stepCount = 2;
    }
    progress.elapsedSeconds = detail.elapsedSeconds;
    progress.detail = detail;
    return progress;
}

} // namespace kestrum
