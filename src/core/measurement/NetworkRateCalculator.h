#pragma once

#include "RawReadings.h"

#include <utility>

namespace kestrum::NetworkRateCalculator {
// (download, upload) in bytes per second. A counter that went backwards gives 0 for its direction only.
std::pair<double, double> bytesPerSecond(const NetworkByteCounter& current,
                                         const NetworkByteCounter& previous, double elapsedSeconds);
} // namespace kestrum::NetworkRateCalculator
