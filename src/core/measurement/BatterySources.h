#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

// Where a battery temperature came from.
enum class BatteryTemperatureSource { publicPowerSource, supplementalSensor, unavailable };
// Where a battery voltage or amperage came from.
enum class BatteryElectricalSource { publicPowerSource, supplementalSensor, unavailable };

template <> struct EnumTraits<BatteryTemperatureSource> {
    static constexpr std::pair<BatteryTemperatureSource, std::string_view> cases[] = {
        {BatteryTemperatureSource::publicPowerSource, "publicPowerSource"},
        {BatteryTemperatureSource::supplementalSensor, "supplementalSensor"},
        {BatteryTemperatureSource::unavailable, "unavailable"},
    };
};

template <> struct EnumTraits<BatteryElectricalSource> {
    static constexpr std::pair<BatteryElectricalSource, std::string_view> cases[] = {
        {BatteryElectricalSource::publicPowerSource, "publicPowerSource"},
        {BatteryElectricalSource::supplementalSensor, "supplementalSensor"},
        {BatteryElectricalSource::unavailable, "unavailable"},
    };
};

} // namespace kestrum
