#pragma once

#include "BatteryStats.h"
#include "RawReadings.h"

namespace kestrum::BatteryStatsParser {
// Parses the internal battery's power-source description.
BatteryStats stats(const PowerSourceDescription& description);
} // namespace kestrum::BatteryStatsParser
