#include "OperationFullSystemScanComponentRunner.h"

#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"
#include "healthtests/DeepHealthTestOperation.h"
#include "healthtests/QuickHealthTestOperation.h"
#include "network/NetworkTestOperations.h"

namespace kestrum {

namespace {

// Runs an operation's work and applies its commit to an empty archive, where its one result lands.
QCoro::Task<HealthArchive> runOnScratch(OperationWork work, OperationContext& context, std::stop_token stop,
                                        ProgressReporter report) {
    const ArchiveCommit commit = co_await work(context, stop, std::move(report));
    if (stop.stop_requested())
        throw CancellationError();
    HealthArchive scratch;
    commit(scratch);
    co_return scratch;
}

KestrumError noResult() {
    return KestrumError(QStringLiteral("noResult"), trText("Test bir sonuç üretmedi."));
}

} // namespace

OperationFullSystemScanComponentRunner::OperationFullSystemScanComponentRunner(
    HealthTestDependencies healthTests, NetworkTestDependencies networkTests, Sources sources)
    : m_healthTests(std::move(healthTests)), m_networkTests(std::move(networkTests)),
      m_sources(std::move(sources)) {}

QCoro::Task<std::optional<HardwareProfile>>
OperationFullSystemScanComponentRunner::discoverHardware(std::stop_token) {
    if (!m_sources.discoverHardware)
        co_return std::nullopt;
    co_return co_await m_sources.discoverHardware();
}

std::vector<HardwareRecommendation>
OperationFullSystemScanComponentRunner::hardwareRecommendations(const SystemSnapshot& snapshot) {
    return m_sources.recommendations ? m_sources.recommendations(snapshot)
                                     : std::vector<HardwareRecommendation>{};
}

HealthAssessment OperationFullSystemScanComponentRunner::assess(const SystemSnapshot& snapshot) {
    return m_sources.assess ? m_sources.assess(snapshot) : HealthAssessment{};
}

QCoro::Task<HealthTestResult>
OperationFullSystemScanComponentRunner::runQuickHealthTest(OperationContext& context, std::stop_token stop,
                                                           ProgressReporter report) {
    const HealthArchive archive = co_await runOnScratch(QuickHealthTestOperation::work(m_healthTests),
                                                        context, stop, std::move(report));
    if (archive.healthTestResults.empty())
        throw noResult();
    co_return archive.healthTestResults.back();
}

QCoro::Task<DeepHealthTestResult>
OperationFullSystemScanComponentRunner::runDeepHealthTest(OperationContext& context, std::stop_token stop,
                                                          ProgressReporter report) {
    // The deep test's own start condition, checked where a separate start would check it.
    if (const QString refusal = DeepHealthTestOperation::storagePrecondition(context.currentSnapshot());
        !refusal.isEmpty())
        throw KestrumError(QStringLiteral("deepTestPrecondition"), refusal);
    const HealthArchive archive =
        co_await runOnScratch(DeepHealthTestOperation::work(m_healthTests), context, stop, std::move(report));
    if (archive.deepHealthTestResults.empty())
        throw noResult();
    co_return archive.deepHealthTestResults.back();
}

QCoro::Task<NetworkQualityResult>
OperationFullSystemScanComponentRunner::runNetworkQualityTest(OperationContext& context, std::stop_token stop,
                                                              ProgressReporter report) {
    const HealthArchive archive = co_await runOnScratch(
        NetworkQualityOperation::work(m_networkTests.qualityTester), context, stop, std::move(report));
    if (!archive.latestNetworkQualityResult)
        throw noResult();
    co_return *archive.latestNetworkQualityResult;
}

QCoro::Task<NetworkSpeedTestResult>
OperationFullSystemScanComponentRunner::runInternetSpeedTest(OperationContext& context, std::stop_token stop,
                                                             ProgressReporter report) {
    const HealthArchive archive = co_await runOnScratch(
        NetworkSpeedTestOperation::work(m_networkTests.speedTester, NetworkSpeedTestMode::quick), context,
        stop, std::move(report));
    if (!archive.latestNetworkSpeedResult)
        throw noResult();
    co_return *archive.latestNetworkSpeedResult;
}

QCoro::Task<QString> OperationFullSystemScanComponentRunner::explain(const FullSystemScanEvidence&,
                                                                     std::stop_token) {
    throw KestrumError(QStringLiteral("explainerUnavailable"),
                       trText("Cihaz içi açıklayıcı bu sürümde kullanılamıyor."));
    co_return QString();
}

} // namespace kestrum
