#pragma once

#include "foundation/Date.h"
#include "measurement/SystemSnapshot.h"
#include "measurement/ThermalLevel.h"

#include <QUuid>
#include <optional>

namespace kestrum {

// The metrics of one live sample as a performance session keeps them; a group that could not be read
// is absent, never zero.
struct PerformanceMetricSnapshot {
    Date timestamp;
    std::optional<double> cpuUsage;    // 0...1
    std::optional<double> memoryUsage; // 0...1
    std::optional<double> batteryCharge;
    std::optional<bool> batteryUsesPowerAdapter;
    std::optional<double> downloadBytesPerSecond;
    std::optional<double> uploadBytesPerSecond;
    ThermalLevel thermalLevel = ThermalLevel::unavailable;

    static PerformanceMetricSnapshot make(const SystemSnapshot& snapshot);
    // Nothing at all could be read.
    bool isEmpty() const;
    bool operator==(const PerformanceMetricSnapshot&) const = default;
};

// A named time window, started and stopped by the user, over which every live sample is folded into
// running totals, so that a session before a change can be compared with one after it.
struct PerformanceSession {
    static constexpr int kMaximumNameLength = 80;

    QUuid id;
    QString name;
    Date startedAt;
    std::optional<Date> endedAt; // absent while the session runs
    PerformanceMetricSnapshot baseline;
    std::optional<PerformanceMetricSnapshot> ending;
    int sampleCount = 0;
    double cpuUsageTotal = 0;
    int cpuSampleCount = 0;
    std::optional<double> peakCPUUsage;
    double memoryUsageTotal = 0;
    int memorySampleCount = 0;
    std::optional<double> peakMemoryUsage;
    double downloadRateTotal = 0;
    int downloadSampleCount = 0;
    double uploadRateTotal = 0;
    int uploadSampleCount = 0;
    ThermalLevel highestThermalLevel = ThermalLevel::unavailable;
    std::optional<Date> lastRecordedAt;

    // Trimmed; empty gives "Performans Oturumu"; otherwise at most 80 characters.
    static QString sessionName(const QString& requested);
    static PerformanceSession start(QUuid id, const QString& name, const SystemSnapshot& snapshot);

    bool isRunning() const { return !endedAt; }
    // Folds one live sample in; false when nothing was counted (ended session, nothing readable, a
    // sample not later than the last one counted).
    bool record(const SystemSnapshot& snapshot);
    // Records the final sample, keeps it as the ending, and ends the session at `endedAt` (never before
    // its start). A session already ended is left alone.
    void finish(const SystemSnapshot& snapshot, Date endedAt);
    // A session an earlier run left open ends at its last recorded moment (or its start), without an
    // ending snapshot: what happened after it is unknown.
    void completeLeftOpen();

    std::optional<double> averageCPUUsage() const;
    std::optional<double> averageMemoryUsage() const;
    std::optional<double> averageDownloadBytesPerSecond() const;
    std::optional<double> averageUploadBytesPerSecond() const;
    // ending − baseline charge; absent without both.
    std::optional<double> batteryChange() const;
    // The date the archive judges it by: last recorded, else ended, else started.
    Date retentionDate() const;

    bool operator==(const PerformanceSession&) const = default;
};

// Two sessions side by side, before and after a change.
struct PerformanceSessionComparison {
    PerformanceSession before;
    PerformanceSession after;

    // The after session's battery change minus the before session's: negative means the battery fell
    // faster after the change. Absent when either session lacks an ending or either charge.
    std::optional<double> batteryChangeDelta() const;
};

// Ranks of the thermal levels for "highest": unavailable below nominal.
int thermalRank(ThermalLevel level);

} // namespace kestrum
