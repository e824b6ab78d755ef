#include "OperationFullSystemScanComponentRunner.h"

#include "diagnosis/HardwareDoctorEvidence.h"
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
OperationFullSystemScanComponentRunner::discoverHardware(std::stop_token stop) {
    // The first step of every scan: whether the local model can explain this one is decided now, while
    // nothing else runs (the check gives up after a few seconds).
    m_explainer.reset();
    if (std::shared_ptr<AIDiagnosticExplaining> explainer =
            m_sources.explainer ? m_sources.explainer() : nullptr) {
        QCoro::Task<AIDiagnosticAvailability> checking = explainer->availability(stop);
        const AIDiagnosticAvailability availability = co_await std::move(checking);
        if (availability.kind == AIDiagnosticAvailability::Case::availableOnDevice)
            m_explainer = std::move(explainer);
    }
    if (!m_sources.discoverHardware)
        co_return std::nullopt;
    QCoro::Task<std::optional<HardwareProfile>> discovering = m_sources.discoverHardware();
    co_return co_await std::move(discovering);
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

QCoro::Task<QString> OperationFullSystemScanComponentRunner::explain(const FullSystemScanEvidence& evidence,
                                                                     std::stop_token stop) {
    if (!m_explainer)
        throw KestrumError(QStringLiteral("explainerUnavailable"),
                           trText("Cihaz içi açıklayıcı bu tarama sırasında hazır değildi."));
    // The same verified findings and sanitised context the hardware assistant sends: never a name, a
    // path or an address, and no symptom (the scan has none).
    const HardwareDoctorEvidence gathered = HardwareDoctor::gatherEvidence(
        evidence.hardware.result.value_or(HardwareProfile{}), evidence.snapshot,
        m_sources.history ? m_sources.history() : std::vector<HealthSample>{}, QString(), evidence.startedAt);
    QCoro::Task<AIDiagnosticExplanation> explaining =
        m_explainer->explain(gathered.context, gathered.findings, stop);
    const AIDiagnosticExplanation explanation = co_await std::move(explaining);
    co_return explanation.narrative;
}

} // namespace kestrum
