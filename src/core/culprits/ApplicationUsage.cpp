#include "ApplicationUsage.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

template <class T> void addTo(std::optional<T>& total, const std::optional<T>& value) {
    if (value)
        total = total.value_or(T{}) + *value;
}

} // namespace

ApplicationUsageReport ApplicationUsageAccounting::update(const AppSliceReading& reading) {
    ApplicationUsageReport report;
    report.availability = reading.availability;
    report.diskSource = reading.diskSource;
    if (!reading.availability.isAvailable()) {
        reset();
        return report;
    }
    if (m_lastReport && m_previousAt && reading.monotonicSeconds == *m_previousAt)
        return *m_lastReport;
    // Zero when there is no earlier reading to compare with (or the clock did not move).
    const double elapsed = m_previousAt && reading.monotonicSeconds > *m_previousAt
                               ? reading.monotonicSeconds - *m_previousAt
                               : 0.0;

    QHash<QString, size_t> index;
    QHash<QString, uint64_t> current;
    for (const AppUnitReading& unit : reading.units) {
        const auto found = index.constFind(unit.applicationID);
        size_t at = 0;
        if (found == index.constEnd()) {
            at = report.applications.size();
            index.insert(unit.applicationID, at);
            report.applications.push_back({unit.applicationID, unit.name, 0, {}, {}, {}, {}, {}});
        } else {
            at = *found;
        }
        ApplicationUsage& app = report.applications[at];
        app.unitCount += 1;
        if (unit.cpuUsageMicroseconds) {
            addTo(app.cpuTimeSeconds, std::optional(static_cast<double>(*unit.cpuUsageMicroseconds) / 1e6));
            current.insert(unit.unitName, *unit.cpuUsageMicroseconds);
            const auto before = m_previous.constFind(unit.unitName);
            if (elapsed > 0 && before != m_previous.constEnd() && *unit.cpuUsageMicroseconds >= *before) {
                const double grown = static_cast<double>(*unit.cpuUsageMicroseconds - *before) / 1e6;
                addTo(app.recentCPUCores, std::optional(grown / elapsed));
            }
        }
        addTo(app.memoryBytes, unit.memoryBytes);
        addTo(app.diskReadBytes, unit.diskReadBytes);
        addTo(app.diskWrittenBytes, unit.diskWrittenBytes);
    }
    // Units that vanished are forgotten; the next reading compares against this one.
    m_previous = std::move(current);
    m_previousAt = reading.monotonicSeconds;
    std::stable_sort(report.applications.begin(), report.applications.end(),
                     [](const ApplicationUsage& a, const ApplicationUsage& b) {
                         return a.cpuTimeSeconds.value_or(-1) > b.cpuTimeSeconds.value_or(-1);
                     });
    m_lastReport = report;
    return report;
}

} // namespace kestrum
