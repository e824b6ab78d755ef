#pragma once

#include "BatterySources.h"
#include "MetricAvailability.h"

#include <optional>

namespace kestrum {

struct BatteryStats {
    bool isPresent = false;
    std::optional<double> chargeFraction;
    bool isCharging = false;
    bool isFullyCharged = false;
    std::optional<int> timeRemainingMinutes; // to full when charging, to empty otherwise
    std::optional<QString> healthCondition;
    std::optional<double> temperatureCelsius;
    BatteryTemperatureSource temperatureSource = BatteryTemperatureSource::unavailable;
    std::optional<double> voltageVolts;
    BatteryElectricalSource voltageSource = BatteryElectricalSource::unavailable;
    std::optional<double> amperageAmps; // negative while discharging
    BatteryElectricalSource amperageSource = BatteryElectricalSource::unavailable;
    std::optional<bool> isConnectedToPowerAdapter;
    MetricAvailability availability;

    // Not present, every optional absent, every source unavailable, with the given availability.
    static BatteryStats notPresent(MetricAvailability availability);
    bool operator==(const BatteryStats&) const = default;
};

} // namespace kestrum
