#pragma once

#include "MetricsPage.h"
#include "foundation/Date.h"
#include "healthtests/CPUBenchmarkResult.h"
#include "interpretation/HealthAssessment.h"
#include "interpretation/HealthInsight.h"
#include "interpretation/PersonalBaseline.h"
#include "measurement/SystemSnapshot.h"
#include "network/NetworkQualityResult.h"
#include "network/NetworkSpeedTestResult.h"

#include <map>
#include <optional>
#include <vector>

namespace kestrum {

// The latest stored result of one user-started test.
struct TestScoreMetric {
    QString test; // "quickHealthTest", "cpuBenchmark", …
    std::optional<double> score;
    Date endedAt;
    bool operator==(const TestScoreMetric&) const = default;
};

// Everything a scrape shows: the latest sample and what the monitor judged and remembers.
struct MonitorMetricsInput {
    std::optional<SystemSnapshot> snapshot; // absent before the first sample
    std::optional<HealthAssessment> assessment;
    std::vector<HealthInsight> insights;
    std::map<std::pair<HealthInsightKind, HealthLevel>, quint64> eventTotals;
    std::optional<PersonalBaseline> baseline; // absent before the archive is loaded
    std::vector<TestScoreMetric> latestResults;
    std::optional<CPUBenchmarkResult> latestBenchmark;
    std::optional<NetworkQualityResult> latestNetworkQuality;
    std::optional<NetworkSpeedTestResult> latestNetworkSpeed;
};

// The scrape page of a running monitor (and of the node_exporter text file).
MetricsPage monitorMetricsPage(const MonitorMetricsInput& input);

} // namespace kestrum
