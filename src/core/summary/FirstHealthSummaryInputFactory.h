#pragma once

#include "FirstHealthSummary.h"

namespace kestrum {

class SystemMonitorStore;

// What the summary may draw on, as the monitoring store holds it (or as the command line gathers it from one
// sample and the archive).
struct FirstHealthSummaryEvidence {
    std::optional<SystemSnapshot> currentSnapshot;  // absent before the first sample
    std::vector<HealthTestResult> quickTestResults; // in the order they were stored
    std::optional<NetworkQualityResult> latestNetworkQualityResult;
    std::vector<HealthInsight> activeInsights;
    std::vector<HealthEvent> storedEvents;
    BaselineConfidence baselineConfidence = BaselineConfidence::learning;
};

namespace FirstHealthSummaryInputFactory {

// The assessment of the snapshot, the latest quick test, the events recent enough to confirm an insight,
// and the battery applicability the snapshot shows.
FirstHealthSummaryInput makeInput(const FirstHealthSummaryEvidence& evidence, Date date,
                                  const FirstHealthSummaryFreshnessPolicy& freshnessPolicy = {});

// The store's current snapshot counts only once its in-memory history holds a sample.
FirstHealthSummaryEvidence evidence(const SystemMonitorStore& store);

FirstHealthSummaryInput makeInput(const SystemMonitorStore& store, Date date,
                                  const FirstHealthSummaryFreshnessPolicy& freshnessPolicy = {});

} // namespace FirstHealthSummaryInputFactory

} // namespace kestrum
