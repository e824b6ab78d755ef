#include "FirstHealthSummaryInputFactory.h"

#include "interpretation/HealthAssessmentEngine.h"
#include "monitor/SystemMonitorStore.h"

#include <algorithm>

namespace kestrum::FirstHealthSummaryInputFactory {

FirstHealthSummaryInput makeInput(const FirstHealthSummaryEvidence& evidence, Date date,
                                  const FirstHealthSummaryFreshnessPolicy& freshnessPolicy) {
    FirstHealthSummaryInput input;
    input.generatedAt = date;
    input.snapshot = evidence.currentSnapshot;
    if (input.snapshot)
        input.assessment = HealthAssessmentEngine::assess(*input.snapshot);
    // The latest is the one that ended last: an imported or reordered list still yields the newest.
    const auto latest = std::max_element(
        evidence.quickTestResults.begin(), evidence.quickTestResults.end(),
        [](const HealthTestResult& a, const HealthTestResult& b) { return a.endedAt < b.endedAt; });
    if (latest != evidence.quickTestResults.end())
        input.quickTestResult = *latest;
    input.networkQualityResult = evidence.latestNetworkQualityResult;
    input.activeInsights = evidence.activeInsights;
    for (const HealthEvent& event : evidence.storedEvents) {
        if (FirstHealthSummaryFreshnessPolicy::isFresh(event.timestamp, date,
                                                       freshnessPolicy.maximumHistoryEventAge))
            input.historyContext.recentValidatedEvents.push_back(event);
    }
    input.historyContext.baselineConfidence = evidence.baselineConfidence;
    input.deviceContext = FirstHealthSummaryDeviceContext::from(input.snapshot);
    return input;
}

FirstHealthSummaryEvidence evidence(const SystemMonitorStore& store) {
    FirstHealthSummaryEvidence evidence;
    if (!store.history().empty())
        evidence.currentSnapshot = store.currentSnapshot();
    evidence.quickTestResults = store.healthTestResults();
    evidence.latestNetworkQualityResult = store.latestNetworkQualityResult();
    evidence.activeInsights = store.activeInsights();
    evidence.storedEvents = store.healthEvents();
    evidence.baselineConfidence = store.personalBaseline().confidence;
    return evidence;
}

FirstHealthSummaryInput makeInput(const SystemMonitorStore& store, Date date,
                                  const FirstHealthSummaryFreshnessPolicy& freshnessPolicy) {
    return makeInput(evidence(store), date, freshnessPolicy);
}

} // namespace kestrum::FirstHealthSummaryInputFactory
