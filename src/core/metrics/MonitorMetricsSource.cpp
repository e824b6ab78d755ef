#include "MonitorMetricsSource.h"

#include "monitor/SystemMonitorStore.h"

namespace kestrum {

namespace {

void addLatest(std::vector<TestScoreMetric>& out, const char* test, const std::vector<QJsonObject>& results,
               const char* scoreKey) {
    const QJsonObject* latest = nullptr;
    for (const QJsonObject& result : results) {
        if (result.value(QStringLiteral("endedAt")).isDouble() &&
            (!latest || result.value(QStringLiteral("endedAt")).toDouble() >=
                            latest->value(QStringLiteral("endedAt")).toDouble()))
            latest = &result;
    }
    if (!latest)
        return;
    TestScoreMetric metric{QLatin1String(test), std::nullopt,
                           Date{latest->value(QStringLiteral("endedAt")).toDouble()}};
    if (const QJsonValue score = latest->value(QLatin1String(scoreKey)); score.isDouble())
        metric.score = score.toDouble();
    out.push_back(metric);
}

} // namespace

std::vector<TestScoreMetric> latestTestScores(const HealthArchive& archive) {
    std::vector<TestScoreMetric> out;
    addLatest(out, "quickHealthTest", archive.healthTestResults, "healthScore");
    addLatest(out, "deepHealthTest", archive.deepHealthTestResults, "healthScore");
    addLatest(out, "fullSystemScan", archive.fullSystemScanResults, "overallScore");
    return out;
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
        input.latestResults = latestTestScores(m_store.archive());
    }
    return input;
}

QByteArray MonitorMetricsSource::page(ExpositionFormat format) const {
    return monitorMetricsPage(input()).render(format);
}

} // namespace kestrum
