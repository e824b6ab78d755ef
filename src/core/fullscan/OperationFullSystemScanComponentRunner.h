#pragma once

#include "FullSystemScanComponentRunning.h"
#include "diagnosis/AIDiagnosticExplaining.h"
#include "healthtests/HealthTestDependencies.h"
#include "history/HealthSample.h"
#include "network/NetworkTestDependencies.h"

#include <functional>

namespace kestrum {

// The scan's checks as the application runs them alone: the quick and deep test operations, the network
// quality test and the quick internet speed test, each on a scratch archive from which its result is
// taken. What only the store knows (the hardware profile, the assessment, the advice) comes in as
// functions.
class OperationFullSystemScanComponentRunner : public FullSystemScanComponentRunning {
public:
    struct Sources {
        std::function<QCoro::Task<std::optional<HardwareProfile>>()> discoverHardware;
        std::function<std::vector<HardwareRecommendation>(const SystemSnapshot&)> recommendations;
        std::function<HealthAssessment(const SystemSnapshot&)> assess;
        // The local language model, when one is configured; its availability is checked as each scan
        // begins (with the hardware step), so the explanation step knows whether to ask.
        std::function<std::shared_ptr<AIDiagnosticExplaining>()> explainer;
        // The stored samples the explanation's context summarises.
        std::function<std::vector<HealthSample>()> history;
    };

    OperationFullSystemScanComponentRunner(HealthTestDependencies healthTests,
                                           NetworkTestDependencies networkTests, Sources sources);

    QCoro::Task<std::optional<HardwareProfile>> discoverHardware(std::stop_token stop) override;
    std::vector<HardwareRecommendation> hardwareRecommendations(const SystemSnapshot& snapshot) override;
    HealthAssessment assess(const SystemSnapshot& snapshot) override;
    QCoro::Task<HealthTestResult> runQuickHealthTest(OperationContext& context, std::stop_token stop,
                                                     ProgressReporter report) override;
    QCoro::Task<DeepHealthTestResult> runDeepHealthTest(OperationContext& context, std::stop_token stop,
                                                        ProgressReporter report) override;
    QCoro::Task<NetworkQualityResult> runNetworkQualityTest(OperationContext& context, std::stop_token stop,
                                                            ProgressReporter report) override;
    QCoro::Task<NetworkSpeedTestResult> runInternetSpeedTest(OperationContext& context, std::stop_token stop,
                                                             ProgressReporter report) override;
    // Whether the local model answered as ready when this scan began.
    bool isExplainerAvailable() const override { return m_explainer != nullptr; }
    QCoro::Task<QString> explain(const FullSystemScanEvidence& evidence, std::stop_token stop) override;

private:
    HealthTestDependencies m_healthTests;
    NetworkTestDependencies m_networkTests;
    Sources m_sources;
    std::shared_ptr<AIDiagnosticExplaining> m_explainer; // ready for this scan; null otherwise
};

} // namespace kestrum
