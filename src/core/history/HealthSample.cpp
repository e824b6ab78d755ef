#include "HealthSample.h"

#include "foundation/Rounding.h"

#include <cmath>

namespace kestrum {

HealthSample HealthSample::make(const SystemSnapshot& snapshot, HealthLevel assessedLevel, QUuid id) {
    HealthSample sample;
    sample.id = id;
    sample.timestamp = snapshot.timestamp;
    if (snapshot.cpu.availability.isAvailable() && std::isfinite(snapshot.cpu.totalUsage))
        sample.cpuUsage = clampedUnit(snapshot.cpu.totalUsage);
    if (snapshot.memory.availability.isAvailable() && snapshot.memory.totalBytes != 0)
        sample.memoryUsage =
            clampedUnit(double(snapshot.memory.usedBytes) / double(snapshot.memory.totalBytes));
    const BatteryStats& battery = snapshot.battery;
    if (battery.availability.isAvailable() && battery.isPresent) {
        if (battery.chargeFraction && std::isfinite(*battery.chargeFraction))
            sample.batteryCharge = clampedUnit(*battery.chargeFraction);
        sample.batteryIsCharging = battery.isCharging;
        sample.batteryUsesPowerAdapter = battery.isConnectedToPowerAdapter;
    }
    const DiskStats& disk = snapshot.disk;
    if (disk.availability.isAvailable() && disk.totalBytes != 0) {
        // Available above total counts as nothing used.
        const double used =
            disk.availableBytes >= disk.totalBytes ? 0.0 : double(disk.totalBytes - disk.availableBytes);
        sample.diskUsage = clampedUnit(used / double(disk.totalBytes));
    }
    sample.thermalLevel = snapshot.thermal;
    if (snapshot.network.trafficAvailability.isAvailable()) {
        const auto rate = [](double value) -> std::optional<double> {
            if (std::isfinite(value) && value >= 0)
                return value;
            return std::nullopt;
        };
        sample.downloadBytesPerSecond = rate(snapshot.network.downloadBytesPerSecond);
        sample.uploadBytesPerSecond = rate(snapshot.network.uploadBytesPerSecond);
    }
    sample.wifiRSSI = snapshot.network.wifiRSSI;
    sample.healthLevel = assessedLevel;
    return sample;
}

} // namespace kestrum
