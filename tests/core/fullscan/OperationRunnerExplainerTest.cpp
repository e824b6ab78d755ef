// The scan's AI step on this platform: the local language model is asked only when it answered as ready
// at the start of the scan, with the verified evidence and no symptom; its narrative is the explanation.

#include "FullScanInputs.h"
#include "fullscan/OperationFullSystemScanComponentRunner.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class FakeExplainer : public AIDiagnosticExplaining {
public:
    AIDiagnosticAvailability answer;
    int explanations = 0;
    std::optional<SanitizedDiagnosticContext> sent;

    QCoro::Task<AIDiagnosticAvailability> availability(std::stop_token) override { co_return answer; }
    QCoro::Task<AIDiagnosticExplanation> explain(SanitizedDiagnosticContext context,
                                                 std::vector<DiagnosticFinding>, std::stop_token) override {
        ++explanations;
        sent = std::move(context);
        co_return AIDiagnosticExplanation{DiagnosticCategory::thermal,
                                          QStringLiteral("Isı yüksek görünüyor.")};
    }
};

} // namespace

TEST(OperationRunnerExplainer, AskedOnlyWhenReadyAtTheStartOfTheScan) {
    struct Case {
        const char* name;
        bool configured;
        AIDiagnosticAvailability::Case availability;
        bool asks;
    } cases[] = {
        {"nothing configured", false, AIDiagnosticAvailability::Case::availableOnDevice, false},
        {"server not running", true, AIDiagnosticAvailability::Case::unavailable, false},
        {"model still loading", true, AIDiagnosticAvailability::Case::modelNotReady, false},
        {"ready", true, AIDiagnosticAvailability::Case::availableOnDevice, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto explainer = std::make_shared<FakeExplainer>();
        explainer->answer.kind = c.availability;
        OperationFullSystemScanComponentRunner::Sources sources;
        if (c.configured)
            sources.explainer = [explainer] { return explainer; };
        OperationFullSystemScanComponentRunner runner(HealthTestDependencies(), NetworkTestDependencies(),
                                                      std::move(sources));
        EXPECT_FALSE(runner.isExplainerAvailable()) << "not before the scan has begun";
        QCoro::waitFor(runner.discoverHardware({}));
        ASSERT_EQ(runner.isExplainerAvailable(), c.asks);

        FullSystemScanEvidence evidence;
        evidence.startedAt = Date::fromUnixSeconds(1'765'000'000);
        evidence.snapshot = scanSnapshot();
        if (c.asks) {
            EXPECT_EQ(QCoro::waitFor(runner.explain(evidence, {})), QStringLiteral("Isı yüksek görünüyor."));
            ASSERT_TRUE(explainer->sent.has_value());
            EXPECT_FALSE(explainer->sent->symptom.has_value()) << "a scan has no symptom to send";
        }
        EXPECT_EQ(explainer->explanations, c.asks ? 1 : 0);
    }
}
