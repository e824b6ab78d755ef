#pragma once

#include "HealthEventTotals.h"
#include "MonitorMetrics.h"

#include <QObject>

namespace kestrum {

class SystemMonitorStore;
struct HealthArchive;

// Assembles the scrape page from a monitoring store, and keeps the event totals current as events arrive.
class MonitorMetricsSource : public QObject {
    Q_OBJECT
public:
    // `totalsFile` absent: totals counted in memory only.
    MonitorMetricsSource(const SystemMonitorStore& store, std::optional<QString> totalsFile,
                         QObject* parent = nullptr);
    MonitorMetricsInput input() const;
    QByteArray page(ExpositionFormat format) const;

private:
    const SystemMonitorStore& m_store;
    HealthEventTotals m_totals;
};

// The latest stored result of each scored test in the archive.
std::vector<TestScoreMetric> latestTestScores(const HealthArchive& archive);
// Every latest stored result the page shows: the scored tests, the benchmark and the network tests.
void addLatestResults(MonitorMetricsInput& input, const HealthArchive& archive);

} // namespace kestrum
