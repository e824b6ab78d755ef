#pragma once

#include "foundation/Uuid.h"
#include "measurement/SystemSnapshot.h"

namespace kestrum::test {

inline const Date kTestNow = Date::fromUnixSeconds(1'765'000'000);

// A readable machine: nominal thermal state, 40 % memory in use, half the disk free, no battery.
inline SystemSnapshot machineSnapshot(ThermalLevel thermal = ThermalLevel::nominal) {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), kTestNow);
    s.thermal = thermal;
    s.cpu = CPUStats{0.05, {0.05}, {}, MetricAvailability::available()};
    s.memory = MemoryStats{4'000, 10'000, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{1'000'000, 500'000, MetricAvailability::available()};
    s.battery = BatteryStats::notPresent(MetricAvailability::available());
    return s;
}

inline BatteryStats batteryWithCondition(std::optional<QString> condition, std::optional<double> charge = 0.8,
                                         std::optional<bool> onAdapter = true) {
    BatteryStats b = BatteryStats::notPresent(MetricAvailability::available());
    b.isPresent = true;
    b.healthCondition = std::move(condition);
    b.chargeFraction = charge;
    b.isConnectedToPowerAdapter = onAdapter;
    return b;
}

} // namespace kestrum::test
