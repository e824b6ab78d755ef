#pragma once

#include "foundation/EnumTraits.h"
#include "measurement/MetricAvailability.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

// One application unit (a systemd scope or service that a desktop launcher started) as read from its
// control group: counters since the unit started.
struct AppUnitReading {
    QString unitName;      // as the folder is named, e.g. "app-gnome-firefox\x2desr-4242.scope"
    QString applicationID; // the desktop id it was launched from, unescaped
    QString name;          // the desktop entry's Name, else the id
    std::optional<uint64_t> cpuUsageMicroseconds;
    std::optional<uint64_t> memoryBytes;
    std::optional<uint64_t> diskReadBytes;
    std::optional<uint64_t> diskWrittenBytes;

    bool operator==(const AppUnitReading&) const = default;
};

// Where the disk figures came from: the unit's io.stat, or the sum over its running processes where the
// io controller is not delegated to the user's manager (Debian's default).
enum class DiskUsageSource { unitTotals, runningProcesses, unavailable };

template <> struct EnumTraits<DiskUsageSource> {
    static constexpr std::pair<DiskUsageSource, std::string_view> cases[] = {
        {DiskUsageSource::unitTotals, "unitTotals"},
        {DiskUsageSource::runningProcesses, "runningProcesses"},
        {DiskUsageSource::unavailable, "unavailable"},
    };
};

struct AppSliceReading {
    MetricAvailability availability;
    double monotonicSeconds = 0; // when it was read
    DiskUsageSource diskSource = DiskUsageSource::unavailable;
    std::vector<AppUnitReading> units;

    bool operator==(const AppSliceReading&) const = default;
};

// Reads the user's application units. Safe to call from any thread. A reader may hand out its last
// reading again (same time, same counters) rather than read everything at every call.
class ApplicationUsageReading {
public:
    virtual ~ApplicationUsageReading() = default;
    virtual AppSliceReading read() const = 0;
};

// For platforms without per-application accounting.
class UnavailableApplicationUsageReader : public ApplicationUsageReading {
public:
    explicit UnavailableApplicationUsageReader(QString reason) : m_reason(std::move(reason)) {}
    AppSliceReading read() const override { return {MetricAvailability::unavailable(m_reason), 0, {}, {}}; }

private:
    QString m_reason;
};

// What one application has used, measured (not correlated): the sums over its running units.
struct ApplicationUsage {
    QString applicationID;
    QString name;
    int unitCount = 0;
    std::optional<double> cpuTimeSeconds;  // since each unit started
    std::optional<double> recentCPUCores;  // over the last interval: 1 = one core busy; absent for new units
    std::optional<uint64_t> memoryBytes;   // now
    std::optional<uint64_t> diskReadBytes; // since each unit started (or over its running processes)
    std::optional<uint64_t> diskWrittenBytes;

    bool operator==(const ApplicationUsage&) const = default;
};

struct ApplicationUsageReport {
    MetricAvailability availability = MetricAvailability::unavailable({});
    DiskUsageSource diskSource = DiskUsageSource::unavailable;
    std::vector<ApplicationUsage> applications; // most CPU time first

    bool operator==(const ApplicationUsageReport&) const = default;
};

// Turns successive readings into the per-application table. Units are grouped by desktop id; the recent
// CPU share comes from each unit's counter growth since the previous reading, so a unit seen for the
// first time, or whose counter went down (a unit name reused by a new instance), has none yet. A reading
// taken at the same instant as the previous one (a reader handing out its last reading again) gives the
// previous report again, rates included.
class ApplicationUsageAccounting {
public:
    ApplicationUsageReport update(const AppSliceReading& reading);
    void reset() {
        m_previous.clear();
        m_previousAt.reset();
        m_lastReport.reset();
    }

private:
    QHash<QString, uint64_t> m_previous; // unit → CPU microseconds at the previous reading
    std::optional<double> m_previousAt;
    std::optional<ApplicationUsageReport> m_lastReport;
};

} // namespace kestrum
