#include "MonitorMetricsSource.h"

#include "monitor/SystemMonitorStore.h"

namespace kestrum {

namespace {

template <class Result>
void addLatest(std::vector<TestScoreMetric>& out, const char* test, const std::vector<Result>& results) {
    const Result* latest = nullptr;
    for (const Result& result : results) {
        if (!latest || result.endedAt >= latest->endedAt)
            latest = &result;
    }
    if (latest)
        out.push_back({QLatin1String(test), double(latest->healthScore), latest->endedAt});
}

} // namespace

std::vector<TestScoreMetric> latestTestScores(const HealthArchive& archive) {
    std::vector<TestScoreMetric> out;
    addLatest(out, "quickHealthTest", archive.healthTestResults);
    addLatest(out, "deepHealthTest", archive.deepHealthTestResults);
    return out;
}

void addLatestResults(MonitorMetricsInput& input, const HealthArchive& archive) {
    input.latestResults = latestTestScores(archive);
    for (const CPUBenchmarkResult& result : archive.cpuBenchmarkResults) {
        if (!input.latestBenchmark || result.endedAt >= input.latestBenchmark->endedAt)
            input.latestBenchmark = result;
    }
    input.latestNetworkQuality = archive.latestNetworkQualityResult;
    input.latestNetworkSpeed = archive.latestNetworkSpeedResult;
}

MonitorMetricsSource::MonitorMetricsSource(const SystemMonitorStore& store, std::optional<QString> totalsFile,
                                           QObject* parent)
    : QObject(parent), m_store(store), m_totals(std::move(totalsFile)) {
    const auto count = [this] {
        if (m_store.isArchivePrepared())
            m_totals.count(m_store.healthEvents());
    };
    connect(&store, &SystemMonitorStore::healthEventsChanged, this, count);
    count();
}

MonitorMetricsInput MonitorMetricsSource::input() const {
    MonitorMetricsInput input;
    if (m_store.hasMeasurement()) {
        input.snapshot = m_store.currentSnapshot();
        input.assessment = m_store.currentAssessment();
        input.insights = m_store.activeInsights();
    }
    input.eventTotals = m_totals.totals();
    if (m_store.isArchivePrepared()) {
        input.baseline = m_store.personalBaseline();
        addLatestResults(input, m_store.archive());
    }
    return input;
}

QByteArray MonitorMetricsSource::page(ExpositionFormat format) const {
    return monitorMetricsPage(input()).render(format);
}

} // namespace kestrum
