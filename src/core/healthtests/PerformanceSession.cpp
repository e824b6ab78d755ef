#include "PerformanceSession.h"

#include "HealthTestResult.h"
#include "foundation/Translatable.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

std::optional<double> finiteUnit(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    return std::clamp(value, 0.0, 1.0);
}

std::optional<double> rate(double value) {
    if (!std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

std::optional<double> mean(double total, int count) {
    if (count <= 0)
        return std::nullopt;
    return total / count;
}

} // namespace

PerformanceMetricSnapshot PerformanceMetricSnapshot::make(const SystemSnapshot& snapshot) {
    PerformanceMetricSnapshot m;
    m.timestamp = snapshot.timestamp;
    if (snapshot.cpu.availability.isAvailable())
        m.cpuUsage = finiteUnit(snapshot.cpu.totalUsage);
    if (snapshot.memory.availability.isAvailable() && snapshot.memory.totalBytes != 0)
        m.memoryUsage = finiteUnit(static_cast<double>(snapshot.memory.usedBytes) /
                                   static_cast<double>(snapshot.memory.totalBytes));
    const BatteryStats& battery = snapshot.battery;
    if (battery.availability.isAvailable() && battery.isPresent) {
        if (battery.chargeFraction)
            m.batteryCharge = finiteUnit(*battery.chargeFraction);
        m.batteryUsesPowerAdapter = battery.isConnectedToPowerAdapter;
    }
    if (snapshot.network.trafficAvailability.isAvailable()) {
        m.downloadBytesPerSecond = rate(snapshot.network.downloadBytesPerSecond);
        m.uploadBytesPerSecond = rate(snapshot.network.uploadBytesPerSecond);
    }
    m.thermalLevel = snapshot.thermal;
    return m;
}

bool PerformanceMetricSnapshot::isEmpty() const {
    return !cpuUsage && !memoryUsage && !batteryCharge && !downloadBytesPerSecond && !uploadBytesPerSecond &&
           thermalLevel == ThermalLevel::unavailable;
}

QString PerformanceSession::sessionName(const QString& requested) {
    const QString trimmed = requested.trimmed();
    if (trimmed.isEmpty())
        return trText("Performans Oturumu");
    if (trimmed.size() <= kMaximumNameLength)
        return trimmed;
    // 80 characters, not 80 halves of characters.
    qsizetype cut = kMaximumNameLength;
    if (QChar::isLowSurrogate(trimmed[cut].unicode()))
        --cut;
    return trimmed.left(cut);
}

PerformanceSession PerformanceSession::start(QUuid id, const QString& name, const SystemSnapshot& snapshot) {
    PerformanceSession session;
    session.id = id;
    session.name = sessionName(name);
    session.startedAt = snapshot.timestamp;
    session.baseline = PerformanceMetricSnapshot::make(snapshot);
    return session;
}

bool PerformanceSession::record(const SystemSnapshot& snapshot) {
    if (endedAt)
        return false;
    const PerformanceMetricSnapshot m = PerformanceMetricSnapshot::make(snapshot);
    if (m.isEmpty())
        return false;
    if (lastRecordedAt && !(snapshot.timestamp > *lastRecordedAt))
        return false;
    sampleCount += 1;
    lastRecordedAt = snapshot.timestamp;
    if (m.cpuUsage) {
        cpuUsageTotal += *m.cpuUsage;
        cpuSampleCount += 1;
        peakCPUUsage = std::max(peakCPUUsage.value_or(*m.cpuUsage), *m.cpuUsage);
    }
    if (m.memoryUsage) {
        memoryUsageTotal += *m.memoryUsage;
        memorySampleCount += 1;
        peakMemoryUsage = std::max(peakMemoryUsage.value_or(*m.memoryUsage), *m.memoryUsage);
    }
    if (m.downloadBytesPerSecond) {
        downloadRateTotal += *m.downloadBytesPerSecond;
        downloadSampleCount += 1;
    }
    if (m.uploadBytesPerSecond) {
        uploadRateTotal += *m.uploadBytesPerSecond;
        uploadSampleCount += 1;
    }
    if (thermalSeverity(m.thermalLevel) > thermalSeverity(highestThermalLevel))
        highestThermalLevel = m.thermalLevel;
    return true;
}

void PerformanceSession::finish(const SystemSnapshot& snapshot, Date end) {
    if (endedAt)
        return;
    record(snapshot);
    ending = PerformanceMetricSnapshot::make(snapshot);
    endedAt = std::max(end, startedAt);
}

void PerformanceSession::completeLeftOpen() {
    if (!endedAt)
        endedAt = std::max(lastRecordedAt.value_or(startedAt), startedAt);
}

std::optional<double> PerformanceSession::averageCPUUsage() const {
    return mean(cpuUsageTotal, cpuSampleCount);
}
std::optional<double> PerformanceSession::averageMemoryUsage() const {
    return mean(memoryUsageTotal, memorySampleCount);
}
std::optional<double> PerformanceSession::averageDownloadBytesPerSecond() const {
    return mean(downloadRateTotal, downloadSampleCount);
}
std::optional<double> PerformanceSession::averageUploadBytesPerSecond() const {
    return mean(uploadRateTotal, uploadSampleCount);
}

std::optional<double> PerformanceSession::batteryChange() const {
    if (!ending || !ending->batteryCharge || !baseline.batteryCharge)
        return std::nullopt;
    return *ending->batteryCharge - *baseline.batteryCharge;
}

Date PerformanceSession::retentionDate() const {
    return lastRecordedAt.value_or(endedAt.value_or(startedAt));
}

std::optional<double> PerformanceSessionComparison::batteryChangeDelta() const {
    const auto beforeChange = before.batteryChange();
    const auto afterChange = after.batteryChange();
    if (!beforeChange || !afterChange)
        return std::nullopt;
    return *afterChange - *beforeChange;
}

} // namespace kestrum
