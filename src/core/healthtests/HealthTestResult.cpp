#include "HealthTestResult.h"

#include <algorithm>

namespace kestrum {

int thermalSeverity(ThermalLevel level) {
    switch (level) {
    case ThermalLevel::nominal:
        return 0;
    case ThermalLevel::fair:
        return 1;
    case ThermalLevel::serious:
        return 2;
    case ThermalLevel::critical:
        return 3;
    case ThermalLevel::unavailable:
        break;
    }
    return -1;
}

ThermalLevel highestThermalLevel(const std::vector<SystemSnapshot>& snapshots) {
    std::optional<ThermalLevel> highest;
    for (const SystemSnapshot& snapshot : snapshots) {
        if (snapshot.thermal == ThermalLevel::unavailable)
            continue;
        if (!highest || thermalSeverity(snapshot.thermal) > thermalSeverity(*highest))
            highest = snapshot.thermal;
    }
    return highest.value_or(ThermalLevel::unavailable);
}

ThermalLevel QuickHealthTestMeasurement::highestThermalLevel() const {
    return kestrum::highestThermalLevel(snapshots);
}

std::optional<double> QuickHealthTestMeasurement::peakMemoryUsage() const {
    std::optional<double> peak;
    for (const SystemSnapshot& snapshot : snapshots) {
        const MemoryStats& memory = snapshot.memory;
        if (!memory.availability.isAvailable() || memory.totalBytes == 0)
            continue;
        const double usage = std::clamp(
            static_cast<double>(memory.usedBytes) / static_cast<double>(memory.totalBytes), 0.0, 1.0);
        peak = std::max(peak.value_or(usage), usage);
    }
    return peak;
}

std::optional<uint64_t> QuickHealthTestMeasurement::peakSwapUsedBytes() const {
    std::optional<uint64_t> peak;
    for (const SystemSnapshot& snapshot : snapshots) {
        if (snapshot.memory.availability.isAvailable())
            peak = std::max(peak.value_or(0), snapshot.memory.swapUsedBytes);
    }
    return peak;
}

std::optional<double> QuickHealthTestMeasurement::minimumAvailableDiskFraction() const {
    std::optional<double> minimum;
    for (const SystemSnapshot& snapshot : snapshots) {
        const DiskStats& disk = snapshot.disk;
        if (!disk.availability.isAvailable() || disk.totalBytes == 0)
            continue;
        const double fraction =
            static_cast<double>(disk.availableBytes) / static_cast<double>(disk.totalBytes);
        minimum = std::min(minimum.value_or(fraction), fraction);
    }
    return minimum;
}

std::optional<BatteryStats> QuickHealthTestMeasurement::latestBattery() const {
    for (auto it = snapshots.rbegin(); it != snapshots.rend(); ++it) {
        if (it->battery.availability.isAvailable() && it->battery.isPresent)
            return it->battery;
    }
    return std::nullopt;
}

} // namespace kestrum
